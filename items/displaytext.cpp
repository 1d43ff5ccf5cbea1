#include "items/displaytext.h"
