// Replays of a play: recording the player's input tick by tick, the compact
// binary form a replay travels in, and playing one back through the rules to
// tell whether it wins its map cleanly.
//
// Sections: the map's digest, recording, encoding, decoding, playing back.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "logic.h"
#include "logic_internal.h"
#include "md5.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "replays and digests are little-endian");
static_assert((int)LOGIC_REPLAY_DIGEST_SIZE == (int)MD5_DIGEST_SIZE, "the digest is an MD5");

static const char MAGIC[] = "VQRP";

enum {
    MAGIC_SIZE = 4,
    VIEW_FIELDS = 3,
    // Magic, version, seed, digest and view; the tick count follows as a varint.
    HEADER_FIXED = MAGIC_SIZE + 1 + 4 + LOGIC_REPLAY_DIGEST_SIZE + VIEW_FIELDS * 4,
    VARINT_BYTES_MAX = 3,           // LOGIC_REPLAY_TICKS_MAX fits in 21 bits
    KIND_BITS = 3,
    KIND_MASK = (1 << KIND_BITS) - 1,
    GAP_INLINE_MAX = 30,            // gaps up to this ride in the event's first byte
    GAP_ESCAPE = 31,                // ... this one says a varint of gap - 31 follows
    VARINT_MORE = 0x80,
    VARINT_DIGIT = 0x7F,
    VARINT_SHIFT = 7
};
static_assert(LOGIC_REPLAY_TICKS_MAX < (1 << (VARINT_SHIFT * VARINT_BYTES_MAX)), "tick counts fit the varint");
static_assert(LOGIC_REPLAY_KINDS <= KIND_MASK + 1, "event kinds fit their bits");
static_assert(GAP_ESCAPE << KIND_BITS < 256, "the gap and kind fit one byte");

// ---------------------------------------------------------------- the map's digest

void logic_replay_digest(const LevelData& lev, unsigned char out[LOGIC_REPLAY_DIGEST_SIZE]) {
    // Made safe exactly as the service and a downloader make it, so that the
    // game's own record and the one received give the same digest.
    std::unique_ptr<LevelData> m(new LevelData(lev));
    m->is_init = 0;
    logic_sanitize(*m);
    Md5Context c;
    md5_init(&c);
    md5_update(&c, m->data, sizeof(m->data));
    md5_update(&c, m->inventory, sizeof(m->inventory));
    md5_update(&c, &m->emp, sizeof(m->emp));
    md5_update(&c, &m->t_rewind, sizeof(m->t_rewind));
    md5_final(&c, out);
}

// ---------------------------------------------------------------- recording

static int _varint_size(unsigned v) {
    int n = 1;
    while (v > VARINT_DIGIT) {
        v >>= VARINT_SHIFT;
        n++;
    }
    return n;
}

static int _payload_size(int kind) {
    switch (kind) {
    case LOGIC_REPLAY_CLICK: return 2;
    case LOGIC_REPLAY_WALK: return 1;
    case LOGIC_REPLAY_VIEW: return VIEW_FIELDS * 4;
    default: return 0;
    }
}

static int _event_size(int gap, int kind) {
    int n = 1 + _payload_size(kind);
    if (gap >= GAP_ESCAPE) n += _varint_size((unsigned)(gap - GAP_ESCAPE));
    return n;
}

static bool _is_path(int kind) { return kind == LOGIC_REPLAY_CLICK || kind == LOGIC_REPLAY_WALK; }

// Events already recorded before the tick `tick`.
static int _events_at(const LogicReplay& r, int tick) {
    int n = 0;
    for (size_t i = r.events.size(); i > 0 && r.events[i - 1].tick == tick; i--) n++;
    return n;
}

static void _record_stop(LogicReplay& r, const char* why) {
    r.recording = false;
    fprintf(stderr, "replay: %s; this play cannot be shared\n", why);
}

static void _record(LogicReplay& r, const LogicReplayEvent& e) {
    int last = r.events.empty() ? 0 : r.events.back().tick;
    int size = _event_size(e.tick - last, e.kind);
    if (r.bytes + size > LOGIC_REPLAY_BYTES_MAX) return _record_stop(r, "its input outgrew a replay's size");
    if (_events_at(r, e.tick) >= LOGIC_REPLAY_TICK_INPUT_MAX)
        return _record_stop(r, "too much input came in one tick");
    if (_is_path(e.kind) && r.paths >= LOGIC_REPLAY_PATHS_MAX)
        return _record_stop(r, "it sent the player on too many ways");
    r.bytes += size;
    r.paths += _is_path(e.kind);
    r.events.push_back(e);
}

