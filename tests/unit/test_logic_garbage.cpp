// Damaged and hostile map records: random bytes and extreme values run
// through set-up and hundreds of ticks must stay inside every array (the
// sanitizer build checks that), and mending must leave sound records alone.
#include <cmath>
#include <cstdint>
#include <random>

#include <gtest/gtest.h>

#include "logic_world.h"

static void random_bytes(std::mt19937& rng, void* p, size_t n) {
    unsigned char* b = (unsigned char*)p;
    for (size_t i = 0; i < n; i++) b[i] = (unsigned char)rng();
}

// A float from a small set of awkward values, or random bits.
static float nasty_float(std::mt19937& rng) {
    static const float values[] = {NAN, -NAN, INFINITY, -INFINITY, 1e38f, -1e38f, 3e9f, -3e9f,
                                   127.9f, 128.0f, -0.5f, -1.0f, 4.0f, 123.5f, 1e-40f};
    if (rng() % 4 == 0) {
        uint32_t bits = rng();
        float f;
        memcpy(&f, &bits, sizeof(f));
        return f;
    }
    return values[rng() % (sizeof(values) / sizeof(values[0]))];
}

static int nasty_int(std::mt19937& rng) {
    static const int values[] = {INT32_MIN, INT32_MAX, -1, 0, 1, 31, 32, 33, 63, 64, 127, 128, 129, 255, 256, 1 << 30};
    return rng() % 3 == 0 ? (int)rng() : values[rng() % (sizeof(values) / sizeof(values[0]))];
}

// Every entity field that the rules index or convert with an extreme value.
static void poison_entities(std::mt19937& rng, LevelData& l) {
    for (Entity& e : l.items) {
        e.active = (char)(rng() % 3 != 0);
        e.type = (char)(rng() % 4 == 0 ? rng() : D_GUARD + rng() % 21);
        e.state = (char)rng();
        e.arrow = (char)rng();
        e.n = nasty_int(rng);
        e.frame = nasty_int(rng);
        e.timer = nasty_int(rng);
        e.x = nasty_float(rng);
        e.y = nasty_float(rng);
        e.dx = nasty_float(rng);
        e.dy = nasty_float(rng);
        e.tx = (char)rng();
        e.ty = (char)rng();
        e.path_n = nasty_int(rng);
        e.goal_n = nasty_int(rng);
        e.goal_cur = nasty_int(rng);
        e.goal_loop = nasty_int(rng);
        e.path_rx = (unsigned char)rng();
        e.path_ry = (unsigned char)rng();
        e.path_rf = (unsigned char)rng();
        random_bytes(rng, e.path, sizeof(e.path));
        random_bytes(rng, e.goal, sizeof(e.goal));
        memset(e.iname, 'x', sizeof(e.iname));
    }
}

static void poison_level(std::mt19937& rng, LevelData& l) {
    for (int& v : l.inventory) v = nasty_int(rng);
    int* counters[] = {&l.frame, &l.timer, &l.emp, &l.c_pillars, &l.t_pillars, &l.item_n,
                       &l.c_bonus, &l.t_bonus, &l.t_rewind, &l.t_extra};
    for (int* c : counters) *c = nasty_int(rng);
    float* floats[] = {&l.zoom, &l.rotate, &l.pan_x, &l.pan_y, &l.view_cx, &l.view_cy, &l.view_cd,
                       &l.hover_x, &l.hover_y, &l.trotate, &l.tzoom, &l.focus_x, &l.focus_y};
    for (float* f : floats) *f = nasty_float(rng);
}

