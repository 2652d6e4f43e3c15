// state.dat: the Game record in its fixed 213,308-byte file layout, written
// field by field so that the in-memory object may differ (pointers, handles).
#include <cstring>

#include "game.h"
#include "logic.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "state.dat is little-endian");

// Offsets of the file layout.
enum {
    SF_VERSION = 0, SF_STATE = 4, SF_PARENT = 8, SF_CONTEXT = 12, SF_LEVEL = 16,
    SF_EXT = 46592, SF_EDIT = 64004, SF_Q_VALUE = 110580, SF_Q_TITLE = 110836,
    SF_ERROR_MSG = 111092, SF_SETTINGS = 111348, SF_QUIT = 111624, SF_TILES = 111628,
    SF_REWIND = 213004, SF_REWIND_N = 213008, SF_USERDB = 213012, SF_GAMEDB = 213024,
    SF_NETDB = 213036, SF_FS_TOGGLE = 213048, SF_KEYS = 213052
};
static_assert(SF_EXT == SF_LEVEL + sizeof(LevelData), "state.dat layout");
static_assert(SF_EDIT == SF_EXT + sizeof(ExtData), "state.dat layout");
static_assert(SF_SETTINGS == SF_ERROR_MSG + 256 && SF_QUIT == SF_SETTINGS + sizeof(Settings), "state.dat layout");
static_assert(SF_REWIND == SF_TILES + sizeof(TileData) * TILE_MAX, "state.dat layout");
static_assert(SF_KEYS + KEYS_MAX == GAME_STATE_FILE_SIZE, "state.dat layout");

template <typename T>
static void _put(unsigned char* out, int offset, const T& v) { memcpy(out + offset, &v, sizeof(T)); }

template <typename T>
static void _get(const unsigned char* in, int offset, T& v) { memcpy(&v, in + offset, sizeof(T)); }

void game_state_pack(const Game& g, unsigned char* out) {
    memset(out, 0, GAME_STATE_FILE_SIZE);
    _put(out, SF_VERSION, g.version);
    _put(out, SF_STATE, g.state);
    _put(out, SF_PARENT, g.parent);
    _put(out, SF_CONTEXT, g.context);
    _put(out, SF_LEVEL, g.level);
    _put(out, SF_EXT, g.ext);
    _put(out, SF_EDIT, g._edit);
    _put(out, SF_Q_VALUE, g.q_value);
    _put(out, SF_Q_TITLE, g.q_title);
    _put(out, SF_ERROR_MSG, g.error_msg);
    _put(out, SF_SETTINGS, g.settings);
    _put(out, SF_QUIT, g.quit);
    _put(out, SF_TILES, g.tiles);
    _put(out, SF_REWIND_N, g._rewind_n);
    _put(out, SF_FS_TOGGLE, g.fs_toggle_tmp);
    _put(out, SF_KEYS, g.keys);
}

static int _valid_screen(int code) { return code >= STATE_NONE && code <= STATE_MENU_HELP; }

void game_state_unpack(Game& g, const unsigned char* in) {
    _get(in, SF_VERSION, g.version);
    _get(in, SF_STATE, g.state);
    _get(in, SF_PARENT, g.parent);
    _get(in, SF_CONTEXT, g.context);
    _get(in, SF_LEVEL, g.level);
    _get(in, SF_EXT, g.ext);
    _get(in, SF_EDIT, g._edit);
    _get(in, SF_Q_VALUE, g.q_value);
    _get(in, SF_Q_TITLE, g.q_title);
    _get(in, SF_ERROR_MSG, g.error_msg);
    _get(in, SF_SETTINGS, g.settings);
    _get(in, SF_QUIT, g.quit);
    _get(in, SF_TILES, g.tiles);
    _get(in, SF_REWIND_N, g._rewind_n);
    _get(in, SF_FS_TOGGLE, g.fs_toggle_tmp);
    // Held keys are not restored: a key held when the last run ended is not
    // held now, and restoring it would leave the camera turning by itself.
    memset(g.keys, 0, sizeof(g.keys));

    // The file may be damaged or from elsewhere: keep every value the game
    // indexes with inside its range.
    g.quit = 0;
    if (!_valid_screen(g.state)) g.state = STATE_MENU_MAIN;
    if (!_valid_screen(g.parent) || g.parent == STATE_NONE) g.parent = STATE_MENU_MAIN;
    if (!_valid_screen(g.context) || g.context == STATE_NONE) g.context = STATE_MENU_MAIN;
    if (g._rewind_n < 0) g._rewind_n = 0;
    g.fs_toggle_tmp = g.fs_toggle_tmp ? 1 : 0;
    g.q_value[sizeof(g.q_value) - 1] = 0;
    g.q_title[sizeof(g.q_title) - 1] = 0;
    g.error_msg[sizeof(g.error_msg) - 1] = 0;
    logic_sanitize(g.level);
    logic_sanitize(g._edit);
}
