// Diagnostics on standard error: warnings and errors always, the chatty
// lines that tell what was loaded and measured only when asked for
// (--verbose, or VELQUIST_VERBOSE=1 in the environment).
#pragma once

// Turns the chatty lines on or off, whatever the environment says.
void log_set_verbose(bool on);
// Whether they are on: as set, else VELQUIST_VERBOSE=1.
bool log_verbose();
// A chatty line, printf-style, on standard error when verbose.
void log_info(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