// Plays a damaged map: random clicks, keys, bombs and pointer moves.
static void play(World& w, std::mt19937& rng, int ticks) {
    for (int t = 0; t < ticks; t++) {
        switch (rng() % 8) {
        case 0: logic_click(w.g(), (int)(rng() % 160) - 16, (int)(rng() % 160) - 16); break;
        case 1: logic_player_walk(w.g(), (int)(rng() % 3) - 1, (int)(rng() % 3) - 1); break;
        case 2: logic_bomb(w.g(), D_BOMB1 + (int)(rng() % 6) - 1); break;
        case 3:
            w.lev().hover_x = nasty_float(rng);
            w.lev().hover_y = nasty_float(rng);
            logic_focus(w.g());
            break;
        case 4: logic_danger(w.g(), (int)(rng() % 300) - 100, (int)(rng() % 300) - 100); break;
        default: break;
        }
        if (w.g().state != STATE_LEVEL) w.g().state = STATE_LEVEL;  // keep playing after a death or a win
        w.tick();
    }
}

static void expect_in_range(const LevelData& l) {
    for (int i = 0; i < ENTITY_MAX; i++) {
        const Entity& e = l.items[i];
        if (!e.active) continue;
        EXPECT_GE(e.path_n, 0);
        EXPECT_LE(e.path_n, PATH_CELLS_MAX);
        EXPECT_GE(e.goal_n, 0);
        EXPECT_LE(e.goal_n, GOAL_MAX);
        EXPECT_GE(e.goal_cur, 0);
        EXPECT_TRUE(e.goal_loop >= 0 && (e.goal_loop == 0 || e.goal_loop < e.goal_n));
        EXPECT_TRUE(std::isfinite(e.x) && std::isfinite(e.y));
        EXPECT_TRUE(e.arrow >= 0 && e.arrow <= 9);
        EXPECT_EQ(e.iname[sizeof(e.iname) - 1], 0);
    }
}

TEST(LogicGarbage, RandomRecordsSurviveSanitizeSetUpAndPlay) {
    std::mt19937 rng(7);
    for (int round = 0; round < 12; round++) {
        World w;
        random_bytes(rng, &w.lev(), sizeof(LevelData));
        if (round % 2) poison_level(rng, w.lev());
        logic_sanitize(w.lev());
        EXPECT_EQ(w.lev().title[sizeof(w.lev().title) - 1], 0);
        EXPECT_EQ(w.lev().intro[sizeof(w.lev().intro) - 1], 0);
        EXPECT_EQ(w.lev().id[sizeof(w.lev().id) - 1], 0);
        expect_in_range(w.lev());
        // A record resumed as it was stored (the pause screen after a restart).
        play(w, rng, 150);
        expect_in_range(w.lev());
        w.init();
        play(w, rng, 300);
        expect_in_range(w.lev());
    }
}

TEST(LogicGarbage, TheTickMendsRecordsThatWereNeverSanitized) {
    std::mt19937 rng(11);
    for (int round = 0; round < 12; round++) {
        World w;
        // A plausible map with hostile live state.
        for (int y = MAP_MIN; y <= MAP_MAX; y++)
            for (int x = MAP_MIN; x <= MAP_MAX; x++) w.set(x, y, (int)(rng() % 34));
        poison_level(rng, w.lev());
        poison_entities(rng, w.lev());
        play(w, rng, 300);
        expect_in_range(w.lev());
        for (Entity& e : w.lev().items) {
            if (!e.active) continue;
            logic_cansee(w.g(), e, (int)(rng() % 128), (int)(rng() % 128));
            logic_goal_build(w.g(), e);
            logic_path_follow(w.g(), e);
        }
    }
}

