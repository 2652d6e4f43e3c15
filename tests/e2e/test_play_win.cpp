// The intro, win and death screens: the camera swoop, the points counted
// into the score, the rating stored per map, and a death that explains itself.
#include <algorithm>

#include "logic_internal.h"
#include "test_play.h"
#include "widgets.h"

class WinTest : public PlayTest {
protected:
    // The win screen over the room, for a play with these counters.
    void win(int timer, int c_bonus, int t_bonus, int t_extra, int parent = STATE_MENU_PLAY) {
        build_room();
        g().level = g()._edit;
        lev().is_init = 1;
        lev().timer = timer;
        lev().c_bonus = c_bonus;
        lev().t_bonus = t_bonus;
        lev().t_extra = t_extra;
        g().parent = parent;
        g().next(STATE_LEVEL_WIN);
    }

    Stars* stars(const char* name) { return dynamic_cast<Stars*>(screen_gui().find(name)); }

    MyResult ratings() { return g().userdb.query("select * from ratings order by lid"); }

    // Canvas point over the middle of icon i (0..4) of a rating row.
    void icon_point(const char* name, float i, float* x, float* y) {
        MyRect r = stars(name)->get_abs_rect(false);
        *x = r.x + (i + 0.5f) * r.w / 5;
        *y = r.y + r.h / 2.0f;
    }
};

TEST_F(WinTest, PointsCountIntoTheScoreAThousandASecondAndStayShown) {
    // 9 seconds, 3 of 4 cartridges and 2 bombs left: each row shows the
    // points counted from it so far and keeps them; the score counts up.
    win(270, 3, 4, 2);
    EXPECT_TRUE(shows(&screen_gui(), "Escaped"));
    EXPECT_TRUE(shows(&screen_gui(), "0:09"));
    EXPECT_TRUE(shows(&screen_gui(), "3 / 4"));
    EXPECT_TRUE(shows(&screen_gui(), "+ 2"));
    const struct {
        int ticks;  // since the screen opened
        const char *time, *bonus, *extra, *score;
    } steps[] = {
        {1, "33", "0", "0", "533"},
        {30, "985", "0", "0", "1485"},    // 28 in the last tick
        {53, "985", "750", "0", "2235"},
        {65, "985", "750", "396", "2631"},
        {66, "985", "750", "400", "2635"},
        {76, "985", "750", "400", "2635"},
    };
    int done = 0;
    for (const auto& st : steps) {
        h.tick(st.ticks - done);
        done = st.ticks;
        SCOPED_TRACE(st.ticks);
        EXPECT_EQ(label("time"), st.time);
        EXPECT_EQ(label("bonus"), st.bonus);
        EXPECT_EQ(label("extra"), st.extra);
        EXPECT_EQ(label("score"), st.score);
    }
}

// The clean win's mark: every cartridge and no rewind.
TEST_F(WinTest, ACleanWinIsMarked) {
    const struct {
        int c_bonus, t_bonus, rewinds;
        bool clean;
    } cases[] = {{2, 2, 0, true}, {0, 0, 0, true}, {1, 2, 0, false}, {2, 2, 1, false}};
    for (const auto& c : cases) {
        win(300, c.c_bonus, c.t_bonus, 0);
        lev().t_rewind = c.rewinds;
        g().next(STATE_LEVEL_WIN);
        EXPECT_EQ(screen_gui().find("clean") != nullptr, c.clean) << c.c_bonus << "/" << c.t_bonus << " " << c.rewinds;
    }
}

