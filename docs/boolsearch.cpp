#include "docs/boolsearch.h"
