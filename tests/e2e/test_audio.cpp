// Sound: the engine's sources, sounds and streams, the driver's numbered
// effects and music, the catalogues, and what reaches the speakers, heard
// through OpenAL Soft's wave-file writer.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "audio.h"
#include "driver.h"
#include "harness.h"
#include "log.h"
#include "mixer.h"
#include "temp_dir.h"

namespace {

const int RATE = 44100;

std::string temp_dir(const char* tag) {
    std::string tmpl = std::string("/tmp/velquist-") + tag + "-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back(0);
    return mkdtemp(buf.data());
}

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Writes mono samples as a sound file (WAV unless `format` says otherwise).
void write_sound(const std::string& path, const std::vector<float>& mono,
                 int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
    SF_INFO info = {};
    info.samplerate = RATE;
    info.channels = 1;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    for (size_t at = 0; at < mono.size(); at += 4096) {
        sf_count_t n = (sf_count_t)std::min<size_t>(4096, mono.size() - at);
        sf_writef_float(f, mono.data() + at, n);
    }
    sf_close(f);
}

std::vector<float> tone(double secs, double hz, double amp) {
    std::vector<float> out((size_t)(secs * RATE));
    for (size_t i = 0; i < out.size(); i++) out[i] = (float)(amp * sin(2 * M_PI * hz * i / RATE));
    return out;
}

std::vector<float> noise(double secs, double amp) {
    std::vector<float> out((size_t)(secs * RATE));
    unsigned s = 12345;
    for (float& v : out) {
        s = s * 1103515245u + 12345u;
        v = (float)(amp * ((s >> 8) / 8388608.0 - 1.0));
    }
    return out;
}

void write_file(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

// What OpenAL wrote: left and right channels.
struct Heard {
    std::vector<float> l, r;
    double seconds() const { return (double)l.size() / RATE; }
    // Root mean square of one channel between two times (seconds).
    double rms(const std::vector<float>& ch, double from, double to) const {
        size_t a = (size_t)std::max(0.0, from * RATE), b = std::min(ch.size(), (size_t)(to * RATE));
        double sum = 0;
        for (size_t i = a; i < b; i++) sum += ch[i] * ch[i];
        return b > a ? sqrt(sum / (b - a)) : 0.0;
    }
    double rms(double from, double to) const { return std::max(rms(l, from, to), rms(r, from, to)); }
    double peak() const {
        float m = 0;
        for (size_t i = 0; i < l.size(); i++) m = std::max({m, fabsf(l[i]), fabsf(r[i])});
        return m;
    }
    // First time anything sounds, -1 if never.
    double onset() const {
        for (size_t i = 0; i < l.size(); i++)
            if (fabsf(l[i]) > 1e-4f || fabsf(r[i]) > 1e-4f) return (double)i / RATE;
        return -1;
    }
};

// OpenAL Soft writing its output to a wave file instead of a sound card. The
// library reads its configuration once per process, so the file's path is the
// same for every test of a process; each driver_init starts it afresh.
class WaveOut {
public:
    explicit WaveOut(bool broken = false) {
        // Kept until the process ends, when OpenAL has closed the file.
        static const struct Folder {
            std::string path = temp_dir("audio");
            ~Folder() { std::filesystem::remove_all(path); }
        } folder;
        const std::string& dir = folder.path;
        _wav = dir + (broken ? "/no/such/folder/out.wav" : "/out.wav");
        std::string conf = dir + (broken ? "/broken.conf" : "/alsoft.conf");
        std::ofstream(conf) << "[general]\ndrivers = wave\nchannels = stereo\nsample-type = float32\n"
                               "frequency = 44100\nstereo-mode = speakers\nhrtf = false\ndither = false\n"
                               "output-limiter = false\n[wave]\nfile = " << _wav << "\n";
        const char* old = getenv("ALSOFT_DRIVERS");
        _had_drivers = old != nullptr;
        if (old) _old_drivers = old;
        unsetenv("ALSOFT_DRIVERS");
        setenv("ALSOFT_CONF", conf.c_str(), 1);
        std::filesystem::remove(_wav);
    }
    ~WaveOut() {
        if (_had_drivers) setenv("ALSOFT_DRIVERS", _old_drivers.c_str(), 1);
    }
    // True when this process's OpenAL took our configuration.
    bool writing() const { return std::filesystem::exists(_wav); }
    Heard heard() const {
        Heard h;
        SF_INFO info = {};
        SNDFILE* f = sf_open(_wav.c_str(), SFM_READ, &info);
        EXPECT_NE(f, nullptr) << "no wave file at " << _wav;
        if (!f) return h;
        EXPECT_EQ(info.channels, 2);
        EXPECT_EQ(info.samplerate, RATE);
        std::vector<float> all((size_t)info.frames * info.channels);
        sf_count_t got = sf_readf_float(f, all.data(), info.frames);
        sf_close(f);
        for (sf_count_t i = 0; i < got && info.channels == 2; i++) {
            h.l.push_back(all[i * 2]);
            h.r.push_back(all[i * 2 + 1]);
        }
        return h;
    }

private:
    std::string _wav, _old_drivers;
    bool _had_drivers = false;
};

#define REQUIRE_WAVE(out)                                                                   \
    if (!(out).writing()) GTEST_SKIP() << "OpenAL was set up earlier in this process; run " \
                                          "each audio test in a process of its own (ctest)"

// Plays one effect through the driver and returns what was heard.
Heard play_effect(float vol, float pan, double secs = 0.5) {
    WaveOut out;
    std::string dir = temp_dir("fx");
    write_sound(dir + "/tone.wav", tone(secs, 440, 0.5));
    driver_init();
    if (!out.writing()) {
        driver_deinit();
        return Heard();
    }
    int sid = driver_audio_sample_load((dir + "/tone.wav").c_str());
    EXPECT_EQ(sid, 1);
    driver_audio_sample_play(sid, vol, pan);
    sleep_ms((int)(secs * 1000) + 300);
    driver_deinit();
    std::filesystem::remove_all(dir);
    return out.heard();
}

}  // namespace

// ---------------------------------------------------------------- heard

TEST(AudioOut, EffectAtHalfVolumeSounds) {
    Heard half = play_effect(0.5f, 0);
    if (half.l.empty()) GTEST_SKIP() << "OpenAL was set up earlier in this process";
    EXPECT_GT(half.peak(), 0.05);
    EXPECT_GT(half.onset(), 0);
}

TEST(AudioOut, EffectAtZeroVolumeIsSilent) {
    Heard none = play_effect(0.0f, 0);
    if (none.l.empty()) GTEST_SKIP() << "OpenAL was set up earlier in this process";
    EXPECT_GT(none.seconds(), 0.5) << "the device ran while the effect played";
    EXPECT_LT(none.peak(), 1e-6);
}

// Pan -1 puts the whole effect on voice A (left), +1 on voice B (right), and
// the pan 0 that the game plays every effect with keeps it centred.
TEST(AudioOut, PanMinusOneGoesToVoiceAOnTheLeft) {
    Heard h = play_effect(1.0f, -1.0f);
    if (h.l.empty()) GTEST_SKIP() << "OpenAL was set up earlier in this process";
    double t = h.onset();
    ASSERT_GE(t, 0);
    double l = h.rms(h.l, t, t + 0.4), r = h.rms(h.r, t, t + 0.4);
    EXPECT_GT(l, 0.05);
    EXPECT_LT(r, 0.01 * l);
}

TEST(AudioOut, PanPlusOneGoesToVoiceBOnTheRight) {
    Heard h = play_effect(1.0f, 1.0f);
    if (h.l.empty()) GTEST_SKIP() << "OpenAL was set up earlier in this process";
    double t = h.onset();
    ASSERT_GE(t, 0);
    double l = h.rms(h.l, t, t + 0.4), r = h.rms(h.r, t, t + 0.4);
    EXPECT_GT(r, 0.05);
    EXPECT_LT(l, 0.01 * r);
}

TEST(AudioOut, PanZeroIsCentred) {
    Heard h = play_effect(1.0f, 0.0f);
    if (h.l.empty()) GTEST_SKIP() << "OpenAL was set up earlier in this process";
    double t = h.onset();
    ASSERT_GE(t, 0);
    double l = h.rms(h.l, t, t + 0.4), r = h.rms(h.r, t, t + 0.4);
    EXPECT_GT(l, 0.05);
    EXPECT_NEAR(r / l, 1.0, 0.05);
}

// Noise, so that two overlapping copies would add up in power whatever their offset.
TEST(AudioOut, SameEffectTwiceCutsTheFirst) {
    WaveOut out;
    std::string dir = temp_dir("fx");
    write_sound(dir + "/noise.wav", noise(1.0, 0.4));
    driver_init();
    REQUIRE_WAVE(out);
    int sid = driver_audio_sample_load((dir + "/noise.wav").c_str());
    driver_audio_sample_play(sid, 1.0f, 0);
    sleep_ms(300);
    driver_audio_sample_play(sid, 1.0f, 0);
    sleep_ms(1500);
    driver_deinit();
    std::filesystem::remove_all(dir);
    Heard h = out.heard();
    double t = h.onset();
    ASSERT_GE(t, 0);
    double single = h.rms(t + 0.05, t + 0.25);
    ASSERT_GT(single, 0.01);
    EXPECT_LT(h.rms(t + 0.45, t + 0.9) / single, 1.2) << "both copies sounded together";
    EXPECT_GT(h.rms(t + 1.1, t + 1.2) / single, 0.7) << "the second copy plays to its end";
    EXPECT_LT(h.rms(t + 1.5, t + 1.7), 1e-4);
}

// A looped stream read in chunks must run on from its end into its start
// without a gap or a step: a sine of whole periods stays a clean sine.
TEST(AudioOut, LoopedStreamJoinsWithoutAGap) {
    WaveOut out;
    std::string dir = temp_dir("fx");
    const int period = 100, periods = 220;  // 441 Hz, 0.4989 s
    write_sound(dir + "/loop.wav", tone((double)period * periods / RATE, (double)RATE / period, 0.5));
    AudioEngine* engine = AudioEngine::create();
    ASSERT_NE(engine, nullptr);
    if (!out.writing()) engine->drop();
    REQUIRE_WAVE(out);
    AudioSource* src = engine->add_source_from_file((dir + "/loop.wav").c_str(), AUDIO_STREAM_STREAMING);
    ASSERT_NE(src, nullptr);
    EXPECT_EQ(src->play_length(), 498);
    AudioSound* s = engine->play2d(src, true, false, true);
    ASSERT_NE(s, nullptr);
    sleep_ms(2000);
    int pos = s->play_position();
    EXPECT_GE(pos, 0);
    EXPECT_LT(pos, 499) << "the position wraps round";
    s->drop();
    src->drop();
    engine->drop();
    std::filesystem::remove_all(dir);
    Heard h = out.heard();
    double t = h.onset();
    ASSERT_GE(t, 0);
    double amp = h.rms(t + 0.1, t + 0.3) * sqrt(2.0);
    ASSERT_GT(amp, 0.05);
    size_t a = (size_t)((t + 0.05) * RATE), b = (size_t)((t + 1.8) * RATE);
    ASSERT_LT(b, h.l.size());
    float worst = 0;
    for (size_t i = a + 1; i < b; i++) worst = std::max(worst, fabsf(h.l[i] - h.l[i - 1]));
    EXPECT_LT(worst, 1.1 * 2 * M_PI / period * amp) << "a click or a gap in the loop";
}

// A loop whose ends do not meet (a rising ramp) is eased into its start
// instead of jumping: lossy files leave such small steps at their ends.
TEST(AudioOut, LoopedStreamEasesAStepAtItsSeam) {
    WaveOut out;
    std::string dir = temp_dir("fx");
    std::vector<float> ramp(RATE / 4);
    for (size_t i = 0; i < ramp.size(); i++) ramp[i] = (float)(-0.4 + 0.8 * i / ramp.size());
    write_sound(dir + "/ramp.wav", ramp);
    AudioEngine* engine = AudioEngine::create();
    ASSERT_NE(engine, nullptr);
    if (!out.writing()) engine->drop();
    REQUIRE_WAVE(out);
    AudioSource* src = engine->add_source_from_file((dir + "/ramp.wav").c_str(), AUDIO_STREAM_STREAMING);
    ASSERT_NE(src, nullptr);
    AudioSound* s = engine->play2d(src, true, false, false);
    EXPECT_EQ(s, nullptr) << "untracked";
    sleep_ms(1200);
    src->drop();
    engine->drop();
    std::filesystem::remove_all(dir);
    Heard h = out.heard();
    double t = h.onset();
    ASSERT_GE(t, 0);
    size_t a = (size_t)((t + 0.05) * RATE), b = (size_t)((t + 1.0) * RATE);
    ASSERT_LT(b, h.l.size());
    float lo = 0, hi = 0, worst = 0;
    for (size_t i = a + 1; i < b; i++) {
        lo = std::min(lo, h.l[i]);
        hi = std::max(hi, h.l[i]);
        worst = std::max(worst, fabsf(h.l[i] - h.l[i - 1]));
    }
    ASSERT_GT(hi - lo, 0.3) << "the ramp was heard";
    EXPECT_LT(worst, (hi - lo) / 40) << "the seam jumps";
}

// The music follows the volume setting while it plays; at 0 it runs on, silent.
TEST(AudioOut, GameMusicFollowsTheVolumeSetting) {
    WaveOut out;
    Harness h;
    h.start();
    REQUIRE_WAVE(out);
    auto t0 = std::chrono::steady_clock::now();
    h.tick(3);
    sleep_ms(800);
    h.game().settings.music = 0;
    h.game().reset_volume();
    double quiet_from = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    sleep_ms(800);
    h.stop();
    Heard heard = out.heard();
    double t = heard.onset();
    ASSERT_GE(t, 0) << "the menu music plays";
    EXPECT_GT(heard.rms(t + 0.1, t + 0.4), 0.01);
    EXPECT_LT(heard.rms(quiet_from + t + 0.3, heard.seconds() - 0.05), 1e-5);
}

// ---------------------------------------------------------------- the engine

TEST(AudioEngine, SourcesFromMemoryAreCopiesAndBadDataIsRefused) {
    AudioEngine* engine = AudioEngine::create();
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(AudioEngine::create(), nullptr) << "one engine at a time";
    std::string dir = temp_dir("fx");
    write_sound(dir + "/t.wav", tone(0.25, 440, 0.5));
    std::string bytes = file_bytes(dir + "/t.wav");
    std::string copy = bytes;
    AudioSource* src = engine->add_source_from_memory(&copy[0], (long)copy.size(), "t.wav");
    ASSERT_NE(src, nullptr);
    std::fill(copy.begin(), copy.end(), 'x');  // the caller's block is no longer needed
    EXPECT_EQ(src->play_length(), 250);
    EXPECT_STREQ(src->name(), "t.wav");
    AudioSound* s = engine->play2d(src, false, true, true);
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->is_paused());
    EXPECT_TRUE(s->set_play_position(100));
    EXPECT_FALSE(s->set_play_position(5000)) << "past the end";
    s->stop();
    EXPECT_TRUE(s->is_finished());
    EXPECT_EQ(s->play_position(), -1);
    s->drop();

