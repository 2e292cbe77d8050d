#include "shared/other.h"
#include <windows.h>
