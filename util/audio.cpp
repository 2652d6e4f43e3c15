// The sound engine over OpenAL Soft and libsndfile.
//
// Sections: decoding (libsndfile over files and memory), the engine core and
// its streaming thread, sources, sounds, the engine.
//
// Every OpenAL object and every field a sound shares with the streaming thread
// is touched only under the core's lock. The lock is recursive because dropping
// the last reference to a sound from inside the thread's update destroys it,
// and the destructor takes the lock again.
#include "audio.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "util.h"

namespace {

enum {
    MS_PER_SECOND = 1000,
    CHUNK_FRAMES = 8192,          // one streamed chunk, about 0.19 s at 44.1 kHz
    DECODE_BLOCK_FRAMES = 16384,  // frames read per call when decoding whole
    MAX_OUT_CHANNELS = 2,
    MAX_IN_CHANNELS = 64,         // more than any real file; rejects corrupt headers
    UPDATE_PERIOD_MS = 10,        // how often the streaming thread looks at the sounds
};
// Sounds whose decoded size exceeds this are streamed in automatic mode
// (about six seconds of 16-bit stereo at 44.1 kHz).
const long AUTO_STREAM_BYTES = 1L << 20;
// A whole decode stops here, so a corrupt header cannot exhaust memory.
const long DECODE_WHOLE_MAX_BYTES = 64L << 20;
const float HALF_PI = 1.5707963f;
const float STEREO_HALF_ANGLE = 0.5235988f;  // OpenAL's default stereo spread, 30 degrees

std::atomic<bool> _audio_engine_alive{false};

float _clamp(float v, float lo, float hi) {
    if (!(v == v)) return 0.0f;  // NaN
    return v < lo ? lo : (v > hi ? hi : v);
}

int _frames_to_ms(long frames, int rate) {
    if (rate <= 0 || frames < 0) return -1;
    return (int)((long long)frames * MS_PER_SECOND / rate);
}

}  // namespace

// ---------------------------------------------------------------- decoding

struct _AudioDecoder {
    SNDFILE* file = nullptr;
    SF_INFO info = {};
    std::shared_ptr<const std::string> memory;  // null when reading a file
    sf_count_t pos = 0;                          // read position in memory
    std::vector<short> scratch;                  // interleaved input frames
};

static sf_count_t _vio_len(void* user) {
    return (sf_count_t)((_AudioDecoder*)user)->memory->size();
}

static sf_count_t _vio_seek(sf_count_t offset, int whence, void* user) {
    _AudioDecoder* d = (_AudioDecoder*)user;
    sf_count_t size = (sf_count_t)d->memory->size();
    sf_count_t base = whence == SEEK_CUR ? d->pos : (whence == SEEK_END ? size : 0);
    sf_count_t to = base + offset;
    if (to < 0 || to > size) return -1;
    d->pos = to;
    return d->pos;
}

static sf_count_t _vio_read(void* ptr, sf_count_t count, void* user) {
    _AudioDecoder* d = (_AudioDecoder*)user;
    sf_count_t size = (sf_count_t)d->memory->size();
    sf_count_t n = std::min(count, size - d->pos);
    if (n <= 0) return 0;
    memcpy(ptr, d->memory->data() + d->pos, (size_t)n);
    d->pos += n;
    return n;
}

static sf_count_t _vio_write(const void*, sf_count_t, void*) { return 0; }

static sf_count_t _vio_tell(void* user) { return ((_AudioDecoder*)user)->pos; }

static void _decoder_close(_AudioDecoder* d) {
    if (!d) return;
    if (d->file) sf_close(d->file);
    delete d;
}

// Opens a decoder over a file or a memory block; null with a diagnostic when
// libsndfile cannot make sense of it.
static _AudioDecoder* _decoder_open(const char* name, const std::shared_ptr<const std::string>& memory) {
    _AudioDecoder* d = new _AudioDecoder();
    d->memory = memory;
    if (memory) {
        static SF_VIRTUAL_IO vio = {_vio_len, _vio_seek, _vio_read, _vio_write, _vio_tell};
        d->file = sf_open_virtual(&vio, SFM_READ, &d->info, d);
    } else {
        d->file = sf_open(name, SFM_READ, &d->info);
    }
    if (!d->file) {
        fprintf(stderr, "audio: cannot decode %s: %s\n", name, sf_strerror(nullptr));
        _decoder_close(d);
        return nullptr;
    }
    if (d->info.channels < 1 || d->info.channels > MAX_IN_CHANNELS || d->info.samplerate <= 0) {
        fprintf(stderr, "audio: unusable format in %s (%d channels, %d Hz)\n", name, d->info.channels,
                d->info.samplerate);
        _decoder_close(d);
        return nullptr;
    }
    return d;
}

