#include "docs/gophertextdoc.h"
