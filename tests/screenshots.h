// The README's pictures are taken by the tests that reach the screens they
// show: set VELQUIST_SCREENSHOTS to a folder (`make screenshots` does) and
// each is written there as a PNG.
#pragma once

#include "harness.h"

// Reads the current screen back; writes <folder>/<name>.png when a folder is
// set. Returns the number of distinct colours, so that callers can check the
// screen showed something; 0 if the picture could not be taken or written.
int screenshot(Harness& h, const char* name);
