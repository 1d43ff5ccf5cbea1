#include "items/bookmark.h"
