// Diagnostics on standard error, the chatty ones only when asked for.
#include "log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// -1 until set or read from the environment.
static int _log_verbose = -1;

void log_set_verbose(bool on) { _log_verbose = on ? 1 : 0; }

bool log_verbose() {
    if (_log_verbose < 0) {
        const char* v = getenv("VELQUIST_VERBOSE");
        _log_verbose = v && strcmp(v, "1") == 0 ? 1 : 0;
    }
    return _log_verbose == 1;
}

void log_info(const char* fmt, ...) {
    if (!log_verbose()) return;
    va_list ap;
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
}
