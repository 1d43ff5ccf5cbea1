#include "app/programfiles.h"
