#include "net/transaction.h"
