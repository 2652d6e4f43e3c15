// Setting a map up for play: new maps, spawns and patrol routes, the cell
// flags, entity slots and lookups.
#include <ctime>
#include <random>

#include <gtest/gtest.h>

#include "logic_internal.h"
#include "logic_world.h"

TEST(LogicSetup, NewMapHasBorderStartAreaAndEditorCopy) {
    World w;
    time_t before = time(nullptr);
    logic_new(w.g());
    LevelData& l = w.lev();
    for (int i = 0; i < MAP_SIZE; i++) {
        for (int b = 0; b < MAP_BORDER; b++) {
            EXPECT_EQ(l.data[i][b], TILE_BORDER);
            EXPECT_EQ(l.data[b][i], TILE_BORDER);
            EXPECT_EQ(l.data[i][MAP_SIZE - 1 - b], TILE_BORDER);
            EXPECT_EQ(l.data[MAP_SIZE - 1 - b][i], TILE_BORDER);
        }
    }
    EXPECT_EQ(l.data[4][4], TILE_EMPTY);
    for (int y = 63; y <= 65; y++)
        for (int x = 63; x <= 65; x++) EXPECT_EQ(l.data[y][x], (x == 64 && y == 64) ? TILE_START : TILE_FLOOR);
    EXPECT_EQ(l.data[62][64], TILE_EMPTY);
    EXPECT_EQ(l.pan_x, 64.0f);
    EXPECT_EQ(l.pan_y, 64.0f);
    EXPECT_EQ(l.dirty, 1);
    long id = atol(l.id);
    EXPECT_GE(id, (long)before);
    EXPECT_LE(id, (long)time(nullptr));
    EXPECT_EQ(memcmp(&w.g()._edit, &l, sizeof(l)), 0);
}

TEST(LogicSetup, EntitySlotsWrapFromTheLastAllocationAndOverflowIntoScratch) {
    World w;
    LevelData& l = w.lev();
    l.item_n = 62;
    l.items[63].active = 1;
    l.items[0].frame = 99;
    Entity* e = logic_next_entity(w.g());
    EXPECT_EQ(e, &l.items[62]);
    e->active = 1;
    e = logic_next_entity(w.g());
    EXPECT_EQ(e, &l.items[0]) << "search wraps past slot 63";
    EXPECT_EQ(e->frame, 0) << "the slot is cleared";
    EXPECT_EQ(e->n, 0);
    EXPECT_EQ(l.item_n, 1);

    for (Entity& s : l.items) s.active = 1;
    LevelData before = l;
    Entity* scratch = logic_next_entity(w.g());
    ASSERT_NE(scratch, nullptr);
    EXPECT_TRUE(scratch < l.items || scratch >= l.items + ENTITY_MAX);
    scratch->active = 1;
    scratch->type = D_BOMB1;
    EXPECT_EQ(memcmp(&before, &l, sizeof(l)), 0) << "a full map is left untouched";

    l.item_n = -7;  // damaged record
    for (Entity& s : l.items) s.active = 0;
    e = logic_next_entity(w.g());
    EXPECT_TRUE(e >= l.items && e < l.items + ENTITY_MAX);
}

TEST(LogicSetup, LookupsFindExactPositionsOnlyAndSkipPlayersAndLights) {
    World w;
    w.place(D_PLAYER, 10, 10);
    w.place(D_LIGHT, 10, 10);
    Entity& guard = w.place(D_GUARD, 10, 10);
    Entity& bomb = w.place(D_BOMB1, 12, 10);
    EXPECT_EQ(logic_find_at(w.g(), 10, 10), &guard);
    EXPECT_EQ(logic_find(w.g(), D_BOMB1), &bomb);
    EXPECT_EQ(logic_find(w.g(), D_FIRE), nullptr);
    guard.x = 10.5f;
    EXPECT_EQ(logic_find_at(w.g(), 10, 10), nullptr) << "a guard between two cells is on neither";
    EXPECT_EQ(logic_find_at(w.g(), 11, 10), nullptr);
    bomb.active = 0;
    EXPECT_EQ(logic_find(w.g(), D_BOMB1), nullptr);
}

