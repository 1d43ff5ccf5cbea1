#include "app/tarnwickapp.h"
