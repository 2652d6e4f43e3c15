// The driver's audio: numbered effects and music streams over the sound engine.
//
// Effects and streams take their numbers from one counter, so a number names
// one or the other; number 0 means none and the tables have room for 255.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "audio.h"
#include "driver.h"
#include "log.h"

enum { AUDIO_SLOTS = 256, AUDIO_VOICES = 2 };

struct _DriverAudioData {
    AudioSource* samples[AUDIO_SLOTS] = {};
    int samples_n = 1;  // next free number, shared by samples and streams
    AudioSound* channels[AUDIO_SLOTS][AUDIO_VOICES] = {};
    AudioSound* streams[AUDIO_SLOTS] = {};
    int streams_n = 1;
    AudioEngine* engine = nullptr;
};

static _DriverAudioData* _audio = nullptr;

// The two voices of an effect sit at these pans and share its volume between
// them by the effect's own pan: -1 all on voice A, +1 all on voice B, 0 half
// on each. With voice A in the middle and voice B on the left, the pan 0 that
// every effect is played with would lean left by about 9 dB; a voice on each
// side keeps it centred.
static const float VOICE_A_PAN = -1.0f;
static const float VOICE_B_PAN = 1.0f;
static const float MS_PER_SECOND = 1000.0f;

static bool _audio_on() { return _audio && _audio->engine; }