    testing::internal::CaptureStderr();
    EXPECT_EQ(engine->add_source_from_memory("garbage!", 8, "garbage"), nullptr);
    EXPECT_EQ(engine->add_source_from_file((dir + "/none.ogg").c_str()), nullptr);
    EXPECT_EQ(engine->add_source_from_file(dir.c_str()), nullptr);
    EXPECT_EQ(engine->add_source_from_memory(bytes.data(), 20, "cut header"), nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("audio: cannot decode"), std::string::npos) << err;

    // A file cut in the middle plays what it has.
    write_sound(dir + "/t.ogg", tone(2.0, 440, 0.5), SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    std::string ogg = file_bytes(dir + "/t.ogg");
    for (AudioStreamMode mode : {AUDIO_STREAM_NOSTREAM, AUDIO_STREAM_STREAMING}) {
        AudioSource* cut = engine->add_source_from_memory(ogg.data(), (long)ogg.size() / 2, "cut", mode);
        if (cut) {
            AudioSound* c = engine->play2d(cut, true, false, true);
            sleep_ms(50);
            if (c) c->drop();
            cut->drop();
        }
    }
    src->drop();
    engine->drop();
    std::filesystem::remove_all(dir);
}

// Dropping the engine first leaves sounds and sources that do nothing.
TEST(AudioEngine, SoundsOutliveTheirEngineHarmlessly) {
    AudioEngine* engine = AudioEngine::create();
    ASSERT_NE(engine, nullptr);
    std::string dir = temp_dir("fx");
    write_sound(dir + "/t.wav", tone(3.0, 440, 0.5));
    AudioSource* src = engine->add_source_from_file((dir + "/t.wav").c_str(), AUDIO_STREAM_STREAMING);
    ASSERT_NE(src, nullptr);
    AudioSound* s = engine->play2d(src, true, true, true);
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->set_play_position(1500));
    EXPECT_EQ(s->play_position(), 1500);
    s->set_paused(false);
    engine->play2d(src, false, false, false);  // the engine's own
    EXPECT_EQ(engine->active_sounds(), 2);
    engine->drop();
    s->set_volume(0.5f);
    s->set_pan(1.0f);
    s->set_paused(false);
    EXPECT_TRUE(s->is_finished());
    EXPECT_FALSE(s->set_play_position(0));
    EXPECT_EQ(s->play_position(), -1);
    EXPECT_EQ(src->play_length(), 3000);
    s->drop();
    src->drop();
    AudioEngine* again = AudioEngine::create();
    EXPECT_NE(again, nullptr) << "the device is free again";
    if (again) again->drop();
    std::filesystem::remove_all(dir);
}