static int _out_channels(int in_channels) { return in_channels == 1 ? 1 : MAX_OUT_CHANNELS; }

// Reads up to `frames` frames as 16-bit samples with one or two channels
// (files with more keep their first two). Returns the frames read, 0 at the end.
static long _decoder_read(_AudioDecoder* d, short* out, long frames) {
    int in = d->info.channels;
    int oc = _out_channels(in);
    if (in == oc) return (long)sf_readf_short(d->file, out, frames);
    d->scratch.resize((size_t)frames * in);
    long got = (long)sf_readf_short(d->file, d->scratch.data(), frames);
    for (long f = 0; f < got; f++) {
        out[f * oc] = d->scratch[f * in];
        out[f * oc + 1] = d->scratch[f * in + 1];
    }
    return got;
}

static ALenum _al_format(int channels) { return channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16; }

// ---------------------------------------------------------------- engine core

struct _AudioCore {
    std::recursive_mutex lock;
    std::condition_variable_any wake;
    std::thread worker;
    bool quit = false;
    bool closed = false;
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    bool stereo_angles = false;
    char device_name[256] = {};
    std::vector<AudioSound*> sounds;    // every sound object alive
    std::vector<AudioSound*> active;    // sounds the engine holds a reference to
    std::vector<AudioSource*> sources;  // every source object alive

    void run();
    void unregister(AudioSound* s);
    // Gives back the engine's reference to a sound that ended (may destroy it).
    void release(AudioSound* s);
};

void _AudioCore::run() {
    std::unique_lock<std::recursive_mutex> hold(lock);
    while (!quit) {
        wake.wait_for(hold, std::chrono::milliseconds(UPDATE_PERIOD_MS));
        if (quit) break;
        std::vector<AudioSound*> now = active;
        for (AudioSound* s : now) s->_update();
    }
}

void _AudioCore::unregister(AudioSound* s) {
    sounds.erase(std::remove(sounds.begin(), sounds.end(), s), sounds.end());
}

void _AudioCore::release(AudioSound* s) {
    auto it = std::find(active.begin(), active.end(), s);
    if (it == active.end()) return;
    active.erase(it);
    s->drop();
}

bool AudioRefCounted::drop() {
    int left = _refs.fetch_sub(1) - 1;
    if (left < 0) {
        fprintf(stderr, "audio: object dropped more often than grabbed\n");
        return false;
    }
    if (left > 0) return false;
    delete this;
    return true;
}

// ---------------------------------------------------------------- sources

AudioSource::~AudioSource() {
    if (!_core) return;
    std::lock_guard<std::recursive_mutex> hold(_core->lock);
    _release_al();  // also for a source that failed before it was registered
    _core->sources.erase(std::remove(_core->sources.begin(), _core->sources.end(), this),
                         _core->sources.end());
}

void AudioSource::_release_al() {
    if (_buffer && !_core->closed) alDeleteBuffers(1, &_buffer);
    _buffer = 0;
}

const char* AudioSource::name() const { return _name; }

void AudioSource::set_stream_mode(AudioStreamMode mode) {
    std::lock_guard<std::recursive_mutex> hold(_core->lock);
    _mode = mode;
    // A source that will no longer stream is decoded now, not on the first play.
    if (!_streams() && !_buffer && !_core->closed) _decode_whole();
}

int AudioSource::play_length() const { return _frames_to_ms(_frames, _rate); }

bool AudioSource::_streams() const {
    if (_mode == AUDIO_STREAM_STREAMING) return true;
    if (_mode == AUDIO_STREAM_NOSTREAM) return false;
    return _frames < 0 || _frames * _out_channels(_channels) * (long)sizeof(short) > AUTO_STREAM_BYTES;
}

