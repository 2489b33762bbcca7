// The clock of the error report's repeat window. Kept in a source file of its own so that a test
// build of the frame can link a clock it controls instead.
#include <ctime>

#include "Plugin.h"

std::time_t FrameClockNow() { return std::time(nullptr); }
