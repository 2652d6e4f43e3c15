// Test entry point: the environment every test runs in, and the sanitizer
// settings compiled in so that they hold however the tests are started.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

extern "C" {
// Leaks inside system libraries that the game cannot free (X11, Mesa, SDL;
// libsndfile loses libvorbis's header record when it refuses a malformed Ogg file).
const char* __lsan_default_suppressions() {
    return "leak:libX11\nleak:libxcb\nleak:libGLX\nleak:libGL.so\nleak:libGLdispatch\n"
           "leak:swrast_dri\nleak:libLLVM\nleak:libglapi\nleak:libSDL\nleak:libdbus\n"
           "leak:libopenal\nleak:libasound\nleak:libpulse\nleak:libfontconfig\nleak:libdrm\n"
           "leak:libvorbis\n";
}
const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
}

int main(int argc, char** argv) {
    // Mesa's software renderer, and OpenAL Soft without a sound card.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    if (!getenv("ALSOFT_DRIVERS")) setenv("ALSOFT_DRIVERS", "null", 1);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