static long _now_ms() {
    using namespace std::chrono;
    return (long)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The next number, or 0 (with a line) when the tables are full.
static int _audio_take_number(const char* fname) {
    if (_audio->samples_n >= AUDIO_SLOTS) {
        fprintf(stderr, "audio: no room for more sounds, not loading %s\n", fname);
        return 0;
    }
    return _audio->samples_n++;
}

void driver_audio_init() {
    if (_audio) return;
    _audio = new _DriverAudioData();
    _audio->engine = AudioEngine::create();
    if (!_audio->engine) fprintf(stderr, "IrrKlang init error\n");
}

void driver_audio_deinit() {
    if (!_audio) return;
    if (_audio->engine) {
        for (int i = 0; i < AUDIO_SLOTS; i++) {
            for (AudioSound*& v : _audio->channels[i]) {
                if (v) v->drop();
                v = nullptr;
            }
            if (_audio->streams[i]) _audio->streams[i]->drop();
            if (_audio->samples[i]) _audio->samples[i]->drop();
        }
        _audio->engine->drop();
    }
    delete _audio;
    _audio = nullptr;
}

int driver_audio_sample_load(const char* fname) {
    if (!_audio_on() || !fname) return 0;
    if (_audio->samples_n >= AUDIO_SLOTS) return _audio_take_number(fname);
    log_info("loading: %s\n", fname);
    AudioSource* src = _audio->engine->add_source_from_file(fname);
    if (!src) {
        fprintf(stderr, "error loading: %s\n", fname);
        return 0;
    }
    int sid = _audio_take_number(fname);
    _audio->samples[sid] = src;
    return sid;
}

static AudioSound* _audio_voice(AudioSource* src, float pan, float vol) {
    AudioSound* v = _audio->engine->play2d(src, false, true, true);
    if (v) {
        v->set_pan(pan);
        v->set_volume(vol);
    }
    return v;
}

void driver_audio_sample_play(int sid, float vol, float pan) {
    if (!_audio_on() || sid < 1) return;
    AudioSource* src = sid < AUDIO_SLOTS ? _audio->samples[sid] : nullptr;
    if (!src) {
        fprintf(stderr, "sound_play error: %d - missing sample\n", sid);
        return;
    }
    // One effect sounds at most once at a time: a new start cuts the last.
    for (AudioSound*& v : _audio->channels[sid]) {
        if (!v) continue;
        v->stop();
        v->drop();
        v = nullptr;
    }
    float p = (pan + 1.0f) / 2.0f;
    p = p < 0.0f ? 0.0f : (p > 1.0f ? 1.0f : p);
    AudioSound* a = _audio_voice(src, VOICE_A_PAN, vol * (1.0f - p));
    AudioSound* b = _audio_voice(src, VOICE_B_PAN, vol * p);
    if (a) a->set_paused(false);
    if (b) b->set_paused(false);
    _audio->channels[sid][0] = a;
    _audio->channels[sid][1] = b;
}

// Reads the whole file and makes a source of the copy. Sets `*readable` to
// false (after its own line) when there was nothing to read.
static AudioSource* _audio_stream_preload(const char* fname, bool* readable) {
    *readable = false;
    FILE* f = fopen(fname, "rb");
    if (!f) {
        fprintf(stderr, "stream_load fopen error: %s\n", fname);
        return nullptr;
    }
    std::vector<char> data;
    char block[65536];
    size_t got;
    while ((got = fread(block, 1, sizeof(block), f)) > 0) data.insert(data.end(), block, block + got);
    fclose(f);
    if (data.empty()) {
        fprintf(stderr, "stream_load, fsize=0: %s\n", fname);
        return nullptr;
    }
    *readable = true;
    return _audio->engine->add_source_from_memory(data.data(), (long)data.size(), fname);
}

int driver_audio_stream_load(const char* fname, bool preload) {
    if (!_audio_on() || !fname) return 0;
    int sid = _audio_take_number(fname);
    if (!sid) return 0;
    long start = _now_ms();
    bool readable = true;
    AudioSource* src = preload ? _audio_stream_preload(fname, &readable)
                               : _audio->engine->add_source_from_file(fname);
    if (!readable) return sid;
    if (src) {
        src->set_stream_mode(AUDIO_STREAM_AUTO);
        AudioSound* s = _audio->engine->play2d(src, true, true, true);
        _audio->streams[sid] = s;
        src->drop();  // the sound keeps what it needs
        if (!s) fprintf(stderr, "stream_load (play2d) error: %s\n", fname);
    } else {
        fprintf(stderr, "stream_load (soundSource) error: %s\n", fname);
    }
    log_info("stream_load in ticks: %d\n", (int)(_now_ms() - start));
    return sid;
}

// The stream under a number, or null (with the caller's "missing stream" line).
static AudioSound* _audio_stream(int sid, const char* what) {
    AudioSound* s = sid < AUDIO_SLOTS ? _audio->streams[sid] : nullptr;
    if (!s) fprintf(stderr, "%s error: %d - missing stream\n", what, sid);
    return s;
}

void driver_audio_stream_play(int sid, float vol, float pos) {
    if (!_audio_on() || sid < 1) return;
    AudioSound* s = _audio_stream(sid, "stream_play");
    if (!s) return;
    long t = _now_ms();
    s->set_volume(vol);
    log_info("setvol: %d\n", (int)(_now_ms() - t));
    t = _now_ms();
    int ms = (int)truncf(pos * MS_PER_SECOND);
    s->set_play_position(ms);
    log_info("setplayposition: %d\n", (int)(_now_ms() - t));
    t = _now_ms();
    s->set_paused(false);
    log_info("setispaused: %d\n", (int)(_now_ms() - t));
    log_info("Pos: set: %d get: %d\n", ms, s->play_position());
}

void driver_audio_stream_stop(int sid) {
    if (!_audio_on() || sid < 1) return;
    AudioSound* s = _audio_stream(sid, "stream_stop");
    if (s) s->set_paused(true);
}

void driver_audio_stream_volume(int sid, float vol) {
    if (!_audio_on() || sid < 1) return;
    AudioSound* s = _audio_stream(sid, "stream_volume");
    if (s) s->set_volume(vol);
}

float driver_audio_stream_len(int sid) {
    if (!_audio_on() || sid < 1) return 1.0f;
    AudioSound* s = _audio_stream(sid, "stream_len");
    int ms = s ? s->play_length() : -1;
    return ms < 0 ? 1.0f : ms / MS_PER_SECOND;
}
