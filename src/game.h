// The central Game object, the map record with its live play state, and the
// codes that name tiles, entities, entity states and screens.
//
// Sections: sizes and codes, the map records, the settings record, Game.
#pragma once

#include <cstddef>
#include <string>

#include "event.h"
#include "mydb.h"

// ---------------------------------------------------------------- sizes and codes

enum {
    MAP_SIZE = 128,       // cells per side of the grid
    MAP_MIN = 4,          // first playable row and column
    MAP_MAX = 123,        // last playable row and column
    MAP_BORDER = 4,       // width of the border no actor enters
    ENTITY_MAX = 64,      // entity slots of a map
    PATH_CELLS_MAX = 128, // cells of a stored path (PATH_MAX is the C library's)
    GOAL_MAX = 32,        // cells of a patrol route
    INVENTORY_MAX = 32,   // counters indexed by D_ code
    TILE_MAX = 256,       // entries of the tile catalogue
    UNDO_MAX = 128,       // records of the editor's undo ring
    REWIND_MAX = 50,      // snapshots of the rewind ring
    REWIND_EVERY = 6,     // ticks between two snapshots
    TICKS_PER_SECOND = 30,
    STATE_TABLE_MAX = 32, // slots of the screen table
    KEYS_MAX = 256        // entries of the held-key table
};

// Kinds of tile, kinds of entity, entity states and inventory slots.
enum {
    D_NONE = 0, D_FLOOR = 1, D_DARK = 2, D_FULL = 3, D_ARCH = 4, D_WALL = 5,
    D_WINDOW = 6, D_PILLAR = 7, D_CRATE = 8, D_PIT = 9, D_GUARD = 10,
    D_PLAYER = 11, D_ARROW = 12, D_LIGHT = 13, D_ITEM = 14, D_SPRITE = 15,
    D_DECAL = 16, D_BLAST = 17, D_FIRE = 18, D_BOMB1 = 19, D_BOMB2 = 20,
    D_BOMB3 = 21, D_BOMB4 = 22, D_BONUS = 23, D_DEAD = 24, D_RUN = 25,
    D_WALK = 26, D_SHOOT = 27, D_STOP = 28, D_WIN = 29, D_BLAST2 = 30
};

// Screens, indexing the screen table.
enum {
    STATE_NONE = 0, STATE_MENU_MAIN = 1, STATE_EDIT = 2, STATE_LEVEL = 3,
    STATE_PAUSE = 4, STATE_REWIND = 5, STATE_EDIT_INFO = 6, STATE_EDIT_MENU = 7,
    STATE_MENU_EDIT = 8, STATE_MENU_PLAY = 9, STATE_LEVEL_INTRO = 10,
    STATE_MENU_SETTINGS = 11, STATE_MENU_DOWNLOAD1 = 12, STATE_LEVEL_WIN = 13,
    STATE_MENU_DOWNLOAD2 = 14, STATE_EDIT_SHARE = 15, STATE_MENU_ERROR = 16,
    STATE_MENU_CREDITS = 17, STATE_MENU_HELP = 18, STATE_WATCH = 19,
    STATE_LAST = STATE_WATCH  // the highest code with a screen
};

// Per-cell flags of ExtData::info.
enum {
    INFO_SOLID = 1, INFO_OPAQUE = 2, INFO_SHADOW = 4, INFO_LIT = 8,
    INFO_DARK = 32, INFO_PIT_EDGE = 64
};

// Tile numbers with fixed roles in the rules.
enum {
    TILE_EMPTY = 0, TILE_FLOOR = 1, TILE_DARK = 2, TILE_HOLE = 3,
    TILE_START = 4,   // placed on the centre cell of a new map
    TILE_BORDER = 32  // fills the border of a new map
};

// ---------------------------------------------------------------- map records

