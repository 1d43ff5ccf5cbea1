#include "docs/maxarray.h"
