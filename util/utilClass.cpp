// Not built yet.
#include "util/utilClass.h"