// One actor or object of a map. Positions are in cells; a standing actor is
// exactly on a cell. Every byte is part of the stored map format.
struct Entity {
    char active;                     // non-zero while the slot is in use
    char type;                       // D_ kind
    char _pad[2];
    int n;                           // own slot index
    int value;                       // lights: value of the tile they came from
    int frame;                       // own tick counter
    int timer;                       // time bomb: ticks left
    float x, y;                      // position, cells
    float dx, dy;                    // step per move, cells
    char tx, ty;                     // cell heading for
    char arrow;                      // facing, a direction code
    char state;                      // D_ state code
    char iname[32];                  // image to draw
    unsigned char path[PATH_CELLS_MAX][2]; // path cells, destination first
    int path_n;                      // steps still to take
    unsigned char goal[GOAL_MAX][2]; // patrol route cells
    int goal_n;                      // route length
    int goal_cur;                    // route cell being walked to
    int goal_loop;                   // route index to continue from; 0 = no repeat
    unsigned char path_rx, path_ry;  // cell to return to after an alarm; rx 0 = none
    unsigned char path_rf;           // facing to take again on return; 0 = none
    unsigned char p_moved;           // set once the actor has taken a real step
    char ext2[16];
};

static_assert(sizeof(Entity) == 428, "Entity layout");
static_assert(offsetof(Entity, n) == 4 && offsetof(Entity, value) == 8, "Entity layout");
static_assert(offsetof(Entity, frame) == 12 && offsetof(Entity, timer) == 16, "Entity layout");
static_assert(offsetof(Entity, x) == 20 && offsetof(Entity, dx) == 28, "Entity layout");
static_assert(offsetof(Entity, tx) == 36 && offsetof(Entity, arrow) == 38, "Entity layout");
static_assert(offsetof(Entity, state) == 39 && offsetof(Entity, iname) == 40, "Entity layout");
static_assert(offsetof(Entity, path) == 72 && offsetof(Entity, path_n) == 328, "Entity layout");
static_assert(offsetof(Entity, goal) == 332 && offsetof(Entity, goal_n) == 396, "Entity layout");
static_assert(offsetof(Entity, goal_cur) == 400 && offsetof(Entity, goal_loop) == 404, "Entity layout");
static_assert(offsetof(Entity, path_rx) == 408 && offsetof(Entity, path_rf) == 410, "Entity layout");
static_assert(offsetof(Entity, p_moved) == 411 && offsetof(Entity, ext2) == 412, "Entity layout");

// One map: descriptive fields, camera, grid and the live state of a play.
// This byte layout is also the stored and shared map format.
struct LevelData {
    int version;
    int inventory[INVENTORY_MAX];   // [19..22] bombs held, [23] bonus items collected
    char title[64];
    char intro[256];
    char theme[32];
    char music[32];
    char name[32];                  // the map's short identifier ("Map_ID")
    char author[32];
    char uid[32];
    float stars;                    // "Awesomeness" as stored with the record
    float skulls;                   // "Difficulty" as stored with the record
    int dirty;                      // editor copy: 1 until beaten cleanly
    char x_uname[20];
    char id[32];                    // database key
    float zoom;                     // camera distance offset
    float rotate;                   // camera angle, degrees
    float pan_x, pan_y;             // ground point looked at, cells
    unsigned char data[MAP_SIZE][MAP_SIZE];  // the grid, data[y][x]
    char ext1[1024];
    int eot;
    int is_init;                    // play copy set up by the play screen
    int frame;                      // ticks since set-up
    int timer;                      // ticks counted since the player first moved
    int emp;                        // ticks left of an EMP pulse
    int c_pillars;                  // pillars standing
    int t_pillars;                  // pillars at set-up
    float view_cx, view_cy;         // ground point at the screen's centre
    float view_cd;                  // distance the view covers, cells
    float hover_x, hover_y;         // ground point under the pointer
    float trotate;                  // camera angle eased toward
    float tzoom;                    // camera distance eased toward
    Entity items[ENTITY_MAX];
    int item_n;                     // where the next slot search starts
    int c_bonus;                    // bonus items collected
    int t_bonus;                    // bonus items at set-up
    int t_rewind;                   // rewinds used
    int t_extra;                    // bombs left
    float focus_x, focus_y;         // centre of the focused cell
    float down_x, down_y;
    char ext2[992];
};

