// Our DirectShow base classes: everything a filter library builds on. The
// input pins are here for the Wine stand-ins and the test fixtures; whoever
// uses them links baseclasses_receiving.
#pragma once

#include "baseclasses/audio_input_line_pin.h"
#include "baseclasses/class_factory.h"
#include "baseclasses/critsec.h"
#include "baseclasses/filter.h"
#include "baseclasses/input_pin.h"
#include "baseclasses/pin.h"
#include "baseclasses/source.h"
#include "baseclasses/unknown.h"
