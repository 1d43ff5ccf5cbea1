#include "net/transactionengine.h"
