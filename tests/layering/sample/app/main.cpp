#include "media/graph.h"
#include "process/console_command.h"
#include "tests/fixtures/program_support.h"
