// For tests of the platform layers: forget every window, class, message and host state, so
// that each test starts from a fresh process's view.
#pragma once

namespace win32::testing {

void reset();

}  // namespace win32::testing
