// A small sound engine over OpenAL Soft and libsndfile: sources decoded from
// files or memory, 2D sounds with pause, stop, volume, pan and play position,
// long files streamed in chunks on the engine's own thread.
//
// Objects are reference counted: whoever creates or is handed an object owns
// one reference and gives it back with drop(). Dropping the engine stops every
// sound and closes the device; sources and sounds still held afterwards stay
// valid objects whose calls do nothing.
//
// Times are in milliseconds, volumes 0..1, pan -1 (left) .. 0 (centre) .. 1 (right).
#pragma once

#include <atomic>
#include <memory>

struct _AudioCore;
struct _AudioDecoder;

class AudioRefCounted {
public:
    AudioRefCounted() = default;
    AudioRefCounted(const AudioRefCounted&) = delete;
    AudioRefCounted& operator=(const AudioRefCounted&) = delete;
    void grab() { _refs.fetch_add(1); }
    // Returns true when this was the last reference and the object is gone.
    bool drop();

protected:
    virtual ~AudioRefCounted() = default;

private:
    std::atomic<int> _refs{1};
};

enum AudioStreamMode {
    AUDIO_STREAM_AUTO,      // stream long files, decode short ones whole
    AUDIO_STREAM_STREAMING, // always decode in chunks while playing
    AUDIO_STREAM_NOSTREAM   // always decode whole before the first play
};

// Sound data: a file or a private copy of a memory block, checked when added.
class AudioSource : public AudioRefCounted {
public:
    const char* name() const;
    void set_stream_mode(AudioStreamMode mode);
    AudioStreamMode stream_mode() const { return _mode; }
    int channels() const { return _channels; }
    int sample_rate() const { return _rate; }
    long frames() const { return _frames; }
    // Length in milliseconds.
    int play_length() const;

private:
    friend class AudioEngine;
    friend class AudioSound;
    friend struct _AudioCore;
    AudioSource() = default;
    ~AudioSource() override;
    bool _streams() const;
    bool _decode_whole();
    _AudioDecoder* _open_decoder() const;
    void _release_al();

    std::shared_ptr<_AudioCore> _core;
    char _name[512] = {};
    std::shared_ptr<const std::string> _memory;  // null for a file source
    AudioStreamMode _mode = AUDIO_STREAM_AUTO;
    int _channels = 0;
    int _rate = 0;
    long _frames = 0;
    unsigned _buffer = 0;  // OpenAL buffer of the whole decoded sound, 0 when streamed
};

// One playing (or paused) instance of a source.
class AudioSound : public AudioRefCounted {
public:
    void set_paused(bool paused);
    bool is_paused() const;
    // Ends the sound for good; its position then reads -1.
    void stop();
    bool is_finished() const;
    void set_volume(float vol);
    float volume() const { return _volume; }
    void set_pan(float pan);
    float pan() const { return _pan; }
    bool is_looped() const { return _looped; }
    // Position and length in milliseconds; the position is -1 once finished.
    bool set_play_position(int ms);
    int play_position() const;
    int play_length() const;

private:
    friend class AudioEngine;
    friend struct _AudioCore;
    AudioSound() = default;
    ~AudioSound() override;
    void _apply_pan();
    void _refill();
    void _queue_from(long frame);
    void _update();
    void _finish();
    long _frame_now() const;

    std::shared_ptr<_AudioCore> _core;
    AudioSource* _source = nullptr;  // one reference held
    _AudioDecoder* _decoder = nullptr;  // streamed sounds only
    unsigned _al = 0;                  // OpenAL source, 0 once finished
    bool _looped = false;
    bool _paused = true;
    bool _finished = false;
    bool _decoder_end = false;  // a non-looped stream has queued its last chunk
    float _volume = 1.0f;
    float _pan = 0.0f;
    // Streamed sounds: the chunks queued on the OpenAL source, oldest first.
    enum { STREAM_BUFFERS = 4 };
    unsigned _buffers[STREAM_BUFFERS] = {};
    long _queued_start[STREAM_BUFFERS] = {};  // file frame each queued chunk starts at
    int _queued_n = 0;
    int _queued_head = 0;
    long _next_frame = 0;  // file frame the decoder reads next
    // Looped streams: the last two frames read, and the step at the seam that
    // is still being faded out (see _smooth_seam).
    short _tail[2][2] = {};  // [older, newer][channel]
    bool _seam_next = false;
    float _seam_step[2] = {};
    int _seam_left = 0;
    long _read_chunk(short* pcm, int oc);
    void _smooth_seam(short* pcm, long n, int oc);
};

class AudioEngine : public AudioRefCounted {
public:
    // Opens the default output device. Null when no device can be opened or
    // another engine is alive (OpenAL has one current context per process).
    static AudioEngine* create();

    const char* device_name() const;
    // Null (with a line on standard error) when the data cannot be decoded.
    AudioSource* add_source_from_file(const char* fname, AudioStreamMode mode = AUDIO_STREAM_AUTO);
    // The block is copied: the caller may free it at once.
    AudioSource* add_source_from_memory(const void* data, long size, const char* name,
                                        AudioStreamMode mode = AUDIO_STREAM_AUTO);
    // Starts a sound. With `track` the caller gets a reference to it (drop it
    // when done); without, the engine keeps it until it ends and null is
    // returned. Null also when the sound cannot be started.
    AudioSound* play2d(AudioSource* source, bool looped, bool start_paused, bool track);
    void stop_all_sounds();
    // Sounds the engine is playing or holding paused.
    int active_sounds() const;

private:
    AudioEngine() = default;
    ~AudioEngine() override;
    AudioSource* _add_source(AudioSource* s, AudioStreamMode mode);
    std::shared_ptr<_AudioCore> _core;
};
