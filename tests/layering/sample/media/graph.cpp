#include "../app/main.h"
#include "classlib/runtime/lists.h"
