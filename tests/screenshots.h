// The README's pictures are taken by the tests that reach the screens they
// show: set VELQUIST_SCREENSHOTS to a folder (`make screenshots` does) and
// each is written there as a PNG, the moving one as an animated PNG.
#pragma once

#include <string>
#include <vector>

#include "harness.h"

// Reads the current screen back; writes <folder>/<name>.png when a folder is
// set. Returns the number of distinct colours, so that callers can check the
// screen showed something; 0 if the picture could not be taken or written.
int screenshot(Harness& h, const char* name);

// A short moving picture of what the harness shows: every `every`-th tick
// it is given becomes a frame, shrunk by `shrink` each way and shown for
// `delay_ms`. Nothing is kept or written when no folder is set.
class ScreenMovie {
public:
    ScreenMovie(const char* name, int every, int shrink, int delay_ms);
    bool recording() const { return !_folder.empty(); }
    // Called once a tick while the scene plays.
    void tick(Harness& h);
    int frames() const { return (int)_frames.size(); }
    // Writes <folder>/<name>.png; the number of bytes written (0 on failure
    // or when not recording).
    long write();

private:
    std::string _folder, _name;
    int _every, _shrink, _delay_ms, _ticks = 0;
    int _w = 0, _h = 0;
    std::vector<std::vector<unsigned char>> _frames;  // RGB, shrunk
};

// Encodes frames of w x h RGB pixels as an animated PNG: one palette of at
// most 255 colours for all, and each frame after the first only the
// rectangle that changed, with unchanged pixels transparent.
std::vector<unsigned char> apng_encode(int w, int h, const std::vector<std::vector<unsigned char>>& rgb,
                                       int delay_ms);
