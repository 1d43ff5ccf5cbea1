#include "bookmarks/homegophers.h"
