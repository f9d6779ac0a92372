#include "station/Console.h"

// Windows ends no program for a write: a closed pipe or a full disk fails
// the write itself.
void Console::ignoreWriteSignals() {}
