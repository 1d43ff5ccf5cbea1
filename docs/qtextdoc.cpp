#include "docs/qtextdoc.h"