void logic_replay_begin(Game& game) {
    if (!game.replay) return;
    LogicReplay& r = *game.replay;
    r = LogicReplay();
    const LevelData& lev = game.level;
    r.seed = game.rng;
    logic_replay_digest(lev, r.digest);
    r.view[0] = lev.view_cx;
    r.view[1] = lev.view_cy;
    r.view[2] = lev.view_cd;
    r.bytes = HEADER_FIXED + VARINT_BYTES_MAX;
    r.recording = true;
}

void logic_replay_input(Game& game, int kind, int a, int b) {
    if (!game.replay || !game.replay->recording || game.state != STATE_LEVEL) return;
    LogicReplayEvent e;
    e.tick = game.replay->ticks;
    e.kind = kind;
    e.a = a;
    e.b = b;
    _record(*game.replay, e);
}

void logic_replay_tick(Game& game) {
    if (!game.replay || !game.replay->recording) return;
    LogicReplay& r = *game.replay;
    const LevelData& lev = game.level;
    // The view matters to the rules only for the win's fireworks, which need
    // every pillar gone: from then on it is kept whenever it moves.
    const float view[VIEW_FIELDS] = {lev.view_cx, lev.view_cy, lev.view_cd};
    if (lev.c_pillars == 0 && (!r.view_sent || memcmp(view, r.view_last, sizeof(view)) != 0)) {
        LogicReplayEvent e;
        e.tick = r.ticks;
        e.kind = LOGIC_REPLAY_VIEW;
        memcpy(e.view, view, sizeof(view));
        _record(r, e);
        r.view_sent = true;
        memcpy(r.view_last, view, sizeof(view));
    }
    if (!r.recording) return;
    if (r.ticks >= LOGIC_REPLAY_TICKS_MAX) return _record_stop(r, "it lasted longer than a replay may");
    r.ticks++;
}

bool logic_replay_finish(const Game& game, std::string& bytes) {
    if (!game.replay || !game.replay->recording || game.replay->ticks < 1) return false;
    bytes = logic_replay_encode(*game.replay);
    return true;
}

void logic_play_start(Game& game) {
    logic_replay_begin(game);
    logic_init(game, 1);
    logic_rewind_reset(game);
    game.level.is_init = 1;
}

void logic_play_tick(Game& game) {
    logic_info(game);
    logic_replay_tick(game);
    logic_loop(game);
}

// ---------------------------------------------------------------- encoding

static void _put_u32(std::string& out, unsigned v) {
    for (int i = 0; i < 4; i++) out += (char)((v >> (8 * i)) & 0xFF);
}

static void _put_float(std::string& out, float f) {
    unsigned v;
    memcpy(&v, &f, sizeof(v));
    _put_u32(out, v);
}

static void _put_varint(std::string& out, unsigned v) {
    while (v > VARINT_DIGIT) {
        out += (char)((v & VARINT_DIGIT) | VARINT_MORE);
        v >>= VARINT_SHIFT;
    }
    out += (char)v;
}

std::string logic_replay_encode(const LogicReplay& r) {
    std::string out(MAGIC, MAGIC_SIZE);
    out += (char)LOGIC_REPLAY_VERSION;
    _put_u32(out, r.seed);
    out.append((const char*)r.digest, LOGIC_REPLAY_DIGEST_SIZE);
    for (float f : r.view) _put_float(out, f);
    _put_varint(out, (unsigned)r.ticks);
    int last = 0;
    for (const LogicReplayEvent& e : r.events) {
        int gap = e.tick - last;
        last = e.tick;
        out += (char)((gap >= GAP_ESCAPE ? GAP_ESCAPE : gap) << KIND_BITS | e.kind);
        if (gap >= GAP_ESCAPE) _put_varint(out, (unsigned)(gap - GAP_ESCAPE));
        if (e.kind == LOGIC_REPLAY_CLICK) {
            out += (char)e.a;
            out += (char)e.b;
        } else if (e.kind == LOGIC_REPLAY_WALK) {
            out += (char)e.a;
        } else if (e.kind == LOGIC_REPLAY_VIEW) {
            for (float f : e.view) _put_float(out, f);
        }
    }
    return out;
}

