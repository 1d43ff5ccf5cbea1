#include "app/profilefile.h"