static_assert(sizeof(LevelData) == 46576, "LevelData layout");
static_assert(offsetof(LevelData, inventory) == 4 && offsetof(LevelData, title) == 132, "LevelData layout");
static_assert(offsetof(LevelData, intro) == 196 && offsetof(LevelData, theme) == 452, "LevelData layout");
static_assert(offsetof(LevelData, music) == 484 && offsetof(LevelData, name) == 516, "LevelData layout");
static_assert(offsetof(LevelData, author) == 548 && offsetof(LevelData, uid) == 580, "LevelData layout");
static_assert(offsetof(LevelData, stars) == 612 && offsetof(LevelData, skulls) == 616, "LevelData layout");
static_assert(offsetof(LevelData, dirty) == 620 && offsetof(LevelData, x_uname) == 624, "LevelData layout");
static_assert(offsetof(LevelData, id) == 644 && offsetof(LevelData, zoom) == 676, "LevelData layout");
static_assert(offsetof(LevelData, rotate) == 680 && offsetof(LevelData, pan_x) == 684, "LevelData layout");
static_assert(offsetof(LevelData, pan_y) == 688 && offsetof(LevelData, data) == 692, "LevelData layout");
static_assert(offsetof(LevelData, ext1) == 17076 && offsetof(LevelData, eot) == 18100, "LevelData layout");
static_assert(offsetof(LevelData, is_init) == 18104 && offsetof(LevelData, frame) == 18108, "LevelData layout");
static_assert(offsetof(LevelData, timer) == 18112 && offsetof(LevelData, emp) == 18116, "LevelData layout");
static_assert(offsetof(LevelData, c_pillars) == 18120 && offsetof(LevelData, t_pillars) == 18124, "LevelData layout");
static_assert(offsetof(LevelData, view_cx) == 18128 && offsetof(LevelData, view_cd) == 18136, "LevelData layout");
static_assert(offsetof(LevelData, hover_x) == 18140 && offsetof(LevelData, hover_y) == 18144, "LevelData layout");
static_assert(offsetof(LevelData, trotate) == 18148 && offsetof(LevelData, tzoom) == 18152, "LevelData layout");
static_assert(offsetof(LevelData, items) == 18156 && offsetof(LevelData, item_n) == 45548, "LevelData layout");
static_assert(offsetof(LevelData, c_bonus) == 45552 && offsetof(LevelData, t_bonus) == 45556, "LevelData layout");
static_assert(offsetof(LevelData, t_rewind) == 45560 && offsetof(LevelData, t_extra) == 45564, "LevelData layout");
static_assert(offsetof(LevelData, focus_x) == 45568 && offsetof(LevelData, focus_y) == 45572, "LevelData layout");
static_assert(offsetof(LevelData, down_x) == 45576 && offsetof(LevelData, ext2) == 45584, "LevelData layout");

// One entry of the tile catalogue (tiles.json).
struct TileData {
    int n;
    char name[32];
    char type;       // D_ kind
    char _pad1[3];
    int value;       // arrows: direction code; items: what they give; lights: colour
    char view;       // D_ code of how the view draws it
    char _pad2[3];
    int icon, sprite, decal;
    int solid;       // paths avoid it; an actor on it dies; mini bombs clear it
    int opaque;      // blocks sight
    int shadow;      // cells below it (greater y) in its shadow: 0, 1 or 2
    int editor;      // palette group 1..7, 0 = not offered
    char help[256];
    char ext[64];
};

static_assert(sizeof(TileData) == 396, "TileData layout");
static_assert(offsetof(TileData, type) == 36 && offsetof(TileData, value) == 40, "TileData layout");
static_assert(offsetof(TileData, view) == 44 && offsetof(TileData, icon) == 48, "TileData layout");
static_assert(offsetof(TileData, solid) == 60 && offsetof(TileData, editor) == 72, "TileData layout");
static_assert(offsetof(TileData, help) == 76 && offsetof(TileData, ext) == 332, "TileData layout");

