#include "classlib/runtime/object.h"
#include "classlib/ui/forms.h"
