#include "items/typetable.h"