// One editor change.
struct UndoData {
    int n;                   // serial number of the change
    unsigned char x, y;      // the cell
    unsigned char prev, cur; // tile before and after
};

static_assert(sizeof(UndoData) == 8, "UndoData layout");

// The editor's undo ring and the per-cell flag grid.
struct ExtData {
    UndoData undo[UNDO_MAX];  // ring indexed by serial number mod UNDO_MAX
    int undo_n;               // serial number of the next change
    unsigned char info[MAP_SIZE][MAP_SIZE];  // INFO_ flags, info[y][x]
};

static_assert(sizeof(ExtData) == 17412, "ExtData layout");
static_assert(offsetof(ExtData, undo_n) == 1024 && offsetof(ExtData, info) == 1028, "ExtData layout");

// ---------------------------------------------------------------- settings

// The user's settings, stored raw in settings.dat.
struct Settings {
    int version;        // 1
    char name[64];      // account user name
    char passwd[64];    // account password, plain text
    int music;          // 0..100
    int sfx;            // 0..100
    char uid[64];       // "g:" + name
    char udid[64];      // "time|%ld" of the first start
    int vres;           // width * 4096 + height; below 1 = the desktop's size
    int vfull;          // -1 windowed, anything else full screen
};

static_assert(sizeof(Settings) == 276, "Settings layout");
static_assert(offsetof(Settings, music) == 132 && offsetof(Settings, uid) == 140, "Settings layout");
static_assert(offsetof(Settings, udid) == 204 && offsetof(Settings, vres) == 268, "Settings layout");
static_assert(offsetof(Settings, vfull) == 272, "Settings layout");

enum { VRES_SHIFT = 12, VRES_MASK = 0xFFF };

// Volume defaults and the canvas every screen lays out in.
enum { VOLUME_DEFAULT = 50, CANVAS_W = 960, CANVAS_H = 720 };

// Why the player died, as the rules saw it (Game::death_cause).
enum {
    DEATH_NONE = 0,
    DEATH_SHOT = 1,    // a guard saw the player's cell
    DEATH_BLAST = 2,   // a blast opened a crater under the player
    DEATH_FIRE = 3,    // a mini bomb's fire reached the player
    DEATH_FELL = 4,    // standing on a pit or on empty space
    DEATH_SOLID = 5    // standing inside something solid
};

// Whether the user's maps file can be used (Game::userdb_status).
enum {
    USERDB_OK = 0,
    USERDB_CLOSED = 1,    // could not be opened (folder not writable, no space ...)
    USERDB_DAMAGED = 2,   // not a database of ours: left untouched until the player decides
    USERDB_READONLY = 3   // readable, but nothing can be saved into it
};

// ---------------------------------------------------------------- Game

class Game;
class State;
struct LogicReplay;
struct LogicScratch;
// Frees a Game's working space of the rules (logic_setup.cpp); null is fine.
void logic_scratch_free(LogicScratch* scratch);

// What the rules ask of whatever runs them: a sound, a switch of screens and
// a usage event. The game installs one that plays, switches and reports; a
// program that only runs the rules (the map compiler, the service, the tests)
// installs its own or none, and without one the calls do nothing.
class GameHost {
public:
    virtual void play_sound(Game& game, const char* name) = 0;
    virtual void next(Game& game, int state) = 0;
    virtual void track(Game& game, const char* page, const char* category, const char* action,
                       int value) = 0;
    virtual ~GameHost() {}
};

// A host for programs that run the rules alone: a switch of screens only
// records the new screen code in Game::state; sounds and events are dropped.
class GameHostHeadless : public GameHost {
public:
    void play_sound(Game&, const char*) override {}
    void next(Game& game, int state) override;
    void track(Game&, const char*, const char*, const char*, int) override {}
};

