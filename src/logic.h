// The rules of the game: direction codes, set-up, movement and path finding,
// guards, bombs, the simulation tick with its rewind ring, and map storage.
// The rules change only the Game record; they reach sound, screens and the
// online service through Game::play_sound, Game::next and Game::track.
//
// Sections by file: logic.cpp (directions), logic_setup.cpp (set-up, flags,
// entity slots), logic_path.cpp (A*, paths, stepping), logic_guard.cpp
// (sight, alarm, lights), logic_bomb.cpp (bombs, blasts, fire),
// logic_tick.cpp (tick, player, focus, rewind, random numbers),
// logic_store.cpp (records), logic_score.cpp (points of a win),
// logic_preview.cpp (what a click would do),
// logic_replay.cpp (replays of a play).
#pragma once

#include <string>
#include <vector>

#include "game.h"

// ---- directions (logic.cpp)
// Grid step (dx, dy) of each direction code 0..9 (keypad digits; 0 and 5 = none).
extern const int logic_arrow_decode[10][2];
int logic_dxdy_to_arrow(int dx, int dy);
// Sprite direction of a world direction as seen through the play copy's camera.
int logic_arrow(Game& game, int arrow, int flip);

// ---- set-up, flags and entity slots (logic_setup.cpp)
void logic_new(Game& game);
void logic_init(Game& game, int live);
void logic_info(Game& game);
void logic_goal_build(Game& game, Entity& e);
Entity* logic_next_entity(Game& game);
Entity* logic_find(Game& game, int type);
Entity* logic_find_at(Game& game, int x, int y);

// ---- path finding and stepping (logic_path.cpp)
struct Point {
    Game* game = nullptr;  // for the flag grid
    int x = 0, y = 0;

    Point() = default;
    Point(Game* g, int x_, int y_) : game(g), x(x_), y(y_) {}
    bool operator==(const Point& o) const { return x == o.x && y == o.y; }
    bool operator!=(const Point& o) const { return !(*this == o); }
    // Row first, then column.
    bool operator<(const Point& o) const { return key() < o.key(); }
    int key() const { return y * 65536 + x; }

    bool valid() const;
    float cost(const Point& q) const;
    float estimate(const Point& goal) const;
    void successors(std::vector<Point>& out) const;
};

struct Node {
    Point parent, p;
    float g = 0, h = 0, f = 0;
    // Lowest f first; equal f by the order of p.
    bool operator<(const Node& o) const {
        if (f != o.f) return f < o.f;
        return p < o.p;
    }
};

std::vector<Point> astar(Point start, Point goal);
void logic_path(Game& game, int slot, int x, int y, bool reset);
void logic_path_follow(Game& game, Entity& e);
void logic_actor_move(Game& game, Entity& e, int div);
void logic_click(Game& game, int x, int y);
void logic_player_walk(Game& game, int sx, int sy);
// The same walk with the direction already turned into the map's (dx, dy).
void logic_player_walk_map(Game& game, int dx, int dy);
void logic_path_light(Game& game, Entity& e, int x, int y);
// The cells logic_click(game, x, y) would send the player through (the cell
// it heads for first, (x, y) last), at most max of them; 0 when the click
// would give it no new path. Changes nothing (logic_preview.cpp).
int logic_click_preview(Game& game, int x, int y, int (*out)[2], int max);

// ---- guards, alarm and lights (logic_guard.cpp)
int logic_cansee(Game& game, Entity& guard, int x, int y);
int logic_line_of_sight(Game& game, int x0, int y0, int x1, int y1);
int logic_danger(Game& game, int x, int y);
void logic_face(Game& game, Entity& e, Entity& target);
int logic_actor_check(Game& game, Entity& e);
void logic_guard_tick(Game& game, Entity& g);
void logic_guard(Game& game, Entity& g);
void logic_alarm(Game& game, Entity& source);
void logic_light(Game& game, Entity& e);

// ---- bombs, blasts and fire (logic_bomb.cpp)
void logic_bomb(Game& game, int kind);
void logic_bomb2(Game& game, Entity& e);
void logic_bomb3(Game& game, Entity& e);
void logic_blast(Game& game, Entity& e);
void logic_blast2(Game& game, Entity& e);
void logic_fire(Game& game, Entity& e);

// ---- tick, player, focus and rewind (logic_tick.cpp)
void logic_loop(Game& game);
void logic_player(Game& game, Entity& p);
void logic_focus(Game& game);
void logic_rewind_capture(Game& game);
void logic_rewind_reset(Game& game);
// The rules' random numbers, 0..LOGIC_RANDOM_MAX, drawn from Game::rng so
// that a play replays the same from the seed its replay carries.
enum { LOGIC_RANDOM_MAX = 0x7FFF };
int logic_random(Game& game);

