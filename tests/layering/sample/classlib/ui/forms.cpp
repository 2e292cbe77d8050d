#include "classlib/runtime/thread.h"
#include "baseclasses/unknown.h"