_AudioDecoder* AudioSource::_open_decoder() const { return _decoder_open(_name, _memory); }

// Decodes the whole sound into one OpenAL buffer; false when no frame could be read.
bool AudioSource::_decode_whole() {
    _AudioDecoder* d = _open_decoder();
    if (!d) return false;
    int oc = _out_channels(_channels);
    std::vector<short> pcm;
    long total = 0;
    long max_frames = DECODE_WHOLE_MAX_BYTES / (oc * (long)sizeof(short));
    while (total < max_frames) {
        pcm.resize((size_t)(total + DECODE_BLOCK_FRAMES) * oc);
        long got = _decoder_read(d, pcm.data() + (size_t)total * oc, DECODE_BLOCK_FRAMES);
        if (got <= 0) break;
        total += got;
    }
    _decoder_close(d);
    if (total >= max_frames) fprintf(stderr, "audio: %s cut to %ld frames\n", _name, max_frames);
    if (total <= 0) {
        fprintf(stderr, "audio: no sound data in %s\n", _name);
        return false;
    }
    alGetError();
    alGenBuffers(1, &_buffer);
    if (alGetError() != AL_NO_ERROR) {
        _buffer = 0;
        fprintf(stderr, "audio: no buffer for %s\n", _name);
        return false;
    }
    alBufferData(_buffer, _al_format(oc), pcm.data(), (ALsizei)(total * oc * (long)sizeof(short)), _rate);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(1, &_buffer);
        _buffer = 0;
        fprintf(stderr, "audio: cannot buffer %s\n", _name);
        return false;
    }
    // A truncated file plays what it has; its length is what was decoded.
    _frames = total;
    return true;
}

// ---------------------------------------------------------------- sounds

AudioSound::~AudioSound() {
    if (!_core) return;
    std::lock_guard<std::recursive_mutex> hold(_core->lock);
    _finish();
    _core->unregister(this);
    if (_source) _source->drop();
}

// Frees the OpenAL objects and the decoder; the sound is over.
void AudioSound::_finish() {
    _finished = true;
    if (!_core->closed && _al) {
        alSourceStop(_al);
        alSourcei(_al, AL_BUFFER, 0);
        alDeleteSources(1, &_al);
        for (unsigned& b : _buffers)
            if (b) alDeleteBuffers(1, &b);
    }
    _al = 0;
    memset(_buffers, 0, sizeof(_buffers));
    _queued_n = 0;
    _decoder_close(_decoder);
    _decoder = nullptr;
}

void AudioSound::set_paused(bool paused) {
    std::lock_guard<std::recursive_mutex> hold(_core->lock);
    _paused = paused;
    if (_finished || !_al) return;
    ALint state = AL_INITIAL;
    alGetSourcei(_al, AL_SOURCE_STATE, &state);
    if (paused && state == AL_PLAYING) alSourcePause(_al);
    if (!paused && state != AL_PLAYING) alSourcePlay(_al);
}

bool AudioSound::is_paused() const { return _paused; }

void AudioSound::stop() {
    std::shared_ptr<_AudioCore> core = _core;  // outlives this if release() destroys it
    std::lock_guard<std::recursive_mutex> hold(core->lock);
    if (_finished) return;
    _finish();
    core->release(this);  // may destroy this; nothing follows
}

bool AudioSound::is_finished() const {
    std::lock_guard<std::recursive_mutex> hold(_core->lock);
    return _finished;
}

void AudioSound::set_volume(float vol) {
    std::lock_guard<std::recursive_mutex> hold(_core->lock);
    _volume = _clamp(vol, 0.0f, 1.0f);
    if (_al && !_core->closed) alSourcef(_al, AL_GAIN, _volume);
}

void AudioSound::set_pan(float pan) {
    std::lock_guard<std::recursive_mutex> hold(_core->lock);
    _pan = _clamp(pan, -1.0f, 1.0f);
    _apply_pan();
}

