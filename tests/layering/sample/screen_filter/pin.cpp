#include "baseclasses/source.h"
#include "loopback_filter/audio_pin.h"
