// The platform driver: window and video modes, input events, frame pacing,
// data and user files, textures from image files, the browser, and audio.
//
// Sections: lifecycle and window (driver.cpp), input (driver.cpp),
// timing (driver.cpp), files (driver_files.cpp), audio (driver_audio.cpp).
#pragma once

#include <string>

#include "event.h"

// ---- lifecycle and window (driver.cpp)
void driver_init();
void driver_deinit();
void driver_set_gamename(const char* name);
void driver_set_caption(const char* text);
// Opens the window; 1 when a mode could be set, 0 when none of the chain's
// modes could (driver_video_error then says what the platform answered).
int driver_video_init(int ww, int hh, int dw, int dh, int mw, int mh, int full);
const char* driver_video_error();
void driver_video_flip();
int driver_video_minimize();
void driver_get_size(int* w, int* h);
void driver_set_size(int w, int h);
float driver_get_aspect();
void driver_set_aspect(float aspect);
float driver_get_orient();
void driver_set_orient(float orient);

// Full-screen OpenGL modes of the display, in the platform's order, into
// ws/hs (room for max). Returns how many were written, or -1 when any size
// is possible.
int driver_video_list_modes(int* ws, int* hs, int max);

// ---- input (driver.cpp)
// A window close or a SIGINT/SIGTERM that came while the video mode was being
// set is reported as EVT_QUIT by the next poll.
int driver_event_poll(Event* e);

// ---- timing (driver.cpp)
void driver_timer_set(int fps);
void driver_timer_tick();
int driver_timer_get_ticks();
void driver_timer_delay(int ms);

// Replaces the millisecond clock and the sleep used by the frame timer, so the
// pacing rules can be checked without waiting. Null restores SDL's own.
void driver_timer_set_clock(int (*get_ticks)(), void (*delay)(int ms));

// ---- files (driver_files.cpp)
// Paths returned point into static 512-byte buffers overwritten by the next call.
const char* driver_data_fname(const char* name);
const char* driver_doc_fname(const char* name);
std::string driver_data_load(const char* name);
// Reads a regular user file whole into buf (at most max bytes); 0 for a
// missing, oversized or special file (a FIFO or a device is never opened
// for a blocking read).
int driver_doc_load(const char* name, void* buf, int max);
// Writes atomically: a temporary file beside the target, then a rename.
// Returns 1 on success, 0 when nothing could be written (the old file stays).
int driver_doc_save(const char* name, const void* buf, int n);
int driver_tex_load(const char* name);

// ---- other (driver.cpp)
// Hands the address to a browser; 0 when no browser program could be started.
int driver_open_url(const char* url);
// Lets a test capture the addresses handed to the browser instead of starting one.
void driver_set_url_handler(void (*handler)(const char* url));
std::string driver_clipboard_get_text();
void driver_clipboard_set_text(const std::string& text);
void driver_keyboard_init(void* data);
void driver_keyboard_show();
void driver_keyboard_hide();
void driver_keyboard_set_height(int h);
int driver_keyboard_state();
int driver_keyboard_get_height();

// ---- audio (driver_audio.cpp)
void driver_audio_init();
void driver_audio_deinit();
int driver_audio_sample_load(const char* fname);
void driver_audio_sample_play(int sid, float vol, float pan);
int driver_audio_stream_load(const char* fname, bool preload);
void driver_audio_stream_play(int sid, float vol, float pos);
void driver_audio_stream_stop(int sid);
void driver_audio_stream_volume(int sid, float vol);
float driver_audio_stream_len(int sid);