TEST_F(WinTest, PointsHaveTheirFloorsAndCeilings) {
    // Counted to the end (a hundred ticks count 3300 points).
    auto counted = [&] { h.tick(100); };
    win(10 * 60 * 30, 0, 0, 7);
    EXPECT_TRUE(shows(&screen_gui(), "10:00"));
    counted();
    EXPECT_EQ(label("time"), "0");
    EXPECT_EQ(label("bonus"), "0");
    EXPECT_EQ(label("extra"), "1000");
    EXPECT_EQ(label("score"), "1500");

    // The clock of the play time, shared with the heads-up display.
    win(1799, 4, 4, 0);
    EXPECT_TRUE(shows(&screen_gui(), "0:59"));
    counted();
    EXPECT_EQ(label("bonus"), "1000");
    win(1800, 0, 4, 0);
    EXPECT_TRUE(shows(&screen_gui(), "1:00"));
    counted();
    EXPECT_EQ(label("time"), "900");

    // A damaged record cannot score above the top.
    win(-900, 9, 4, -3);
    counted();
    EXPECT_EQ(label("time"), "1000");
    EXPECT_EQ(label("bonus"), "1000");
    EXPECT_EQ(label("extra"), "0");
}

TEST_F(WinTest, RatingClickedWithStarsAndSkullsIsStoredForTheMap) {
    win(300, 1, 1, 0);
    h.tick();
    ASSERT_NE(stars("stars"), nullptr);
    ASSERT_NE(stars("skulls"), nullptr);
    EXPECT_EQ(stars("stars")->get_value_i(), 0);
    EXPECT_EQ(stars("skulls")->get_value_i(), 0);

    float x, y;
    icon_point("stars", 2, &x, &y);
    h.move(x, y);
    h.tick();
    EXPECT_EQ(stars("stars")->_value, 3.0f) << "the third fifth previews three stars";
    unsigned int preview = h.pixel(x, y);
    h.click(x, y);
    EXPECT_EQ(stars("stars")->get_value_i(), 3);
    // Off the widget the preview goes and the chosen value shows in cyan;
    // the icons not chosen are steel, like a button, not a disabled grey.
    h.move(x, y + 200);
    h.tick();
    EXPECT_EQ(stars("stars")->_value, 0.0f);
    unsigned int chosen = h.pixel(x, y);
    float x4, y4;
    icon_point("stars", 3, &x4, &y4);
    unsigned int empty = h.pixel(x4, y4);
    EXPECT_GT((preview >> 16) & 0xFF, (preview & 0xFF) + 60) << std::hex << preview << " yellow";
    EXPECT_GT(chosen & 0xFF, ((chosen >> 16) & 0xFF) + 40) << std::hex << chosen << " cyan";
    EXPECT_GT((chosen >> 8) & 0xFF, ((empty >> 8) & 0xFF) + 40) << std::hex << chosen << " brighter than " << empty;
    EXPECT_GT(empty & 0xFF, ((empty >> 16) & 0xFF) + 30) << std::hex << empty << " steel";

    icon_point("skulls", 1.2f, &x, &y);
    h.click(x, y);
    EXPECT_EQ(stars("skulls")->get_value_i(), 2);
    h.save_png("/tmp/play_rating.png");

    click_button(1);  // Continue
    EXPECT_EQ(g().state, STATE_MENU_PLAY);
    MyResult rows = ratings();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["lid"], "test_room");
    EXPECT_EQ(rows[0]["stars"], "3");
    EXPECT_EQ(rows[0]["skulls"], "2");

    // The next win of the same map starts from the stored rating, and a new
    // one replaces it; any key continues.
    win(300, 1, 1, 0, STATE_MENU_DOWNLOAD2);
    EXPECT_EQ(stars("stars")->get_value_i(), 3);
    EXPECT_EQ(stars("skulls")->get_value_i(), 2);
    h.tick();
    icon_point("stars", 4, &x, &y);
    h.click(x, y);
    h.key(KEY_RETURN);
    EXPECT_EQ(g().state, STATE_MENU_DOWNLOAD2);
    rows = ratings();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["stars"], "5");
    EXPECT_EQ(rows[0]["skulls"], "2");
}