TEST(LogicSetup, SpawnsActorsCountsTargetsAndClearsSpawnCells) {
    World w;
    w.draw(10, 10, {
        "........",
        ".@.G.L..",
        "...X.$$.",
        "...X....",
    });
    w.lev().inventory[D_BOMB1] = 3;
    w.lev().emp = 0;
    w.init();
    LevelData& l = w.lev();
    EXPECT_EQ(l.frame, 2);
    EXPECT_EQ(l.t_pillars, 2);
    EXPECT_EQ(l.c_pillars, 2);
    EXPECT_EQ(l.t_bonus, 2);
    EXPECT_EQ(l.inventory[D_BOMB1], 3) << "the stock the map was stored with stays";
    Entity* p = w.player();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->n, 0);
    EXPECT_EQ(p->x, 11.0f);
    EXPECT_EQ(p->y, 11.0f);
    EXPECT_EQ(p->arrow, 2);
    EXPECT_EQ(l.pan_x, 11.0f) << "live set-up looks at the player";
    Entity* g = w.nth(D_GUARD, 0);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->state, D_STOP);
    EXPECT_EQ(g->goal_n, 1) << "no arrow: a route of one cell";
    Entity* light = w.nth(D_LIGHT, 0);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->value, 1);
    EXPECT_EQ(light->iname[0], 0);
    EXPECT_EQ(w.at(11, 11), T_FLOOR);
    EXPECT_EQ(w.at(13, 11), T_FLOOR);
    EXPECT_EQ(w.at(15, 11), T_FLOOR);
    EXPECT_EQ(w.g()._edit.data[11][11], T_PLAYER) << "the stored map keeps its spawn tiles";
}

TEST(LogicSetup, NearbyArrowsSetFacingsAndTheLaterArrowWins) {
    World w;
    w.draw(10, 10, {
        "3.....",
        ".@..G.",
        "9...1.",
    });
    w.init();
    EXPECT_EQ(w.player()->arrow, 9) << "the arrow later in the row-by-row scan wins";
    Entity* g = w.nth(D_GUARD, 0);
    EXPECT_EQ(g->arrow, 1);
    EXPECT_EQ(g->goal[1][0], 14);
    EXPECT_EQ(g->goal[1][1], 12);

    World z;
    z.draw(10, 10, {"@"});
    z.init();
    EXPECT_EQ(z.player()->arrow, 2) << "no arrow: new actors face 2";
}

TEST(LogicSetup, ArrowChainsCloseRoutesOnlyOnLaterCells) {
    // A square of arrows: the guard steps onto the first one, walks the square
    // and comes back to it, so the route repeats from index 1.
    World w;
    w.draw(10, 10, {
        "G3...2",
        "......",
        "......",
        "......",
        ".9...7",
    });
    w.set(15, 10, arrow_tile(1));  // down at the top right
    w.init();
    Entity* g = w.nth(D_GUARD, 0);
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(g->goal_n, 5);
    int expect[5][2] = {{10, 10}, {11, 10}, {15, 10}, {15, 14}, {11, 14}};
    for (int k = 0; k < 5; k++) {
        EXPECT_EQ(g->goal[k][0], expect[k][0]) << k;
        EXPECT_EQ(g->goal[k][1], expect[k][1]) << k;
    }
    EXPECT_EQ(g->goal_loop, 1);

    // A chain that passes over the spawn cell closes on the first arrow.
    World z;
    z.draw(10, 10, {
        "3G...1",
        "......",
        "9....7",
    });
    z.init();
    g = z.nth(D_GUARD, 0);
    EXPECT_EQ(g->goal_loop, 1);
    EXPECT_EQ(g->goal[1][0], 10) << "the guard's first step is onto the arrow beside it";

    // An entity standing on an arrow of its own chain: index 0 is never a loop target.
    World own;
    own.draw(10, 10, {
        "3....1",
        "......",
        "9....7",
    });
    Entity& e = own.place(D_GUARD, 10, 10);
    e.dx = 1;
    logic_goal_build(own.g(), e);
    ASSERT_EQ(e.goal_n, 5);
    EXPECT_EQ(e.goal[4][0], 10);
    EXPECT_EQ(e.goal[4][1], 10) << "the start cell is appended again";
    EXPECT_EQ(e.goal_loop, 1);

    World open;
    open.draw(10, 10, {"G3......#"});
    open.init();
    g = open.nth(D_GUARD, 0);
    EXPECT_EQ(g->goal_n, 2) << "a wall ends a route without closing it";
    EXPECT_EQ(g->goal_loop, 0);
}

