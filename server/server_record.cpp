// Map records as the service receives and sends them: Base64 of one zlib
// stream that inflates to exactly one LevelData record.
#include "server.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>

#include "base64.h"

bool server_record_inflate(const std::string& packed, LevelData& out) {
    if (packed.empty() || packed.size() > SERVER_PACKED_MAX) return false;
    // One byte of room beyond the record tells a longer stream from an exact one.
    static thread_local unsigned char room[SERVER_RECORD_SIZE + 1];
    z_stream z;
    memset(&z, 0, sizeof(z));
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = (Bytef*)packed.data();
    z.avail_in = (uInt)packed.size();
    z.next_out = room;
    z.avail_out = sizeof(room);
    int rc = inflate(&z, Z_FINISH);
    bool whole = rc == Z_STREAM_END && z.total_out == (uLong)SERVER_RECORD_SIZE && z.avail_in == 0;
    inflateEnd(&z);
    if (!whole) return false;
    memcpy(&out, room, SERVER_RECORD_SIZE);
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
    std::string out(compressBound(SERVER_RECORD_SIZE), '\0');
    uLongf len = (uLongf)out.size();
    if (compress((Bytef*)&out[0], &len, (const Bytef*)&lev, SERVER_RECORD_SIZE) != Z_OK) {
        fprintf(stderr, "server_record_pack(): zlib fail\n");
        return std::string();
    }
    out.resize(len);
    return out;
}
