// The synthesiser's shared helpers that are not small enough to inline.
#include "dsp.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>

namespace synth {

void normalize(std::vector<float>& data, double peak) {
    float m = 0;
    for (float v : data) m = std::max(m, std::fabs(v));
    if (m <= 0) return;
    float k = (float)(peak / m);
    for (float& v : data) v *= k;
}

void fade_ends(std::vector<float>& data, double ms) {
    size_t n = std::min(data.size() / 2, (size_t)(ms * RATE / 1000.0));
    for (size_t i = 0; i < n; i++) {
        float k = (float)smooth((double)i / n);
        data[i] *= k;
        data[data.size() - 1 - i] *= k;
    }
}

bool write_ogg(const char* path, const std::vector<float>& data, int channels, double quality) {
    SF_INFO info = {};
    info.samplerate = RATE;
    info.channels = channels;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    SNDFILE* f = sf_open(path, SFM_WRITE, &info);
    if (!f) {
        fprintf(stderr, "synth: cannot write %s: %s\n", path, sf_strerror(nullptr));
        return false;
    }
    sf_command(f, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof(quality));
    // Small blocks: libvorbis crashes when handed millions of frames at once.
    const sf_count_t block = 4096;
    sf_count_t frames = (sf_count_t)(data.size() / channels);
    bool ok = true;
    for (sf_count_t at = 0; at < frames && ok; at += block) {
        sf_count_t n = std::min(block, frames - at);
        ok = sf_writef_float(f, data.data() + at * channels, n) == n;
    }
    if (!ok) fprintf(stderr, "synth: short write to %s: %s\n", path, sf_strerror(f));
    sf_close(f);
    return ok;
}

}  // namespace synth