// A mono sound is placed on a half circle in front of the listener, from hard
// left to hard right; a stereo sound has both its channels turned that way.
void AudioSound::_apply_pan() {
    if (!_al || _core->closed) return;
    float a = _pan * HALF_PI;
    alSource3f(_al, AL_POSITION, sinf(a), 0.0f, -cosf(a));
    if (_source->_channels > 1 && _core->stereo_angles) {
        float left, right;
        if (_pan < 0) {
            left = STEREO_HALF_ANGLE + -_pan * (HALF_PI - STEREO_HALF_ANGLE);
            right = -STEREO_HALF_ANGLE + -_pan * (HALF_PI + STEREO_HALF_ANGLE);
        } else {
            left = STEREO_HALF_ANGLE - _pan * (HALF_PI + STEREO_HALF_ANGLE);
            right = -STEREO_HALF_ANGLE - _pan * (HALF_PI - STEREO_HALF_ANGLE);
        }
        ALfloat angles[2] = {left, right};
        alSourcefv(_al, AL_STEREO_ANGLES, angles);
    }
}

int AudioSound::play_length() const {
    std::lock_guard<std::recursive_mutex> hold(_core->lock);
    return _source->play_length();
}

// The frame of the source being heard now, -1 once finished.
long AudioSound::_frame_now() const {
    if (_finished || !_al || _core->closed) return -1;
    ALint offset = 0;
    alGetSourcei(_al, AL_SAMPLE_OFFSET, &offset);
    long frames = _source->_frames;
    if (!_decoder) return offset;
    if (_queued_n == 0) return _next_frame;
    long at = _queued_start[_queued_head] + offset;
    return frames > 0 ? at % frames : at;
}

int AudioSound::play_position() const {
    std::lock_guard<std::recursive_mutex> hold(_core->lock);
    long f = _frame_now();
    return f < 0 ? -1 : _frames_to_ms(f, _source->_rate);
}

bool AudioSound::set_play_position(int ms) {
    std::lock_guard<std::recursive_mutex> hold(_core->lock);
    if (_finished || !_al || _core->closed || ms < 0) return false;
    long frames = _source->_frames;
    long frame = (long)((long long)ms * _source->_rate / MS_PER_SECOND);
    if (frames > 0 && frame >= frames) return false;
    if (!_decoder) {
        alGetError();
        alSourcei(_al, AL_SAMPLE_OFFSET, (ALint)frame);
        return alGetError() == AL_NO_ERROR;
    }
    if (sf_seek(_decoder->file, frame, SEEK_SET) < 0) return false;
    _queue_from(frame);
    return true;
}

// Throws away what a streamed sound had queued and queues again from `frame`
// (the decoder is already there), keeping the sound paused or playing.
void AudioSound::_queue_from(long frame) {
    alSourceRewind(_al);  // back to the initial state: nothing counts as played
    alSourcei(_al, AL_BUFFER, 0);
    _queued_n = 0;
    _queued_head = 0;
    _next_frame = frame;
    _decoder_end = false;
    _seam_next = false;
    _seam_left = 0;
    _refill();
    if (!_paused) alSourcePlay(_al);
}

// Reads one chunk of a stream; a looped stream runs on from its end into its
// start, so the seam falls between two neighbouring samples. Returns the
// frames read, 0 at the end of a stream that does not loop.
long AudioSound::_read_chunk(short* pcm, int oc) {
    long got = 0;
    int empty_reads = 0;
    while (got < CHUNK_FRAMES) {
        long n = _decoder_read(_decoder, pcm + (size_t)got * oc, CHUNK_FRAMES - got);
        if (n > 0) {
            _smooth_seam(pcm + (size_t)got * oc, n, oc);
            got += n;
            _next_frame += n;
            empty_reads = 0;
            continue;
        }
        // The end: wrap round when looping (twice empty means no data at all).
        if (!_looped || ++empty_reads > 1 || sf_seek(_decoder->file, 0, SEEK_SET) < 0) {
            _decoder_end = true;
            break;
        }
        _next_frame = 0;
        _seam_next = true;
    }
    return got;
}