// ---------------------------------------------------------------- decoding

namespace {
// Reads the bytes front to back; every read fails once they run out.
struct Reader {
    const unsigned char* p;
    size_t left;

    bool byte(int* v) {
        if (!left) return false;
        *v = *p++;
        left--;
        return true;
    }
    bool u32(unsigned* v) {
        if (left < 4) return false;
        *v = (unsigned)p[0] | (unsigned)p[1] << 8 | (unsigned)p[2] << 16 | (unsigned)p[3] << 24;
        p += 4;
        left -= 4;
        return true;
    }
    bool real(float* f) {
        unsigned v;
        if (!u32(&v)) return false;
        memcpy(f, &v, sizeof(*f));
        return std::isfinite(*f);
    }
    // Shortest form only, and never above `max`.
    bool varint(int max, int* v) {
        unsigned value = 0;
        for (int i = 0; i < VARINT_BYTES_MAX; i++) {
            int b;
            if (!byte(&b)) return false;
            value |= (unsigned)(b & VARINT_DIGIT) << (VARINT_SHIFT * i);
            if (!(b & VARINT_MORE)) {
                if (i > 0 && b == 0) return false;
                if (value > (unsigned)max) return false;
                *v = (int)value;
                return true;
            }
        }
        return false;
    }
};

bool _refuse(const char* why) {
    fprintf(stderr, "replay refused: %s\n", why);
    return false;
}

// The payload of an event of a known kind.
bool _read_payload(Reader& in, LogicReplayEvent& e) {
    switch (e.kind) {
    case LOGIC_REPLAY_CLICK:
        if (!in.byte(&e.a) || !in.byte(&e.b)) return _refuse("a click is cut short");
        if (e.a >= MAP_SIZE || e.b >= MAP_SIZE) return _refuse("a click outside the map");
        return true;
    case LOGIC_REPLAY_WALK:
        if (!in.byte(&e.a)) return _refuse("a step is cut short");
        if (e.a < 1 || e.a > 9) return _refuse("a step in no direction");
        return true;
    case LOGIC_REPLAY_VIEW:
        for (float& f : e.view)
            if (!in.real(&f)) return _refuse("a view is cut short or not a number");
        return true;
    default:
        return true;
    }
}
}  // namespace

bool logic_replay_decode(const std::string& bytes, LogicReplay& out) {
    out = LogicReplay();
    if (bytes.size() > LOGIC_REPLAY_BYTES_MAX) return _refuse("larger than a replay may be");
    if (bytes.size() < HEADER_FIXED || memcmp(bytes.data(), MAGIC, MAGIC_SIZE) != 0) return _refuse("not a replay");
    Reader in = {(const unsigned char*)bytes.data() + MAGIC_SIZE, bytes.size() - MAGIC_SIZE};
    int version = 0;
    in.byte(&version);
    if (version != LOGIC_REPLAY_VERSION) return _refuse("a version this program does not know");
    in.u32(&out.seed);
    memcpy(out.digest, in.p, LOGIC_REPLAY_DIGEST_SIZE);
    in.p += LOGIC_REPLAY_DIGEST_SIZE;
    in.left -= LOGIC_REPLAY_DIGEST_SIZE;
    for (float& f : out.view)
        if (!in.real(&f)) return _refuse("its view is not a number");
    if (!in.varint(LOGIC_REPLAY_TICKS_MAX, &out.ticks) || out.ticks < 1)
        return _refuse("its length is cut short or out of bounds");
    int tick = 0, at_tick = 0, paths = 0;
    while (in.left) {
        int head = 0, gap = 0;
        in.byte(&head);
        LogicReplayEvent e;
        e.kind = head & KIND_MASK;
        gap = head >> KIND_BITS;
        if (e.kind >= LOGIC_REPLAY_KINDS) return _refuse("an event of no known kind");
        int more = 0;
        if (gap == GAP_ESCAPE && !in.varint(LOGIC_REPLAY_TICKS_MAX, &more)) return _refuse("a gap cut short or too long");
        gap += more;
        if (gap > out.ticks - 1 - tick) return _refuse("an event after its last tick");
        at_tick = gap ? 1 : at_tick + 1;
        tick += gap;
        if (at_tick > LOGIC_REPLAY_TICK_INPUT_MAX) return _refuse("too many events before one tick");
        if (_is_path(e.kind) && ++paths > LOGIC_REPLAY_PATHS_MAX) return _refuse("too many clicks and steps");
        e.tick = tick;
        if (!_read_payload(in, e)) return false;
        out.events.push_back(e);
    }
    return true;
}

