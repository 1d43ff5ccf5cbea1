#include "docs/windowregistry.h"
