#include "app/fontslot.h"
