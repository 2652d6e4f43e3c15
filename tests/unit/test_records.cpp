// The map record's codes and the state.dat layout the stored files depend on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "game.h"
#include "logic.h"
#include "util.h"

TEST(Records, StateFileLayoutPlacesFieldsAtTheirOffsets) {
    std::unique_ptr<Game> g(new Game());
    g->version = 1;
    g->state = STATE_LEVEL;
    g->parent = STATE_MENU_PLAY;
    g->context = STATE_MENU_EDIT;
    mystrcpy(g->level.title, sizeof(g->level.title), "Play copy");
    mystrcpy(g->_edit.title, sizeof(g->_edit.title), "Editor copy");
    g->ext.undo_n = 77;
    mystrcpy(g->q_value, sizeof(g->q_value), "c~featured");
    g->settings.music = 42;
    g->_rewind_n = 9;
    g->fs_toggle_tmp = 1;
    g->keys[KEY_a] = 1;
    std::vector<unsigned char> file(GAME_STATE_FILE_SIZE);
    game_state_pack(*g, file.data());

    auto at_int = [&](int off) { int v; memcpy(&v, &file[off], 4); return v; };
    EXPECT_EQ(at_int(0), 1);
    EXPECT_EQ(at_int(4), STATE_LEVEL);
    EXPECT_EQ(at_int(8), STATE_MENU_PLAY);
    EXPECT_EQ(at_int(12), STATE_MENU_EDIT);
    EXPECT_STREQ((const char*)&file[16 + 132], "Play copy");
    EXPECT_EQ(at_int(46592 + 1024), 77);
    EXPECT_STREQ((const char*)&file[64004 + 132], "Editor copy");
    EXPECT_STREQ((const char*)&file[110580], "c~featured");
    EXPECT_EQ(at_int(111348 + 132), 42);
    EXPECT_EQ(at_int(213008), 9);
    EXPECT_EQ(at_int(213048), 1);
    EXPECT_EQ(file[213052 + KEY_a], 1);

    std::unique_ptr<Game> back(new Game());
    game_state_unpack(*back, file.data());
    EXPECT_EQ(back->state, STATE_LEVEL);
    EXPECT_STREQ(back->_edit.title, "Editor copy");
    EXPECT_EQ(back->_rewind_n, 9);
    EXPECT_EQ(back->keys[KEY_a], 0) << "held keys do not survive a restart";
}

TEST(Records, DamagedStateFileCannotNameMissingScreensOrOverlongTexts) {
    std::vector<unsigned char> file(GAME_STATE_FILE_SIZE, 0xAB);
    int one = 1, bad = 77, negative = -5;
    memcpy(&file[0], &one, 4);
    memcpy(&file[4], &bad, 4);
    memcpy(&file[8], &negative, 4);
    memcpy(&file[213008], &negative, 4);
    std::unique_ptr<Game> g(new Game());
    game_state_unpack(*g, file.data());
    EXPECT_EQ(g->state, STATE_MENU_MAIN);
    EXPECT_EQ(g->parent, STATE_MENU_MAIN);
    EXPECT_EQ(g->_rewind_n, 0);
    EXPECT_EQ(g->quit, 0);
    EXPECT_LT(strlen(g->level.title), sizeof(g->level.title));
    EXPECT_LT(strlen(g->error_msg), sizeof(g->error_msg));
}

TEST(Directions, DecodeAndEncodeAreInverse) {
    EXPECT_EQ(logic_dxdy_to_arrow(0, 0), 5);
    EXPECT_EQ(logic_arrow_decode[5][0], 0);
    EXPECT_EQ(logic_arrow_decode[5][1], 0);
    for (int code = 1; code <= 9; code++) {
        if (code == 5) continue;
        int dx = logic_arrow_decode[code][0], dy = logic_arrow_decode[code][1];
        EXPECT_EQ(logic_dxdy_to_arrow(dx, dy), code) << code;
    }
    EXPECT_EQ(logic_dxdy_to_arrow(1, 1), 2);
    EXPECT_EQ(logic_dxdy_to_arrow(-1, -1), 8);
}

