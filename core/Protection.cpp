#include "Protection.h"