// ---------------------------------------------------------------- the driver

TEST(AudioDriver, NumbersAreSharedAndStopAt255) {
    std::string dir = temp_dir("fx");
    std::string fx = dir + "/t.wav";
    write_sound(fx, tone(0.05, 440, 0.5));
    driver_init();
    log_set_verbose(true);  // the lines below are the chatty ones
    testing::internal::CaptureStderr();
    EXPECT_EQ(driver_audio_sample_load(fx.c_str()), 1);
    EXPECT_EQ(driver_audio_stream_load(fx.c_str(), false), 2);
    EXPECT_EQ(driver_audio_sample_load((dir + "/missing.wav").c_str()), 0) << "a failed sample takes no number";
    EXPECT_EQ(driver_audio_stream_load((dir + "/missing.ogg").c_str(), false), 3) << "a failed stream does";
    EXPECT_EQ(driver_audio_stream_load((dir + "/missing.ogg").c_str(), true), 4);
    EXPECT_EQ(driver_audio_stream_load(fx.c_str(), true), 5);
    driver_audio_sample_play(2, 1, 0);
    driver_audio_stream_stop(1);
    driver_audio_stream_volume(3, 0.5f);
    EXPECT_FLOAT_EQ(driver_audio_stream_len(1), 1.0f);
    EXPECT_NEAR(driver_audio_stream_len(2), 0.05f, 0.001f);
    driver_audio_stream_play(5, 0.5f, 0.02f);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("loading: " + fx), std::string::npos);
    EXPECT_NE(err.find("error loading: " + dir + "/missing.wav"), std::string::npos);
    EXPECT_NE(err.find("stream_load (soundSource) error: " + dir + "/missing.ogg"), std::string::npos);
    EXPECT_NE(err.find("stream_load fopen error: " + dir + "/missing.ogg"), std::string::npos);
    EXPECT_NE(err.find("sound_play error: 2 - missing sample"), std::string::npos);
    EXPECT_NE(err.find("stream_stop error: 1 - missing stream"), std::string::npos);
    EXPECT_NE(err.find("stream_volume error: 3 - missing stream"), std::string::npos);
    EXPECT_NE(err.find("stream_len error: 1 - missing stream"), std::string::npos);
    EXPECT_NE(err.find("Pos: set: 20 get: "), std::string::npos) << err;

    testing::internal::CaptureStderr();
    int last = 0, refused = 0;
    for (int i = 0; i < 300; i++) {
        int id = i % 2 ? driver_audio_stream_load(fx.c_str(), false) : driver_audio_sample_load(fx.c_str());
        if (id) last = id;
        else refused++;
    }
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(last, 255);
    EXPECT_EQ(refused, 300 - (255 - 5));
    driver_audio_sample_play(255, 1, 0);
    driver_audio_sample_play(256, 1, 0);
    driver_audio_stream_play(100000, 1, 0);
    driver_audio_sample_play(-1, 1, 0);
    driver_deinit();
    std::filesystem::remove_all(dir);
}

