#include "docs/tarnwickdoc.h"
