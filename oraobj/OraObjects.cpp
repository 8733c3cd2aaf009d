#include "OraObjects.h"
