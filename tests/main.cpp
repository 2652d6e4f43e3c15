// Test entry point: the environment every test runs in, and the sanitizer
// settings compiled in so that they hold however the tests are started.
#include <dlfcn.h>
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
// The sanitizer guesses where a library's thread-local block starts from the
// bytes just before it; a block that lands 16 bytes past a page boundary has
// the allocator's own header there, read as a range of a few kilobytes from
// address zero, and the leak checker's tracer crashes scanning it
// ("Tracer caught signal 11") after a test that passed. Only libraries loaded
// at run time (Mesa, LLVM) have such blocks, and the checker still scans them
// as memory the dynamic linker allocated.
const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
}

int main(int argc, char** argv) {
    // Mesa's software renderer, and OpenAL Soft without a sound card.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    if (!getenv("ALSOFT_DRIVERS")) setenv("ALSOFT_DRIVERS", "null", 1);
#ifndef VELQUIST_TEST_WINDOWLESS
    // Mesa's software driver is unloaded with the last window; its leaks could
    // then no longer be matched by name against the suppressions above, so it
    // stays mapped for the whole run (harmless where the file does not exist).
    // A program that never opens a window is spared loading it in every test.
    dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE);
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
