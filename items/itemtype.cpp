#include "items/itemtype.h"
