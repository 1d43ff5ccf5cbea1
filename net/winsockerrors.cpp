#include "net/winsockerrors.h"