// ---- map records (logic_store.cpp)
enum { LOGIC_DATA_MAX = 65536 };
void logic_save(Game& game, MyDB& db);
bool logic_load(Game& game, MyDB& db, const char* lid);
const char* logic_pack(Game& game, int* len);
// The one map encoding that the game, its tools and the service share: a
// record as one zlib stream at zlib's default level. Packs into out (room
// bytes) and returns the length, 0 on failure.
size_t logic_record_pack(const LevelData& lev, unsigned char* out, size_t room);
// Inflates one stream into the front of out; false, out untouched, when the
// bytes are corrupt or inflate to more than one record. *inflated: the bytes
// it gave; *rest: the bytes after the stream's end.
bool logic_record_unpack(const std::string& packed, LevelData& out, size_t* inflated, size_t* rest);
// The columns of a `levels` row, in the order the table grew; a table has
// fewer than `since` columns until the column is added.
struct LogicLevelsColumn {
    const char* name;
    const char* type;
    int since;
};
enum { LOGIC_LEVELS_COLUMNS = 12, LOGIC_LEVELS_FIRST = 6 };  // all of them; those the table was made with
extern const LogicLevelsColumn logic_levels_columns[LOGIC_LEVELS_COLUMNS];
// "create table levels (...)" with the first `count` columns.
std::string logic_levels_create(int count = LOGIC_LEVELS_COLUMNS);
// "insert into levels (<every column>) values (?,...)", in the table's order.
std::string logic_levels_insert();

// ---- points of a win (logic_score.cpp)
enum {
    LOGIC_POINTS_BASE = 500,        // every win starts from these
    LOGIC_POINTS_FULL = 1000,       // the most that time, cartridges or bombs give
    LOGIC_POINTS_TIME_LIMIT = 600,  // seconds after which time gives nothing
    LOGIC_POINTS_BOMBS_LIMIT = 5    // bombs left that count
};
// Points for the ticks a play took, the cartridges collected of those the
// map holds, and the bombs left; each in 0..LOGIC_POINTS_FULL, whatever the
// record claims.
int logic_points_time(int timer);
int logic_points_bonus(int c_bonus, int t_bonus);
int logic_points_extra(int t_extra);
// The whole score of a won play copy.
int logic_points(const LevelData& lev);

// ---- replays of a play (logic_replay.cpp)
// A play recorded tick by tick: what the player did (path targets, step keys
// as map directions, bomb keys), the view that the win's fireworks spread
// over, the seed of the rules' random numbers and a digest of the map it
// started from. Played back through the rules it is the same play again.
// The binary format and the checks are described in docs/online.md.
enum {
    LOGIC_REPLAY_VERSION = 1,
    LOGIC_REPLAY_BYTES_MAX = 65536,          // an encoded replay
    LOGIC_REPLAY_TICKS_MAX = 30 * 60 * TICKS_PER_SECOND,  // half an hour of play
    LOGIC_REPLAY_TICK_INPUT_MAX = 16,        // events before one tick
    LOGIC_REPLAY_PATHS_MAX = 8192,           // clicks and step keys of one play
    LOGIC_REPLAY_DIGEST_SIZE = 16,           // MD5 of the map's content
    LOGIC_REPLAY_POLL_TICKS = 8              // ticks between two questions to a LogicReplayGoOn
};

// What an event does, just before the tick it belongs to.
enum {
    LOGIC_REPLAY_CLICK = 0,   // logic_click on cell (a, b)
    LOGIC_REPLAY_WALK = 1,    // logic_player_walk_map in direction code a
    LOGIC_REPLAY_BOMB1 = 2,   // logic_bomb of kind D_BOMB1; BOMB1 + 1 .. + 3 the others
    LOGIC_REPLAY_VIEW = 6,    // view_cx, view_cy, view_cd become `view`
    LOGIC_REPLAY_KINDS = 7
};

struct LogicReplayEvent {
    int tick = 0;   // ticks of play run before it
    int kind = 0;
    int a = 0, b = 0;
    float view[3] = {0, 0, 0};
};

struct LogicReplay {
    unsigned seed = 0;                   // Game::rng when the play was set up
    unsigned char digest[LOGIC_REPLAY_DIGEST_SIZE] = {};
    float view[3] = {0, 0, 0};           // view_cx, view_cy, view_cd at set-up
    int ticks = 0;                       // ticks of play, the win's included
    std::vector<LogicReplayEvent> events;  // in order
    // While recording: false before the set-up and once the play outgrew a bound.
    bool recording = false;
    bool view_sent = false;              // a VIEW event has been recorded ...
    float view_last[3] = {0, 0, 0};      // ... with this view
    int bytes = 0;                       // encoded size so far
    int paths = 0;
};