TEST_F(WinTest, ContinueAtOnceStoresAnEmptyRatingButAnEditorTestIsNotRated) {
    win(300, 1, 1, 0);
    h.tick();
    click_button(1);
    MyResult rows = ratings();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["stars"], "0");
    EXPECT_EQ(rows[0]["skulls"], "0");

    g().userdb.query("delete from ratings");
    win(300, 1, 1, 0, STATE_EDIT);
    EXPECT_EQ(stars("stars"), nullptr);
    h.tick();
    click_button(1);
    EXPECT_EQ(g().state, STATE_EDIT);
    EXPECT_TRUE(ratings().empty());
}

TEST_F(PlayTest, IntroSwoopsInAndEndsOnARelease) {
    build_room();
    start_play();
    ASSERT_EQ(g().state, STATE_LEVEL_INTRO);
    EXPECT_TRUE(shows(&screen_gui(), "The Test Room"));
    EXPECT_TRUE(shows(&screen_gui(), "Walk to the window."));
    EXPECT_EQ(lev().zoom, 50.0f);
    EXPECT_EQ(lev().is_init, 1);
    EXPECT_EQ(lev().frame, 2) << "set up, but the rules wait for the intro";
    h.tick();
    EXPECT_EQ(lev().zoom, 48.0f);
    // It eases towards the view that shows the whole room above the bar.
    float framed = lev().tzoom;
    EXPECT_LT(framed, 48.0f);
    h.tick(50);
    EXPECT_EQ(lev().zoom, framed);
    EXPECT_EQ(lev().frame, 2);

    h.press(480, 360);
    h.tick();
    EXPECT_EQ(g().state, STATE_LEVEL_INTRO) << "a press alone does not start play";
    h.release(480, 360);
    EXPECT_EQ(g().state, STATE_LEVEL);
    h.tick();
    EXPECT_EQ(lev().frame, 3);
    EXPECT_EQ(lev().zoom, framed);
}

// A death plays slowed with a red edge; then the pause panel sits low, under
// the body, headed by the cause in large type, with Rewind first and marked.
TEST_F(PlayTest, ADeathPlaysSlowlyThenSaysWhatKilled) {
    build_room();
    play();
    h.tick();
    Entity* p = player();
    ASSERT_TRUE(p);
    unsigned int edge_alive = h.pixel(3, 360);
    p->state = D_DEAD;
    p->frame = 0;
    g().death_cause = DEATH_SHOT;
    int ticks = 0;
    unsigned int edge_dying = 0;
    while (g().state == STATE_LEVEL && ticks < 120) {
        h.tick();
        if (++ticks == 12) edge_dying = h.pixel(3, 360);
    }
    ASSERT_EQ(g().state, STATE_PAUSE);
    EXPECT_GE(ticks, 28) << "half a second of dying, at half speed";
    EXPECT_LE(ticks, 32);
    EXPECT_GT((int)((edge_dying >> 16) & 0xFF), (int)((edge_alive >> 16) & 0xFF) + 60) << std::hex << edge_dying;
    EXPECT_GT((edge_dying >> 16) & 0xFF, ((edge_dying >> 8) & 0xFF) + 60) << "red";

    h.tick();
    EXPECT_EQ(label("cause"), "Seen by a guard");
    Label* cause = dynamic_cast<Label*>(screen_gui().find("cause"));
    ASSERT_TRUE(cause);
    EXPECT_EQ(cause->fnt.fid, font_load(FONT_TITLE));
    float px = 0, py = 0;
    ASSERT_TRUE(h.cell_to_canvas(_logic_cell(p->x), _logic_cell(p->y), &px, &py));
    EXPECT_LT(py, cause->get_abs_rect(true).y) << "the body stays in view above the panel";
    std::vector<Widget*> b = buttons();
    ASSERT_EQ(b.size(), 3u);
    std::sort(b.begin(), b.end(), [](Widget* x, Widget* y) { return x->get_abs_rect(true).x < y->get_abs_rect(true).x; });
    EXPECT_EQ(b[0]->onclick, 3) << "Rewind first";
    EXPECT_EQ(b[0]->style.box_tex, gfx_img_load("box3")) << "and marked as the way on";
}