// A lossy codec leaves the end and the start of a file each a little off, so
// a loop that was continuous before encoding may step where it joins. The
// step against the line through the last two frames is faded out over the
// first frames after the seam.
void AudioSound::_smooth_seam(short* pcm, long n, int oc) {
    const int SEAM_FRAMES = 64;
    const float SHORT_MIN = -32768.0f, SHORT_MAX = 32767.0f;
    if (_seam_next) {
        for (int c = 0; c < oc; c++) _seam_step[c] = pcm[c] - (2.0f * _tail[1][c] - _tail[0][c]);
        _seam_left = SEAM_FRAMES;
        _seam_next = false;
    }
    for (long k = 0; k < n && _seam_left > 0; k++, _seam_left--) {
        float w = (float)_seam_left / SEAM_FRAMES;
        for (int c = 0; c < oc; c++) {
            float v = pcm[k * oc + c] - _seam_step[c] * w;
            pcm[k * oc + c] = (short)std::min(SHORT_MAX, std::max(SHORT_MIN, v));
        }
    }
    for (int c = 0; c < oc; c++) {
        _tail[0][c] = n >= 2 ? pcm[(n - 2) * oc + c] : _tail[1][c];
        _tail[1][c] = pcm[(n - 1) * oc + c];
    }
}

// Streamed sounds: takes back the chunks heard and queues fresh ones.
void AudioSound::_refill() {
    ALint done = 0;
    alGetSourcei(_al, AL_BUFFERS_PROCESSED, &done);
    for (int i = 0; i < done && _queued_n > 0; i++) {
        ALuint b = 0;
        alSourceUnqueueBuffers(_al, 1, &b);
        _queued_head = (_queued_head + 1) % STREAM_BUFFERS;
        _queued_n--;
    }
    int oc = _out_channels(_source->_channels);
    static thread_local std::vector<short> pcm;
    pcm.resize((size_t)CHUNK_FRAMES * oc);
    while (_queued_n < STREAM_BUFFERS && !_decoder_end) {
        long start = _next_frame;
        long got = _read_chunk(pcm.data(), oc);
        if (got == 0) break;
        int slot = (_queued_head + _queued_n) % STREAM_BUFFERS;
        alBufferData(_buffers[slot], _al_format(oc), pcm.data(), (ALsizei)(got * oc * (long)sizeof(short)),
                     _source->_rate);
        alSourceQueueBuffers(_al, 1, &_buffers[slot]);
        _queued_start[slot] = start;
        _queued_n++;
    }
}

// One look from the streaming thread: keep streams fed, notice sounds that ended.
void AudioSound::_update() {
    if (_finished || !_al) return;
    ALint state = AL_INITIAL;
    alGetSourcei(_al, AL_SOURCE_STATE, &state);
    if (_decoder) {
        _refill();
        if (state != AL_STOPPED || _paused) return;
        if (_queued_n > 0) {
            alSourcePlay(_al);  // ran dry before we refilled: carry on
            return;
        }
    } else if (state != AL_STOPPED || _paused) {
        return;
    }
    _finish();
    _core->release(this);
}

// ---------------------------------------------------------------- the engine

AudioEngine* AudioEngine::create() {
    if (_audio_engine_alive.exchange(true)) {
        fprintf(stderr, "audio: an engine is already running\n");
        return nullptr;
    }
    ALCdevice* device = alcOpenDevice(nullptr);
    ALCcontext* context = device ? alcCreateContext(device, nullptr) : nullptr;
    if (!context || !alcMakeContextCurrent(context)) {
        if (context) alcDestroyContext(context);
        if (device) alcCloseDevice(device);
        _audio_engine_alive = false;
        return nullptr;
    }
    AudioEngine* e = new AudioEngine();
    e->_core = std::make_shared<_AudioCore>();
    _AudioCore& c = *e->_core;
    c.device = device;
    c.context = context;
    c.stereo_angles = alIsExtensionPresent("AL_EXT_STEREO_ANGLES") == AL_TRUE;
    mystrcpy(c.device_name, sizeof(c.device_name), alcGetString(device, ALC_DEVICE_SPECIFIER));
    c.worker = std::thread([core = e->_core.get()] { core->run(); });
    return e;
}

AudioEngine::~AudioEngine() {
    _AudioCore& c = *_core;
    {
        std::lock_guard<std::recursive_mutex> hold(c.lock);
        c.quit = true;
    }
    c.wake.notify_all();
    c.worker.join();
    std::vector<AudioSound*> held;
    {
        std::lock_guard<std::recursive_mutex> hold(c.lock);
        for (AudioSound* s : c.sounds) s->_finish();
        for (AudioSource* s : c.sources) s->_release_al();
        c.closed = true;
        held.swap(c.active);
    }
    for (AudioSound* s : held) s->drop();
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(c.context);
    alcCloseDevice(c.device);
    _audio_engine_alive = false;
}