TEST(LogicSetup, LightRoutesPassThroughWalls) {
    World w;
    w.draw(10, 10, {
        "L3..#..1",
        "........",
        "........",
        ".......7",
    });
    w.init();
    Entity* light = w.nth(D_LIGHT, 0);
    ASSERT_NE(light, nullptr);
    // The light keeps its own cell as target, so its first route cell is the
    // first arrow it meets stepping right from its spawn: the one beside it.
    ASSERT_GE(light->goal_n, 3);
    EXPECT_EQ(light->goal[1][0], 11);
    EXPECT_EQ(light->goal[2][0], 17) << "past the wall";
    EXPECT_EQ(light->goal[3][0], 17);
    EXPECT_EQ(light->goal[3][1], 13);
}

TEST(LogicSetup, SpawnCellsTakeTheLookOfTheirSurroundings) {
    World w;
    w.draw(10, 10, {
        ",,,.o.. ",
        ",G,o3o 6",
        ",,,.o.. ",
        ".@......",
    });
    w.init();
    EXPECT_EQ(w.at(11, 11), T_DARK) << "a spawn between dark cells turns dark";
    EXPECT_EQ(w.at(14, 11), T_HOLE) << "an arrow at the rim of a hole becomes hole";
    EXPECT_EQ(w.at(17, 11), T_EMPTY) << "an arrow among empty cells becomes empty";
    EXPECT_EQ(w.at(11, 13), T_FLOOR);
}

TEST(LogicSetup, FlagsForShadowsDarknessPitEdgesAndLights) {
    World w;
    w.draw(10, 10, {
        "#T.,,..",
        "...,...",
        ".......",
        "#......",
        "T......",
        ".......",
    });
    w.set(20, 20, T_HOLE);
    w.set(30, 30, T_CARTRIDGE);  // a sprite between dark cells is dark
    w.set(29, 30, T_DARK);
    w.set(31, 30, T_DARK);
    w.set(40, 40, T_PILLAR);
    logic_info(w.g());
    auto& info = w.g().ext.info;
    EXPECT_TRUE(info[10][10] & INFO_SOLID);
    EXPECT_TRUE(info[10][10] & INFO_OPAQUE);
    EXPECT_TRUE(info[11][10] & INFO_SHADOW);
    EXPECT_FALSE(info[12][10] & INFO_SHADOW) << "a wall's shadow is one cell deep";
    EXPECT_TRUE(info[11][11] & INFO_SHADOW);
    EXPECT_TRUE(info[12][11] & INFO_SHADOW) << "a tall wall's shadow is two cells deep";
    EXPECT_FALSE(info[14][10] & INFO_SHADOW) << "a wall in a shadow casts its own, not lies in it";
    EXPECT_TRUE(info[15][10] & INFO_SHADOW);
    EXPECT_TRUE(info[16][10] & INFO_SHADOW);
    EXPECT_TRUE(info[10][13] & INFO_DARK);
    EXPECT_TRUE(info[30][30] & INFO_DARK);
    EXPECT_FALSE(info[30][28] & INFO_DARK);
    EXPECT_TRUE(info[20][21] & INFO_PIT_EDGE);
    EXPECT_FALSE(info[21][21] & INFO_PIT_EDGE) << "diagonal neighbours of a hole are no edge";
    EXPECT_FALSE(info[20][20] & INFO_PIT_EDGE);
    EXPECT_EQ(w.lev().c_pillars, 1);
    for (int y = 0; y < MAP_SIZE; y++)
        for (int x = 0; x < MAP_SIZE; x++) EXPECT_EQ(info[y][x] & (16 | 128), 0);

    Entity& light = w.place(D_LIGHT, 12, 11);
    logic_info(w.g());
    EXPECT_TRUE(info[11][16] & INFO_LIT) << "4 cells away";
    EXPECT_FALSE(info[11][17] & INFO_LIT) << "5 cells away is outside";
    EXPECT_TRUE(info[14][15] & INFO_LIT) << "3*3 + 3*3 < 25";
    EXPECT_FALSE(info[14][16] & INFO_LIT) << "4*4 + 3*3 = 25 is outside";
    EXPECT_FALSE(info[10][13] & INFO_LIT) << "dark cells are never lit";
    light.x = 12.5f;  // the light's cell is position + 0.5
    logic_info(w.g());
    EXPECT_TRUE(info[11][17] & INFO_LIT);
}