TEST(Directions, SpriteDirectionFollowsTheCamera) {
    std::unique_ptr<Game> g(new Game());
    g->level.rotate = 0;
    EXPECT_EQ(logic_arrow(*g, 2, 0), 2);
    EXPECT_EQ(logic_arrow(*g, 2, 1), 2) << "flip at rotate 0 gives r = 16 again";
    g->level.rotate = 90;
    EXPECT_EQ(logic_arrow(*g, 2, 0), 4);
    // Every octant maps to a distinct sprite direction.
    g->level.rotate = 0;
    int seen = 0;
    for (int code : {1, 2, 3, 6, 9, 8, 7, 4}) seen |= 1 << logic_arrow(*g, code, 0);
    EXPECT_EQ(seen, (1 << 1) | (1 << 2) | (1 << 3) | (1 << 4) | (1 << 6) | (1 << 7) | (1 << 8) | (1 << 9));
}

TEST(Util, MyincSpreadsAThirtiethOfASecondOverWholeMilliseconds) {
    float period = 1000.0f / 30.0f;
    int shorter = 0;
    for (int f = 0; f < 370; f++) {
        int v = myinc(f, period);
        EXPECT_TRUE(v == 33 || v == 34) << v;
        shorter += v == 33;
    }
    EXPECT_EQ(myinc(0, period), 34);
    EXPECT_GT(shorter, 330) << "33 ms on nearly every frame";
    EXPECT_EQ(myinc(5, 2.0f), 2) << "a whole step is never spread";
    EXPECT_EQ(myinc(0, -1.5f), -2);
    EXPECT_EQ(myinc(1 << 30, period) / 33, 1) << "no overflow on a long run";
}

TEST(Util, FixedWidthCopiesAlwaysTerminate) {
    char field[8];
    mystrcpy(field, sizeof(field), "a long title");
    EXPECT_STREQ(field, "a long ");
    mystrcpy(field, sizeof(field), nullptr);
    EXPECT_STREQ(field, "");
    char buf[12];
    EXPECT_STREQ(myitoa(-2147483647 - 1, buf), "-2147483648");
}

TEST(Records, RewindFileComesBackOnlyWholeAndForTheSamePlay) {
    std::unique_ptr<Game> g(new Game());
    g->_rewind = (LevelData*)calloc(REWIND_MAX, sizeof(LevelData));
    mystrcpy(g->level.title, sizeof(g->level.title), "Two rooms");
    g->level.frame = 400;
    for (int i = 0; i < REWIND_MAX; i++) g->_rewind[i].frame = 100 + 6 * i;
    g->_rewind_n = 57;
    g->death_cause = DEATH_FIRE;
    EXPECT_TRUE(game_rewind_worth_keeping(*g));
    std::vector<unsigned char> file(GAME_REWIND_FILE_SIZE);
    game_rewind_pack(*g, file.data());

    auto put_int = [](std::vector<unsigned char>& f, int off, int v) { memcpy(&f[off], &v, 4); };
    const struct {
        const char* what;
        int offset, value;  // an int written over the file; offset -1: none
        size_t size;
        bool other_play, taken;
    } cases[] = {
        {"whole", -1, 0, GAME_REWIND_FILE_SIZE, false, true},
        {"cut short", -1, 0, GAME_REWIND_FILE_SIZE - 1, false, false},
        {"missing", -1, 0, 0, false, false},
        {"another version", 0, 2, GAME_REWIND_FILE_SIZE, false, false},
        {"an unknown cause", 4, 99, GAME_REWIND_FILE_SIZE, false, false},
        {"a negative count", 8, -1, GAME_REWIND_FILE_SIZE, false, false},
        {"another ring size", 12, 10, GAME_REWIND_FILE_SIZE, false, false},
        {"another play", -1, 0, GAME_REWIND_FILE_SIZE, true, false},
    };
    for (const auto& c : cases) {
        std::vector<unsigned char> f = file;
        if (c.offset >= 0) put_int(f, c.offset, c.value);
        std::unique_ptr<Game> back(new Game());
        back->_rewind = (LevelData*)calloc(REWIND_MAX, sizeof(LevelData));
        back->level = g->level;
        if (c.other_play) back->level.frame++;
        EXPECT_EQ(game_rewind_unpack(*back, f.data(), c.size), c.taken) << c.what;
        EXPECT_EQ(back->_rewind[REWIND_MAX - 1].frame, c.taken ? 100 + 6 * (REWIND_MAX - 1) : 0) << c.what;
        EXPECT_EQ(back->death_cause, c.taken ? DEATH_FIRE : DEATH_NONE) << c.what;
        EXPECT_EQ(back->_rewind_n, c.taken ? 57 : 0) << c.what;
    }
    memset(g->_rewind, 0, REWIND_MAX * sizeof(LevelData));
    g->death_cause = DEATH_NONE;
    EXPECT_FALSE(game_rewind_worth_keeping(*g)) << "nothing to keep after a fresh set-up";
}
