#include "platform/Trash.h"
