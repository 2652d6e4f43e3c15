// Sound effects and music by name, from the catalogues sound.txt and music.txt.
#pragma once

void mixer_init();
void mixer_deinit();
int mixer_sample_load(const char* name);
int mixer_stream_load(const char* name);
void mixer_sample_play(int id, float vol, float pan);
void mixer_stream_play(int id, float vol);
void mixer_stream_stop(int id);
void mixer_stream_volume(int id, float vol);
