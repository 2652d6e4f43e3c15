// The central Game object and the functions around it: the screen table,
// the tile catalogue, settings, notices, databases, state.dat, rewind.dat and
// the embedding interface. The records it holds are in game_record.h.
//
// Sections: Game, then its functions by file.
#pragma once

#include <cstddef>
#include <string>

#include "event.h"
#include "game_record.h"
#include "mydb.h"

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
