// A folder the layer table does not name: the check must not pass it by.
#include "shared/ok.h"
