// The kit's demonstration: a session with a simulated controller, through the public API only.
#pragma once

#include <string>

// Runs the demonstration with the sample Hapsets in samplesDir. Returns the process exit
// status: 0 when every step answered as expected.
int RunDemo(const std::string& samplesDir);
