// Owner of one kernel handle (pipe end, process, thread): closes it once.
#pragma once

#include "shared/owner.h"

using TWinHandle = TKernelHandle;