TEST(LogicGarbage, RawRandomEntitiesGoThroughEveryRuleDirectly) {
    // The public rules called on entities that no mending has touched.
    std::mt19937 rng(5);
    World w;
    logic_info(w.g());
    for (int round = 0; round < 2000; round++) {
        Entity e;
        random_bytes(rng, &e, sizeof(e));
        e.x = nasty_float(rng);
        e.y = nasty_float(rng);
        e.dx = nasty_float(rng);
        e.dy = nasty_float(rng);
        e.iname[sizeof(e.iname) - 1] = 0;
        Entity target = e;
        target.x = nasty_float(rng);
        logic_cansee(w.g(), e, (int)(rng() % 140) - 6, (int)(rng() % 140) - 6);
        logic_face(w.g(), e, target);
        logic_actor_check(w.g(), e);
        logic_goal_build(w.g(), e);
        logic_path_light(w.g(), e, (int)(rng() % 256), (int)(rng() % 256));
        logic_path(w.g(), (int)(rng() % 80) - 8, (int)(rng() % 140), (int)(rng() % 140), rng() % 2);
        logic_line_of_sight(w.g(), (int)(rng() % 200) - 50, (int)(rng() % 200) - 50, (int)(rng() % 200) - 50,
                            (int)(rng() % 200) - 50);
    }
}

TEST(LogicGarbage, ARandomCatalogueCannotLeadTheRulesAstray) {
    std::mt19937 rng(3);
    for (int round = 0; round < 4; round++) {
        World w;
        random_bytes(rng, w.g().tiles, sizeof(w.g().tiles));
        for (int y = MAP_MIN; y <= MAP_MAX; y++)
            for (int x = MAP_MIN; x <= MAP_MAX; x++) w.set(x, y, (int)(rng() % 256));
        w.init();
        play(w, rng, 300);
        expect_in_range(w.lev());
    }
}

TEST(LogicGarbage, MendingLeavesSoundRecordsUnchanged) {
    // A busy map: patrols, lights, alarms, bombs and a win; at every tick the
    // live record must pass through sanitizing unchanged. The player keeps to
    // dark floor, where the guards cannot see it.
    World w;
    w.draw(20, 20, {
        "G3.....1..L3....1",
        ".................",
        ".9.....7...9....7",
    });
    for (int y = 23; y <= 30; y++)
        for (int x = 20; x <= 70; x++) w.set(x, y, T_DARK);
    w.set(33, 24, T_GUARD);
    w.set(33, 25, arrow_tile(9));
    w.set(45, 24, T_PLAYER);
    w.set(55, 26, T_CARTRIDGE);
    w.set(70, 27, T_WINDOW);
    w.set(90, 90, T_PILLAR);
    w.lev().inventory[D_BOMB1] = 2;
    w.lev().inventory[D_BOMB2] = 1;
    w.lev().inventory[D_BOMB3] = 1;
    w.lev().inventory[D_BOMB4] = 1;
    w.init();
    std::unique_ptr<LevelData> copy(new LevelData);
    int blasts = 0, runs = 0, t = 0;
    for (; t < 900 && w.g().state == STATE_LEVEL; t++) {
        if (t == 10) logic_bomb(w.g(), D_BOMB2);
        if (t == 20) logic_click(w.g(), 60, 26);
        if (t == 30) logic_bomb(w.g(), D_BOMB1);
        if (t == 130) logic_bomb(w.g(), D_BOMB3);
        if (t == 150) logic_bomb(w.g(), D_BOMB1);
        if (t == 200) logic_bomb(w.g(), D_BOMB4);
        if (t == 300) logic_bomb(w.g(), D_BOMB4);
        if (t == 400) w.set(90, 90, T_FLOOR);
        if (t == 410) logic_click(w.g(), 69, 27);
        w.lev().hover_x = 20.0f + (t % 50);
        w.lev().hover_y = 30.0f;
        w.tick();
        for (const Entity& e : w.lev().items) {
            blasts += e.active && e.type == D_BLAST;
            runs += e.active && e.type == D_GUARD && e.state == D_RUN;
        }
        *copy = w.lev();
        logic_sanitize(*copy);
        ASSERT_EQ(memcmp(copy.get(), &w.lev(), sizeof(LevelData)), 0) << "tick " << t;
    }
    EXPECT_GT(blasts, 0);
    EXPECT_GT(runs, 0);
    EXPECT_EQ(w.g().state, STATE_LEVEL_WIN) << "after " << t << " ticks";
}
