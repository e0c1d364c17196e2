#include "platform/CodeSignature.h"
