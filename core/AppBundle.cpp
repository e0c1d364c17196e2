#include "AppBundle.h"
