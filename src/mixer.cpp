// Sound effects and music by name: silent until the audio layer lands.
#include "mixer.h"

void mixer_init() {}
void mixer_deinit() {}
int mixer_sample_load(const char* name) { (void)name; return 0; }
int mixer_stream_load(const char* name) { (void)name; return 0; }
void mixer_sample_play(int id, float vol, float pan) { (void)id; (void)vol; (void)pan; }
void mixer_stream_play(int id, float vol) { (void)id; (void)vol; }
void mixer_stream_stop(int id) { (void)id; }
void mixer_stream_volume(int id, float vol) { (void)id; (void)vol; }