TEST(AudioDriver, WithoutADeviceEverythingIsANoOp) {
    WaveOut out(true);
    testing::internal::CaptureStderr();
    driver_init();
    std::string err = testing::internal::GetCapturedStderr();
    if (count(err, "IrrKlang init error") == 0) {
        driver_deinit();
        GTEST_SKIP() << "OpenAL was set up earlier in this process";
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(driver_audio_sample_load("../data/sfx_bomb.ogg"), 0);
    EXPECT_EQ(driver_audio_stream_load("../data/music_menus.ogg", false), 0);
    driver_audio_sample_play(1, 1, 0);
    driver_audio_stream_play(1, 1, 0);
    driver_audio_stream_stop(1);
    driver_audio_stream_volume(1, 1);
    EXPECT_FLOAT_EQ(driver_audio_stream_len(1), 1.0f);
    mixer_init();
    EXPECT_EQ(mixer_sample_load("bomb"), 0);
    mixer_sample_play(mixer_sample_load("bomb"), 1, 0);
    mixer_deinit();
    driver_deinit();
    err += testing::internal::GetCapturedStderr();
    EXPECT_EQ(count(err, "IrrKlang init error"), 1) << err;
    EXPECT_EQ(count(err, "- missing"), 0) << err;
}

// ---------------------------------------------------------------- the mixer

TEST(AudioMixer, NamesLoadOnceAndMissingMusicStillGetsANumber) {
    std::string root = temp_dir("mixer");
    std::filesystem::create_directories(root + "/data");
    std::filesystem::create_directories(root + "/run");
    write_sound(root + "/data/ping.wav", tone(0.1, 880, 0.5));
    write_file(root + "/data/bad.ogg", "OggS but not really a sound file at all");
    write_file(root + "/data/sound.txt",
               "{\"ping\": {\"fname\": \"ping.wav\"}, \"bad\": {\"fname\": \"bad.ogg\"}, \"odd\": {\"fname\": 3}}");
    write_file(root + "/data/music.txt", "{\"menus\": {\"fname\": \"gone.ogg\"}}");
    std::string old_cwd = std::filesystem::current_path();
    std::filesystem::current_path(root + "/run");
    driver_init();
    mixer_init();
    log_set_verbose(true);  // the lines below are the chatty ones
    testing::internal::CaptureStderr();
    EXPECT_EQ(mixer_sample_load("ping"), 1);
    EXPECT_EQ(mixer_sample_load("ping"), 1);
    EXPECT_EQ(mixer_sample_load("bad"), 0);
    EXPECT_EQ(mixer_sample_load("bad"), 0);
    EXPECT_EQ(mixer_sample_load("odd"), 0);
    EXPECT_EQ(mixer_sample_load("nothing"), 0);
    int music = mixer_stream_load("menus");
    EXPECT_EQ(music, 2);
    EXPECT_EQ(mixer_stream_load("menus"), 2);
    mixer_stream_play(music, 0.5f);
    mixer_stream_stop(music);
    mixer_stream_volume(music, 0.2f);
    mixer_sample_play(1, 0.5f, 0);
    mixer_sample_play(0, 0.5f, 0);
    std::string err = testing::internal::GetCapturedStderr();
    mixer_deinit();
    driver_deinit();
    std::filesystem::current_path(old_cwd);
    std::filesystem::remove_all(root);
    EXPECT_EQ(count(err, "trying load sample ping"), 1);
    EXPECT_EQ(count(err, "trying load sample bad"), 1) << "a failed file is not tried again";
    EXPECT_EQ(count(err, "error loading: ../data/bad.ogg"), 1);
    EXPECT_EQ(count(err, "trying load sample nothing"), 1);
    EXPECT_EQ(count(err, "doing load sample nothing"), 0);
    EXPECT_EQ(count(err, "stream_load (soundSource) error: ../data/gone.ogg"), 1);
    EXPECT_EQ(count(err, "stream_play error: 2 - missing stream"), 1);
    EXPECT_EQ(count(err, "stream_stop error: 2 - missing stream"), 1);
    EXPECT_EQ(count(err, "stream_volume error: 2 - missing stream"), 1);
    EXPECT_EQ(count(err, "sound_play error"), 0);
}

TEST(AudioMixer, BrokenCataloguesCountAsEmpty) {
    std::string root = temp_dir("mixer");
    std::filesystem::create_directories(root + "/data");
    std::filesystem::create_directories(root + "/run");
    write_file(root + "/data/sound.txt", "[1, 2, 3]");
    write_file(root + "/data/music.txt", "{\"menus\": ");
    std::string old_cwd = std::filesystem::current_path();
    std::filesystem::current_path(root + "/run");
    driver_init();
    EXPECT_EQ(mixer_sample_load("bomb"), 0) << "before mixer_init";
    mixer_init();
    EXPECT_EQ(mixer_sample_load("bomb"), 0);
    EXPECT_EQ(mixer_stream_load("menus"), 0);
    mixer_deinit();
    driver_deinit();
    std::filesystem::current_path(old_cwd);
    std::filesystem::remove_all(root);
}

// The shipped catalogues name every sound the game asks for, and each decodes.
TEST(AudioMixer, ShippedSoundsAllLoad) {
    driver_init();
    mixer_init();
    for (const char* name : {"bomb", "drop", "shoot", "guard", "win", "yeah", "death"})
        EXPECT_GT(mixer_sample_load(name), 0) << name;
    int music = mixer_stream_load("menus");
    EXPECT_GT(music, 0);
    float len = driver_audio_stream_len(music);
    EXPECT_GE(len, 60.0f);
    EXPECT_LE(len, 120.0f);
    mixer_deinit();
    driver_deinit();
}
