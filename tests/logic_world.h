// Small maps for the rules' tests: a Game with the shipped tile catalogue and
// a map drawn from text, one character per cell.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "game.h"
#include "logic.h"

// Tile numbers of data/tiles.json that the tests draw with.
enum {
    T_EMPTY = 0, T_FLOOR = 1, T_DARK = 2, T_HOLE = 3, T_PLAYER = 4, T_WALL = 5, T_TOWER = 6,
    T_WINDOW = 7, T_GUARD = 16, T_LIGHT = 17, T_PILLAR = 21, T_CRATE = 22, T_PIT = 23,
    T_ITEM_BOMB1 = 24, T_ITEM_BOMB2 = 25, T_ITEM_BOMB3 = 26, T_ITEM_BOMB4 = 27, T_CARTRIDGE = 28,
    T_PLANT = 29, T_BORDER = 32
};

// Arrow tile of a direction code (1..9 but 5).
inline int arrow_tile(int code) {
    static const int tiles[10] = {0, 8, 9, 10, 11, 0, 12, 13, 14, 15};
    return tiles[code];
}

// Characters of the drawings: '.' floor, ',' dark floor, 'o' hole, '@' player,
// '#' wall, 'T' tall wall, 'W' window, 'G' guard, 'L' light, 'X' pillar,
// 'C' crate, 'p' plant (solid, see-through), ' ' empty, '$' cartridge,
// 'b' 't' 'e' 'm' bomb items, digits 1-4 and 6-9 patrol arrows.
inline int tile_of_char(char c) {
    switch (c) {
    case '.': return T_FLOOR;
    case ',': return T_DARK;
    case 'o': return T_HOLE;
    case '@': return T_PLAYER;
    case '#': return T_WALL;
    case 'T': return T_TOWER;
    case 'W': return T_WINDOW;
    case 'G': return T_GUARD;
    case 'L': return T_LIGHT;
    case 'X': return T_PILLAR;
    case 'C': return T_CRATE;
    case 'p': return T_PLANT;
    case ' ': return T_EMPTY;
    case '$': return T_CARTRIDGE;
    case 'b': return T_ITEM_BOMB1;
    case 't': return T_ITEM_BOMB2;
    case 'e': return T_ITEM_BOMB3;
    case 'm': return T_ITEM_BOMB4;
    default:
        if (c >= '1' && c <= '9' && c != '5') return arrow_tile(c - '0');
        return T_FLOOR;
    }
}

// The shipped catalogue, read once per test program.
inline const TileData* shipped_tiles() {
    static TileData tiles[TILE_MAX];
    static bool loaded = false;
    if (!loaded) {
        std::unique_ptr<Game> g(new Game());
        game_tiles_load(*g, "../data/tiles.json");  // tests run from tests/ in the build folder
        memcpy(tiles, g->tiles, sizeof(tiles));
        loaded = true;
    }
    return tiles;
}
// Gives a Game the shipped catalogue, as the game reads it at start-up.
inline void shipped_tiles_into(Game& g) { memcpy(g.tiles, shipped_tiles(), sizeof(g.tiles)); }

struct World {
    std::unique_ptr<Game> game;
    GameHostHeadless host;  // a win or a death switches Game::state
    Game& g() { return *game; }
    LevelData& lev() { return game->level; }

    // An open map: floor inside the border; the play screen is current.
    World() : game(new Game()) {
        game->host = &host;
        memcpy(game->tiles, shipped_tiles(), sizeof(game->tiles));
        game->state = STATE_LEVEL;
        fill(T_FLOOR);
        game->level.view_cx = game->level.view_cy = 64;
        game->level.view_cd = 30;
    }

    void fill(int tile) {
        LevelData& l = game->level;
        for (int y = 0; y < MAP_SIZE; y++)
            for (int x = 0; x < MAP_SIZE; x++)
                l.data[y][x] = (x < MAP_MIN || x > MAP_MAX || y < MAP_MIN || y > MAP_MAX) ? T_BORDER : tile;
    }

    void set(int x, int y, int tile) { game->level.data[y][x] = (unsigned char)tile; }
    int at(int x, int y) const { return game->level.data[y][x]; }

    // Draws rows of text with their top left character on cell (x0, y0).
    void draw(int x0, int y0, const std::vector<std::string>& rows) {
        for (size_t j = 0; j < rows.size(); j++)
            for (size_t i = 0; i < rows[j].size(); i++) set(x0 + (int)i, y0 + (int)j, tile_of_char(rows[j][i]));
    }

    // Set-up as the play screen does it: the stored map becomes the play copy.
    void init() {
        game->_edit = game->level;
        logic_init(*game, 1);
    }

    void tick(int n = 1) {
        for (int i = 0; i < n; i++) {
            logic_info(*game);
            logic_loop(*game);
        }
    }

    Entity* player() { return logic_find(*game, D_PLAYER); }

    // The n-th active entity of a type, in slot order.
    Entity* nth(int type, int n) {
        for (Entity& e : game->level.items)
            if (e.active && e.type == type && n-- == 0) return &e;
        return nullptr;
    }

    // A bare entity in a free slot, standing on (x, y).
    Entity& place(int type, int x, int y, int facing = 2) {
        Entity* e = logic_next_entity(*game);
        e->active = 1;
        e->type = (char)type;
        e->x = (float)x;
        e->y = (float)y;
        e->tx = (char)x;
        e->ty = (char)y;
        e->arrow = (char)facing;
        e->state = D_STOP;
        return *e;
    }
};
