// rewind.dat: the rewind ring and the cause of death of the play in progress,
// kept beside state.dat (whose layout cannot grow) so that a resumed pause
// screen rewinds and names the cause as before the restart.
#include <cstring>

#include "game.h"
#include "logic.h"
#include "md5.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "rewind.dat is little-endian");

// Offsets of the file layout.
enum {
    RF_VERSION = 0, RF_CAUSE = 4, RF_COUNT = 8, RF_SLOTS = 12, RF_PLAY = 16, RF_RING = 32,
    RF_VERSION_NOW = 1,
};
static_assert(RF_PLAY + MD5_DIGEST_SIZE == RF_RING, "rewind.dat layout");
static_assert(RF_RING + REWIND_MAX * sizeof(LevelData) == GAME_REWIND_FILE_SIZE, "rewind.dat layout");

template <typename T>
static void _put(unsigned char* out, int offset, const T& v) { memcpy(out + offset, &v, sizeof(T)); }

template <typename T>
static void _get(const unsigned char* in, int offset, T& v) { memcpy(&v, in + offset, sizeof(T)); }

// Ties the file to one play copy: a state.dat of another map, or of the same
// map at another moment, does not take the ring.
static void _game_rewind_digest(const LevelData& play, unsigned char out[MD5_DIGEST_SIZE]) {
    md5_bytes(&play, sizeof(play), out);
}

void game_rewind_pack(const Game& g, unsigned char* out) {
    memset(out, 0, GAME_REWIND_FILE_SIZE);
    _put(out, RF_VERSION, (int)RF_VERSION_NOW);
    _put(out, RF_CAUSE, g.death_cause);
    _put(out, RF_COUNT, g._rewind_n);
    _put(out, RF_SLOTS, (int)REWIND_MAX);
    _game_rewind_digest(g.level, out + RF_PLAY);
    if (g._rewind) memcpy(out + RF_RING, g._rewind, REWIND_MAX * sizeof(LevelData));
}

bool game_rewind_worth_keeping(const Game& g) {
    if (g.death_cause != DEATH_NONE) return true;
    for (int i = 0; g._rewind && i < REWIND_MAX; i++)
        if (g._rewind[i].frame > 0) return true;
    return false;
}

bool game_rewind_unpack(Game& g, const unsigned char* in, size_t len) {
    if (!g._rewind || len != GAME_REWIND_FILE_SIZE) return false;
    int version = 0, cause = 0, count = 0, slots = 0;
    _get(in, RF_VERSION, version);
    _get(in, RF_CAUSE, cause);
    _get(in, RF_COUNT, count);
    _get(in, RF_SLOTS, slots);
    if (version != RF_VERSION_NOW || slots != REWIND_MAX || count < 0 || cause < DEATH_NONE ||
        cause > DEATH_SOLID)
        return false;
    unsigned char digest[MD5_DIGEST_SIZE];
    _game_rewind_digest(g.level, digest);
    if (memcmp(digest, in + RF_PLAY, MD5_DIGEST_SIZE) != 0) return false;
    memcpy(g._rewind, in + RF_RING, REWIND_MAX * sizeof(LevelData));
    // The snapshots come back over the play copy: as safe as state.dat's.
    for (int i = 0; i < REWIND_MAX; i++) logic_sanitize(g._rewind[i]);
    g._rewind_n = count;
    g.death_cause = cause;
    return true;
}