// The flags cell by cell, as plainly as they can be written down.
static void plain_info(Game& g, unsigned char out[MAP_SIZE][MAP_SIZE], int* pillars) {
    LevelData& l = g.level;
    memset(out, 0, MAP_SIZE * MAP_SIZE);
    *pillars = 0;
    auto tile = [&](int x, int y) -> const TileData& { return g.tiles[l.data[y][x]]; };
    auto count = [&](int x, int y, int t) {
        return (l.data[y][x - 1] == t) + (l.data[y][x + 1] == t) + (l.data[y - 1][x] == t) + (l.data[y + 1][x] == t);
    };
    for (int y = MAP_MIN; y <= MAP_MAX; y++) {
        for (int x = MAP_MIN; x <= MAP_MAX; x++) {
            const TileData& t = tile(x, y);
            if (t.type == D_PILLAR) ++*pillars;
            if (t.shadow) out[y][x] &= ~INFO_SHADOW;
            if (t.solid) out[y][x] |= INFO_SOLID;
            if (t.opaque) out[y][x] |= INFO_OPAQUE;
            if (t.type == D_DARK) out[y][x] |= INFO_DARK;
            if (t.shadow >= 1) out[y + 1][x] |= INFO_SHADOW;
            if (t.shadow >= 2) out[y + 2][x] |= INFO_SHADOW;
            if (t.view == D_SPRITE && count(x, y, TILE_DARK) > 1) out[y][x] |= INFO_DARK;
            int c = l.data[y][x];
            if (c != TILE_EMPTY && c != TILE_HOLE && count(x, y, TILE_HOLE) > 0) out[y][x] |= INFO_PIT_EDGE;
        }
    }
    for (Entity& e : l.items) {
        if (!e.active || e.type != D_LIGHT) continue;
        int lx = (int)(e.x + 0.5f), ly = (int)(e.y + 0.5f);
        for (int i = -5; i <= 5; i++)
            for (int j = -5; j <= 5; j++) {
                int x = lx + i, y = ly + j;
                if (i * i + j * j < 25 && x >= 4 && x <= 124 && y >= 4 && y <= 124 && !(out[y][x] & INFO_DARK))
                    out[y][x] |= INFO_LIT;
            }
    }
}

