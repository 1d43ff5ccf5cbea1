#include "docs/shortfilename.h"
