#include "app/appsettings.h"
