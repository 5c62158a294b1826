#include "state.h"

// Constant-initialised: every scalar holds its initial value before any code
// of the program runs, and the two containers start empty.
constinit DemoState demoState{};
