// The driver's audio: silent until the audio layer lands.
#include "driver.h"

void driver_audio_init() {}
void driver_audio_deinit() {}
int driver_audio_sample_load(const char* fname) { (void)fname; return 0; }
void driver_audio_sample_play(int sid, float vol, float pan) { (void)sid; (void)vol; (void)pan; }
int driver_audio_stream_load(const char* fname, bool preload) { (void)fname; (void)preload; return 0; }
void driver_audio_stream_play(int sid, float vol, float pos) { (void)sid; (void)vol; (void)pos; }
void driver_audio_stream_stop(int sid) { (void)sid; }
void driver_audio_stream_volume(int sid, float vol) { (void)sid; (void)vol; }
float driver_audio_stream_len(int sid) { (void)sid; return 1.0f; }
