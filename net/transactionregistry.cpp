#include "net/transactionregistry.h"
