#include "items/itemrecords.h"