class Game {
public:
    // The record. state.dat holds these fields in this order (see game_state.cpp).
    int version;
    int state;                 // current screen
    int parent;                // screen to return to when a play ends
    int context;               // screen to return to from the error screen
    LevelData level;           // the play copy
    ExtData ext;               // undo ring and cell flags
    LevelData _edit;           // the editor's copy
    char q_value[256];         // current online query
    char q_title[256];         // and its heading
    char error_msg[256];       // message of the error screen
    Settings settings;
    int quit;                  // set to end the main loop
    TileData tiles[TILE_MAX];  // the tile catalogue
    LevelData* _rewind;        // REWIND_MAX snapshots of the play copy
    int _rewind_n;             // snapshots taken since the last reset
    MyDB userdb, gamedb, netdb;
    int fs_toggle_tmp;         // full screen switched off for a browser
    char keys[KEYS_MAX];       // held keys by KEY_ code
    GameHost* host;            // not stored; installed by init or by whoever runs the rules
    unsigned int rng = 1;      // not stored; state of the rules' random numbers (logic_random)
    LogicReplay* replay = nullptr;  // not stored; where the play in progress is recorded, or none
    // Not stored: the rules' working space (the path search's records and
    // its memo, the flag grid's memo), made on first use and kept with this
    // Game, so that Games on different threads run the rules independently.
    LogicScratch* scratch = nullptr;

    // Not stored: what one run knows beside the record.
    int death_cause = DEATH_NONE;    // set by the rules when the player dies
    int screen_shake = 1;            // the player's choice: blasts shake the view (kept beside settings.dat)
    int exit_status = 0;             // of the program; non-zero when no window could be opened
    int userdb_status = USERDB_OK;   // whether user.db can be read and written
    std::string userdb_note;         // what the player is told about user.db, if anything
    std::string userdb_path;         // where user.db is
    int running = 0;                 // 1 from a complete init to deinit

    Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;
    ~Game();

    // ---- the record and the rules' calls out (game_record.cpp, the core)
    // Zeroes every field of the record; the database handles, the rewind
    // buffer, the host and the rules' working space are left alone.
    void clear_record();
    // Forwarded to the host, at once and in the order the rules call them.
    void next(int _state);
    void play_sound(const char* name);
    void track(const char* page, const char* category, const char* action, int value);
    // The account id follows the name; the installation id is made once.
    void settings_check();

    // ---- shell (game.cpp)
    void init();
    void deinit();
    void event(Event e);
    void loop();
    void paint();
    // (Re)opens the window; false when no video mode could be set at all.
    bool video_reset();
    void gfx_3d();
    void gfx_2d();
    void play_music(const char* name);
    void stop_music();
    void reset_volume();

    // ---- online service (game_web.cpp)
    void valid();
    void plays(int stars, int skulls);
    void download();
    void share(int target);
    void open_url(const char* url);
};

// Screens by STATE_ code; slots 0 and 20 to 31 stay empty.
extern State* _game_states[STATE_TABLE_MAX];
void _game_states_init(Game& g);
// Builds the current screen's widgets again, after a video reset took the
// textures and fonts they were made with.
void game_screen_rebuild(Game& game);

// ---- the tile catalogue (game_tiles.cpp, the core)
// Fills game.tiles from the text of tiles.json; entries that make no sense
// are skipped or clamped with a line on standard error. False, and an empty
// catalogue, when the text is not a JSON array.
bool game_tiles_parse(Game& game, const std::string& text);
// The same from a file, for programs without the game's data folder.
bool game_tiles_load(Game& game, const char* path);
// Maps a tile type or view name to its D_ code; -1 for an unknown name.
int _game_def_map(const char* name);
// The shell's: reads the data folder's tiles.json into game.tiles.
void _game_tiles_init(Game& game);

// ---- settings.dat (game_record.cpp, the core)
// Makes a settings record read from a file safe and complete: defaults for
// a record of another version, volumes in range, texts terminated.
void game_settings_mend(Settings& s);

