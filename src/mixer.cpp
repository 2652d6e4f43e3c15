// Sound effects and music by name: the catalogues sound.txt and music.txt turn
// names into the driver's numbers, loading each file on first use.
#include "mixer.h"

#include <json/json.h>

#include <cstdio>
#include <map>
#include <string>

#include "driver.h"
#include "log.h"

struct _MixerData {
    Json::Value sample_json;
    std::map<std::string, int> sample_map;
    Json::Value stream_json;
    std::map<std::string, int> stream_map;
};

static _MixerData* _mixer = nullptr;

// A catalogue that is missing or not a JSON object counts as empty.
static Json::Value _mixer_catalogue(const char* fname) {
    std::string text = driver_data_load(fname);
    Json::Value root;
    Json::Reader reader;
    if (text.empty()) {
        fprintf(stderr, "mixer: %s missing\n", fname);
        return Json::Value(Json::objectValue);
    }
    if (!reader.parse(text, root, false) || !root.isObject()) {
        fprintf(stderr, "mixer: %s is not a JSON object\n", fname);
        return Json::Value(Json::objectValue);
    }
    return root;
}

void mixer_init() {
    if (_mixer) return;
    _mixer = new _MixerData();
    _mixer->sample_json = _mixer_catalogue("sound.txt");
    _mixer->stream_json = _mixer_catalogue("music.txt");
}

void mixer_deinit() {
    delete _mixer;
    _mixer = nullptr;
}

// The number for a name of one catalogue, loading it on first use. A name
// whose file failed keeps its 0 and is not tried again.
static int _mixer_load(const Json::Value& catalogue, std::map<std::string, int>& numbers,
                       const char* name, const char* kind, bool stream) {
    auto it = numbers.find(name);
    if (it != numbers.end()) return it->second;
    log_info("trying load %s %s\n", kind, name);
    if (!catalogue.isMember(name)) return 0;
    log_info("doing load %s %s\n", kind, name);
    const Json::Value& entry = catalogue[name];
    std::string file;
    if (entry.isObject() && entry["fname"].isString()) file = entry["fname"].asString();
    if (file.empty()) fprintf(stderr, "mixer: %s %s has no \"fname\"\n", kind, name);
    const char* path = driver_data_fname(file.c_str());
    int id = stream ? driver_audio_stream_load(path, false) : driver_audio_sample_load(path);
    numbers[name] = id;
    return id;
}

int mixer_sample_load(const char* name) {
    if (!_mixer || !name) return 0;
    return _mixer_load(_mixer->sample_json, _mixer->sample_map, name, "sample", false);
}

int mixer_stream_load(const char* name) {
    if (!_mixer || !name) return 0;
    return _mixer_load(_mixer->stream_json, _mixer->stream_map, name, "stream", true);
}

void mixer_sample_play(int id, float vol, float pan) { driver_audio_sample_play(id, vol, pan); }

void mixer_stream_play(int id, float vol) { driver_audio_stream_play(id, vol, 0); }

void mixer_stream_stop(int id) { driver_audio_stream_stop(id); }

void mixer_stream_volume(int id, float vol) { driver_audio_stream_volume(id, vol); }