TEST(LogicSetup, FlagsMatchAPlainCellByCellPass) {
    std::mt19937 rng(99);
    for (int round = 0; round < 40; round++) {
        World w;
        if (round % 4 == 3) {  // any catalogue at all
            for (TileData& t : w.g().tiles) {
                t.type = (char)(rng() % 20);
                t.view = (char)(rng() % 20);
                t.solid = (int)(rng() % 2);
                t.opaque = (int)(rng() % 2);
                t.shadow = (int)(rng() % 5) - 1;
            }
        }
        int kinds = round % 2 ? 34 : 256;
        for (int y = 0; y < MAP_SIZE; y++)
            for (int x = 0; x < MAP_SIZE; x++)
                if (rng() % 3 == 0 || round % 4 == 3) w.set(x, y, (int)(rng() % kinds));
        for (int k = 0; k < 5; k++) w.place(D_LIGHT, (int)(rng() % 128), (int)(rng() % 128));
        static unsigned char expect[MAP_SIZE][MAP_SIZE];
        int pillars;
        plain_info(w.g(), expect, &pillars);
        logic_info(w.g());
        for (int y = 0; y < MAP_SIZE; y++)
            for (int x = 0; x < MAP_SIZE; x++)
                ASSERT_EQ(expect[y][x], w.g().ext.info[y][x]) << "round " << round << " cell " << x << "," << y;
        EXPECT_EQ(w.lev().c_pillars, pillars);
        // Asked again after a change of one cell, or of the catalogue only.
        w.set(4 + (int)(rng() % 120), 4 + (int)(rng() % 120), (int)(rng() % kinds));
        w.g().tiles[rng() % 34].shadow = (int)(rng() % 3);
        w.g().tiles[T_FLOOR].view = round % 2 ? D_SPRITE : D_FLOOR;
        for (int again = 0; again < 2; again++) {
            plain_info(w.g(), expect, &pillars);
            logic_info(w.g());
            ASSERT_EQ(memcmp(expect, w.g().ext.info, sizeof(expect)), 0) << "round " << round << " again " << again;
            EXPECT_EQ(w.lev().c_pillars, pillars);
            w.set(4 + (int)(rng() % 120), 4 + (int)(rng() % 120), T_HOLE);
        }
        // Blasts of holes anywhere, the border rows included: the flags kept
        // from the last call are brought up to date row by row.
        for (int blast = 0; blast < 4; blast++) {
            int bx = (int)(rng() % 128), by = blast == 3 ? 125 : (int)(rng() % 128);
            for (int j = -5; j <= 5; j++)
                for (int i = -5; i <= 5; i++)
                    if (_logic_on_grid(bx + i, by + j) && rng() % 2) w.set(bx + i, by + j, blast == 2 ? (int)(rng() % kinds) : T_HOLE);
            plain_info(w.g(), expect, &pillars);
            logic_info(w.g());
            ASSERT_EQ(memcmp(expect, w.g().ext.info, sizeof(expect)), 0) << "round " << round << " blast " << blast;
            EXPECT_EQ(w.lev().c_pillars, pillars);
        }
    }
}

TEST(LogicSetup, ImageNamesAreWhatSnprintfWrites) {
    const struct {
        const char *kind, *pose;
        int a, b;
        size_t size;
    } cases[] = {
        {"guard", "walk", 3, 7, 32},        {"player", "stop", 9, 0, 32},   {"guard", "shoot", -12, 2147483647, 32},
        {"player", "die", -2147483647 - 1, 5, 32}, {"guard", "walk", 3, 7, 9}, {"a", "b", 1, 2, 1},
        {"a-very-long-kind-of-actor-name", "pose", 1, 2, 32},
    };
    for (const auto& c : cases) {
        char want[32], got[32];
        memset(want, '#', sizeof(want));
        memset(got, '#', sizeof(got));
        snprintf(want, c.size, "%s-%s-%d-%d", c.kind, c.pose, c.a, c.b);
        _logic_image_name(got, c.size, c.kind, c.pose, c.a, c.b);
        EXPECT_EQ(memcmp(want, got, sizeof(want)), 0) << want;
    }
}
