#include "platform/ByteCount.h"
