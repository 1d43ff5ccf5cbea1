#include "gplus/extinfodoc.h"
