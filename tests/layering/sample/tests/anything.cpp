#include "app/main_form.h"
#include "../anything.h"
