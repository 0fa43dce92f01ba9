// Test programs have no main() of the program's: register what it would,
// before any test (or test discovery) runs.
#include "res/resources.h"

namespace {

const bool g_bRegistered = (RegisterResources(), true);

} // namespace
