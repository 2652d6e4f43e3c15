// The synthesised sounds: mono effects and the looping stereo menu music.
#pragma once

#include <vector>

namespace synth {

// Mono, at RATE.
std::vector<float> effect_bomb();
std::vector<float> effect_drop();
std::vector<float> effect_shoot();
std::vector<float> effect_guard();
std::vector<float> effect_win();
std::vector<float> effect_yeah();
std::vector<float> effect_death();
std::vector<float> effect_tick();

// Interleaved stereo at RATE, a whole number of bars that loops without a
// seam: every note and echo that runs past the end continues at the start.
std::vector<float> music_menus();

}  // namespace synth
