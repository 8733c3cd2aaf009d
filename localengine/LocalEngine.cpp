#include "LocalEngine.h"