const char* AudioEngine::device_name() const { return _core->device_name; }

AudioSource* AudioEngine::_add_source(AudioSource* s, AudioStreamMode mode) {
    s->_core = _core;
    s->_mode = mode;
    _AudioDecoder* d = s->_open_decoder();
    if (!d) {
        s->drop();
        return nullptr;
    }
    s->_channels = d->info.channels;
    s->_rate = d->info.samplerate;
    s->_frames = d->info.frames > 0 ? (long)d->info.frames : -1;
    bool seekable = d->info.seekable != 0;
    _decoder_close(d);
    if (!seekable && s->_streams()) s->_mode = AUDIO_STREAM_NOSTREAM;  // cannot loop or seek in chunks
    // Decoded before registering, so that the streaming thread never waits for it.
    bool ok = s->_streams() ? s->_frames != 0 : s->_decode_whole();
    if (!ok) {
        if (s->_frames == 0) fprintf(stderr, "audio: no sound data in %s\n", s->_name);
        s->drop();
        return nullptr;
    }
    std::lock_guard<std::recursive_mutex> hold(_core->lock);
    _core->sources.push_back(s);
    return s;
}

AudioSource* AudioEngine::add_source_from_file(const char* fname, AudioStreamMode mode) {
    if (!fname) return nullptr;
    AudioSource* s = new AudioSource();
    mystrcpy(s->_name, sizeof(s->_name), fname);
    return _add_source(s, mode);
}

AudioSource* AudioEngine::add_source_from_memory(const void* data, long size, const char* name,
                                                 AudioStreamMode mode) {
    if (!data || size <= 0) return nullptr;
    AudioSource* s = new AudioSource();
    mystrcpy(s->_name, sizeof(s->_name), name ? name : "");
    s->_memory = std::make_shared<const std::string>((const char*)data, (size_t)size);
    return _add_source(s, mode);
}

AudioSound* AudioEngine::play2d(AudioSource* source, bool looped, bool start_paused, bool track) {
    if (!source || source->_core != _core) return nullptr;
    std::lock_guard<std::recursive_mutex> hold(_core->lock);
    if (_core->closed) return nullptr;
    bool streamed = source->_streams();
    if (!streamed && !source->_buffer && !source->_decode_whole()) return nullptr;
    AudioSound* s = new AudioSound();
    s->_core = _core;
    s->_source = source;
    source->grab();
    s->_looped = looped;
    s->_paused = start_paused;
    _core->sounds.push_back(s);
    alGetError();
    alGenSources(1, &s->_al);
    if (alGetError() != AL_NO_ERROR) {
        s->_al = 0;
        fprintf(stderr, "audio: no voice left for %s\n", source->_name);
        s->drop();
        return nullptr;
    }
    alSourcei(s->_al, AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcef(s->_al, AL_ROLLOFF_FACTOR, 0.0f);
    alSourcef(s->_al, AL_GAIN, s->_volume);
    s->_apply_pan();
    if (streamed) {
        s->_decoder = source->_open_decoder();
        alGenBuffers(AudioSound::STREAM_BUFFERS, s->_buffers);
        if (alGetError() != AL_NO_ERROR) memset(s->_buffers, 0, sizeof(s->_buffers));
        if (!s->_decoder || !s->_buffers[0]) {
            s->drop();
            return nullptr;
        }
        s->_refill();
    } else {
        alSourcei(s->_al, AL_BUFFER, (ALint)source->_buffer);
        alSourcei(s->_al, AL_LOOPING, looped ? AL_TRUE : AL_FALSE);
    }
    if (!start_paused) alSourcePlay(s->_al);
    _core->active.push_back(s);  // the engine's reference
    if (!track) return nullptr;
    s->grab();
    return s;
}

void AudioEngine::stop_all_sounds() {
    std::lock_guard<std::recursive_mutex> hold(_core->lock);
    std::vector<AudioSound*> now = _core->active;
    for (AudioSound* s : now) s->stop();
}

int AudioEngine::active_sounds() const {
    std::lock_guard<std::recursive_mutex> hold(_core->lock);
    return (int)_core->active.size();
}
