#include "app/dumprunner.h"
