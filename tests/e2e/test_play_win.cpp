// The intro and win screens: the camera swoop, the points counted into the
// score, and the rating stored per map.
#include "test_play.h"
#include "widgets.h"

namespace {
// Every label text of a widget tree, in order.
void texts(Widget* w, std::vector<std::string>& out) {
    if (Label* l = dynamic_cast<Label*>(w)) out.push_back(l->txt);
    if (Container* c = dynamic_cast<Container*>(w))
        for (Widget* k : c->widgets) texts(k, out);
}

bool has_text(Container& gui, const std::string& t) {
    std::vector<std::string> all;
    texts(&gui, all);
    for (const std::string& s : all)
        if (s == t) return true;
    return false;
}
}  // namespace

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

TEST_F(WinTest, PointsCountIntoTheScoreAThousandASecond) {
    // 9 seconds, 3 of 4 cartridges and 2 bombs left.
    win(270, 3, 4, 2);
    EXPECT_EQ(label("time"), "985");
    EXPECT_EQ(label("bonus"), "750");
    EXPECT_EQ(label("extra"), "400");
    EXPECT_TRUE(has_text(screen_gui(), "0:09"));
    EXPECT_TRUE(has_text(screen_gui(), "3 / 4"));
    EXPECT_TRUE(has_text(screen_gui(), "+ 2"));
    h.tick();
    EXPECT_EQ(label("time"), "952");
    EXPECT_EQ(label("score"), "533");
    h.tick(29);  // the time points are used up in 30 ticks, 28 in the last one
    EXPECT_EQ(label("time"), "0");
    EXPECT_EQ(label("bonus"), "750");
    EXPECT_EQ(label("score"), "1485");
    h.tick(23 + 12);
    EXPECT_EQ(label("extra"), "4");
    h.tick();
    EXPECT_EQ(label("extra"), "0");
    EXPECT_EQ(label("score"), "2635");
    h.tick(10);
    EXPECT_EQ(label("score"), "2635");
}

TEST_F(WinTest, PointsHaveTheirFloorsAndCeilings) {
    win(10 * 60 * 30, 0, 0, 7);
    EXPECT_EQ(label("time"), "0");
    EXPECT_EQ(label("bonus"), "0");
    EXPECT_EQ(label("extra"), "1000");
    EXPECT_TRUE(has_text(screen_gui(), "10:00"));
    h.tick(40);
    EXPECT_EQ(label("score"), "1500");

    // The clock of the play time, shared with the heads-up display.
    win(1799, 4, 4, 0);
    EXPECT_TRUE(has_text(screen_gui(), "0:59"));
    EXPECT_EQ(label("bonus"), "1000");
    win(1800, 0, 4, 0);
    EXPECT_TRUE(has_text(screen_gui(), "1:00"));
    EXPECT_EQ(label("time"), "900");

    // A damaged record cannot score above the top.
    win(-900, 9, 4, -3);
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
    // Off the widget the preview goes and the chosen value shows in blue.
    h.move(x, y + 200);
    h.tick();
    EXPECT_EQ(stars("stars")->_value, 0.0f);
    unsigned int chosen = h.pixel(x, y);
    float x4, y4;
    icon_point("stars", 3, &x4, &y4);
    unsigned int empty = h.pixel(x4, y4);
    EXPECT_GT((preview >> 16) & 0xFF, (preview & 0xFF) + 60) << std::hex << preview << " yellow";
    EXPECT_GT(chosen & 0xFF, ((chosen >> 16) & 0xFF) + 40) << std::hex << chosen << " blue";
    EXPECT_NEAR((int)((empty >> 16) & 0xFF), (int)(empty & 0xFF), 12) << std::hex << empty << " grey";

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
    EXPECT_TRUE(has_text(screen_gui(), "The Test Room"));
    EXPECT_TRUE(has_text(screen_gui(), "Walk to the window."));
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