// ---------------------------------------------------------------- playing back

static void _apply(Game& game, const LogicReplayEvent& e) {
    LevelData& lev = game.level;
    switch (e.kind) {
    case LOGIC_REPLAY_CLICK: logic_click(game, e.a, e.b); break;
    case LOGIC_REPLAY_WALK: {
        int dx, dy;
        _logic_arrow_step(e.a, &dx, &dy);
        logic_player_walk_map(game, dx, dy);
        break;
    }
    case LOGIC_REPLAY_VIEW:
        lev.view_cx = e.view[0];
        lev.view_cy = e.view[1];
        lev.view_cd = e.view[2];
        break;
    default: logic_bomb(game, D_BOMB1 + e.kind - LOGIC_REPLAY_BOMB1); break;
    }
}

void logic_replay_setup(Game& game, const LevelData& start, const LogicReplay& r, LogicReplayCursor& at) {
    at = LogicReplayCursor();
    memcpy(at.view, r.view, sizeof(at.view));
    game.rng = r.seed;
    LevelData& lev = game.level;
    lev = start;
    lev.view_cx = r.view[0];
    lev.view_cy = r.view[1];
    lev.view_cd = r.view[2];
    logic_play_start(game);
}

void logic_replay_step(Game& game, const LogicReplay& r, LogicReplayCursor& at) {
    LevelData& lev = game.level;
    // A screen that draws the play moves the view between ticks; the rules
    // must see the one the play had.
    lev.view_cx = at.view[0];
    lev.view_cy = at.view[1];
    lev.view_cd = at.view[2];
    for (; at.next < r.events.size() && r.events[at.next].tick == at.tick; at.next++) {
        const LogicReplayEvent& e = r.events[at.next];
        _apply(game, e);
        if (e.kind == LOGIC_REPLAY_VIEW) memcpy(at.view, e.view, sizeof(at.view));
    }
    logic_play_tick(game);
    at.tick++;
}

int logic_replay_play(Game& game, const LevelData& start, const LogicReplay& r, LogicReplayGoOn go_on,
                      void* context) {
    GameHostHeadless headless;
    GameHost* host = game.host;
    LogicReplay* recording = game.replay;
    game.host = &headless;
    game.replay = nullptr;
    game.state = STATE_LEVEL;
    LogicReplayCursor at;
    logic_replay_setup(game, start, r, at);
    while (at.tick < r.ticks && game.state == STATE_LEVEL) {
        if (go_on && at.tick % LOGIC_REPLAY_POLL_TICKS == 0 && !go_on(context)) break;
        logic_replay_step(game, r, at);
    }
    game.host = host;
    game.replay = recording;
    return at.tick;
}

int logic_replay_open(const LevelData& map, const std::string& bytes, LogicReplay& r, LevelData& start) {
    if (!logic_replay_decode(bytes, r)) return LOGIC_REPLAY_UNREADABLE;
    start = map;
    start.is_init = 0;
    logic_sanitize(start);
    unsigned char digest[LOGIC_REPLAY_DIGEST_SIZE];
    logic_replay_digest(start, digest);
    if (memcmp(digest, r.digest, sizeof(digest)) != 0) return LOGIC_REPLAY_OTHER_MAP;
    return LOGIC_REPLAY_WON;
}

int logic_replay_check(Game& game, const LevelData& map, const std::string& bytes, LogicReplayGoOn go_on,
                       void* context) {
    LogicReplay r;
    std::unique_ptr<LevelData> start(new LevelData());
    int opened = logic_replay_open(map, bytes, r, *start);
    if (opened != LOGIC_REPLAY_WON) return opened;
    int ran = logic_replay_play(game, *start, r, go_on, context);
    if (ran < r.ticks && game.state == STATE_LEVEL) return LOGIC_REPLAY_TOO_LONG;
    if (ran != r.ticks || game.state != STATE_LEVEL_WIN) return LOGIC_REPLAY_NOT_WON;
    const LevelData& end = game.level;
    if (end.t_rewind != 0 || end.c_bonus != end.t_bonus) return LOGIC_REPLAY_NOT_CLEAN;
    return LOGIC_REPLAY_WON;
}
