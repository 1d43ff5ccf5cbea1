#include "docs/gopherdir.h"
