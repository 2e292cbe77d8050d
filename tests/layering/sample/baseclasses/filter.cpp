#include <classlib/runtime/lists.h>
