#include "Remover.h"
