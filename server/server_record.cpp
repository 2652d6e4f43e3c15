// Map records as the service receives and sends them: Base64 of one zlib
// stream that inflates to exactly one LevelData record.
#include "server.h"

#include <cstdio>
#include <cstring>

#include "base64.h"
#include "logic.h"

bool server_record_inflate(const std::string& packed, LevelData& out) {
    if (packed.empty() || packed.size() > SERVER_PACKED_MAX) return false;
    // The game takes a shorter stream, or bytes after it; what the service
    // keeps and hands on is always one whole record and nothing else.
    LevelData room;
    size_t inflated = 0, rest = 0;
    if (!logic_record_unpack(packed, room, &inflated, &rest)) return false;
    if (inflated != (size_t)SERVER_RECORD_SIZE || rest != 0) return false;
    out = room;
    return true;
}

bool server_record_decode(const std::string& b64, LevelData& out, std::string& why) {
    if (b64.empty()) {
        why = "The map is missing.";
        return false;
    }
    if (b64.size() > SERVER_DATA_B64_MAX) {
        why = "The map is too large.";
        return false;
    }
    std::string packed;
    if (!base64_decode(b64, &packed)) {
        why = "The map could not be read (it is not Base64).";
        return false;
    }
    if (!server_record_inflate(packed, out)) {
        why = "The map could not be read (it is not one whole compressed map).";
        return false;
    }
    return true;
}

std::string server_record_pack(const LevelData& lev) {
    std::string out(LOGIC_DATA_MAX, '\0');
    size_t len = logic_record_pack(lev, (unsigned char*)&out[0], out.size());
    if (!len) {
        fprintf(stderr, "server_record_pack(): zlib fail\n");
        return std::string();
    }
    out.resize(len);
    return out;
}
