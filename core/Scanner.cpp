#include "Scanner.h"