// ---- the shell's helpers (game.cpp)
// A window size from settings.dat that the game can ask for: vres itself, or
// -1 (the desktop's size) for a packed size below the game's minimum or
// beyond what the picker offers.
int game_vres_safe(int vres);
// A short message in a corner over whatever screen is shown, for `ticks`
// ticks (fading out at the end) or until it is clicked; GAME_NOTICE_STICKY
// keeps it until it is clicked. Lines are separated by '\n'. A new notice
// replaces the old.
enum {
    GAME_NOTICE_STICKY = 0,
    GAME_NOTICE_SHORT = 3 * TICKS_PER_SECOND,
    GAME_NOTICE_LONG = 60 * TICKS_PER_SECOND,
};
void game_notice(const std::string& text, int ticks);
// The notice shown now; empty when none.
const std::string& game_notice_text();
// Where it was last drawn, in canvas units; false when none is shown.
bool game_notice_area(int* x, int* y, int* w, int* h);
// Draws it over the current screen (Game::paint does, after the screen).
void game_notice_paint(Game& game);

// ---- databases (game_db.cpp)
// Opens db on fname, creating the file if needed, and adds the columns and
// tables of the current schema that it lacks.
void game_db_open(Game& game, MyDB& db, const char* fname);
// The same for the shipped maps: the file is opened read-only and never
// created, so a schema change that cannot be written leaves it as it is.
void game_db_open_shipped(Game& game, MyDB& db, const char* fname);
// Opens user.db (at fname) into game.userdb and sets game.userdb_status: a
// file that is damaged or belongs to something else is left closed and
// untouched, and userdb_note says why.
void game_db_open_user(Game& game, const char* fname);
// Keeps a damaged user.db aside under a dated name (never over another file)
// and starts a fresh one; false, with the reason in userdb_note, on failure.
bool game_db_user_fresh(Game& game);
// Saves the editor's map into user.db and reads it back; false, with the
// reason in *why, when it did not reach the file.
bool game_db_save_map(Game& game, std::string* why);
// The player's best score on a map (by its name), 0 when none is recorded;
// recording keeps the higher of the old and the new score.
int game_db_best(Game& game, const char* name);
void game_db_record_best(Game& game, const char* name, int score);

// ---- replays kept with the maps they won (game_db.cpp, the core)
// After a play ended in a win: when the win was clean, keeps its recording
// (Game::replay) as Base64 with the editor's map, under its id in the table
// replays of user.db, replacing the one kept before.
void game_replay_keep(Game& game);
// Stores the replay (Base64) of map `id` in db, replacing any; false on failure.
bool game_replay_store(MyDB& db, const char* id, const std::string& b64);
// The replay kept for map `id`, or "".
std::string game_replay_find(MyDB& db, const char* id);

// ---- state.dat (game_state.cpp)
enum { GAME_STATE_FILE_SIZE = 213308 };
// Writes the record in the state.dat layout into out (GAME_STATE_FILE_SIZE bytes).
void game_state_pack(const Game& game, unsigned char* out);
// Reads the state.dat layout over the record's stored fields.
void game_state_unpack(Game& game, const unsigned char* in);

// ---- rewind.dat (game_rewind.cpp, the core)
enum { GAME_REWIND_FILE_SIZE = 32 + REWIND_MAX * (int)sizeof(LevelData) };
// Writes the rewind ring, its count and the cause of death, marked with the
// play copy they belong to, into out (GAME_REWIND_FILE_SIZE bytes).
void game_rewind_pack(const Game& game, unsigned char* out);
// Whether there is anything to keep: a snapshot, or a cause of death.
bool game_rewind_worth_keeping(const Game& game);
// Takes them back when the file is whole, of this layout and of this very
// play copy (read from state.dat before); false, with nothing changed, else.
bool game_rewind_unpack(Game& game, const unsigned char* in, size_t len);

// ---- C embedding interface (gamewrap.cpp)
extern Game* _game;
extern int retina;
extern "C" {
void game_init();
void game_event(Event e);
void game_loop();
void game_paint();
void game_resize(int w, int h);
void game_deinit();
}