// Why a replay is refused; LOGIC_REPLAY_WON when it is not.
enum {
    LOGIC_REPLAY_WON = 0,        // won on its last tick, every cartridge, no rewind
    LOGIC_REPLAY_UNREADABLE,     // not a replay of this version, or out of bounds
    LOGIC_REPLAY_OTHER_MAP,      // made on a map whose content differs
    LOGIC_REPLAY_NOT_WON,        // no win, a death, or an end before its last tick
    LOGIC_REPLAY_NOT_CLEAN,      // won with a cartridge left or a rewind counted
    LOGIC_REPLAY_TOO_LONG        // stopped by its caller before its end
};

// Asked now and then while a replay plays; false stops it. The rules read no
// clock, a caller that bounds the time a check may take does.
typedef bool (*LogicReplayGoOn)(void* context);

// Digest of what the rules take from a map as designed, after logic_sanitize:
// the grid, the inventory (the starting bombs), emp and t_rewind. Texts,
// ratings, camera, reserved bytes and the live state that set-up rebuilds
// are left out.
void logic_replay_digest(const LevelData& lev, unsigned char out[LOGIC_REPLAY_DIGEST_SIZE]);

// Recording, into *game.replay when it is set (all do nothing otherwise).
// begin: the play screen, just before it sets the play copy up.
void logic_replay_begin(Game& game);
// The rules' input calls note themselves; only input on the play screen counts.
void logic_replay_input(Game& game, int kind, int a, int b);
// Before each tick of play, after logic_info.
void logic_replay_tick(Game& game);
// The encoding of the recording, when it holds the whole play since set-up.
bool logic_replay_finish(const Game& game, std::string& bytes);

// The play screen's set-up of the play copy and its tick, recorder included:
// the screen, the replay checker and the map tools share them, so that a
// replay plays exactly as its play did.
void logic_play_start(Game& game);
void logic_play_tick(Game& game);

std::string logic_replay_encode(const LogicReplay& r);
// false, with a line on standard error, for anything but a well-formed
// replay within the bounds above.
bool logic_replay_decode(const std::string& bytes, LogicReplay& out);

// Where a replay played a tick at a time stands: the ticks run, the next
// event, and the view the rules see (the replay's, whatever the screen shows).
struct LogicReplayCursor {
    int tick = 0;
    size_t next = 0;
    float view[3] = {0, 0, 0};
};
// Copies `start` into the play copy and sets it up as the replay's play was.
void logic_replay_setup(Game& game, const LevelData& start, const LogicReplay& r, LogicReplayCursor& at);
// One tick: the events due before it, then the tick of play. The caller
// stops at r.ticks or when the rules leave play (game.state).
void logic_replay_step(Game& game, const LogicReplay& r, LogicReplayCursor& at);
// Decodes a replay and makes `start` the map as received (made safe as a
// downloaded map is): LOGIC_REPLAY_WON when the replay is of that map, else
// LOGIC_REPLAY_UNREADABLE or LOGIC_REPLAY_OTHER_MAP.
int logic_replay_open(const LevelData& map, const std::string& bytes, LogicReplay& r, LevelData& start);

// Plays r on the map `start` as the play screen would, with the catalogue in
// game.tiles and a headless host; returns the ticks run. game.level holds
// the final play copy and game.state where the play ended.
int logic_replay_play(Game& game, const LevelData& start, const LogicReplay& r, LogicReplayGoOn go_on = nullptr,
                      void* context = nullptr);
// Decodes and plays a replay on a map as received (made safe as a downloaded
// map is), and tells whether it wins that map cleanly.
int logic_replay_check(Game& game, const LevelData& map, const std::string& bytes, LogicReplayGoOn go_on = nullptr,
                       void* context = nullptr);

// ---- untrusted records (logic_sanitize.cpp)
// Makes a record read from a file or the network safe for the rules: every
// text field terminated inside its width, every count and index in range.
void logic_sanitize(LevelData& lev);

// How far a guard sees, in cells: into ordinary cells, and into lit ones.
// The view's watched-cell marks and the map tool's figures use them too.
enum { LOGIC_SIGHT_RANGE = 10, LOGIC_SIGHT_RANGE_LIT = 20 };

// Ceiling of every tick counter the rules keep (about 400 days of play); a
// screen that adds to one (the rewind's penalty) stays under it too.
enum { LOGIC_COUNTER_MAX = 1 << 30 };
