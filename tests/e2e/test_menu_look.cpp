// How the menus look, measured on the real game: a backdrop instead of
// black, the lists' maps inside their cards, dialogs that dim evenly and
// panels that cover, and the type scale, sliders and buttons.
#include <GL/gl.h>
#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "edit_internal.h"
#include "menu_internal.h"
#include "picture.h"
#include "test_menu.h"

using namespace menu_test;

namespace {

// Window pixel of a canvas point.
void win_px(Harness& h, float x, float y, int* wx, int* wy) {
    float fx, fy;
    h.to_window(x, y, &fx, &fy);
    *wx = (int)fx;
    *wy = (int)fy;
}

// A map of the user's, so that the build list has something to show.
void one_own_map(Harness& h) {
    Game& g = h.game();
    _menu_cur = 0;
    g.next(STATE_MENU_PLAY);
    h.tick();
    LevelData tutorial = g._edit;
    g._edit = tutorial;
    mystrcpy(g._edit.id, sizeof(g._edit.id), "own-1");
    g.level = g._edit;
    logic_save(g, g.userdb);
}

struct Size {
    int w, h;
};

}  // namespace

// No menu is mostly black: the dimmed featured map lies behind them all, on
// every window shape. (The share is printed; it was 83 % to 94 % before.)
TEST(MenuLook, MenusStandOnTheBackdropNotOnBlack) {
    const Size sizes[] = {{960, 720}, {1920, 1080}, {2560, 1080}};
    const int screens[] = {STATE_MENU_MAIN, STATE_MENU_SETTINGS, STATE_MENU_PLAY, STATE_MENU_EDIT, STATE_MENU_CREDITS};
    for (const Size& sz : sizes) {
        Harness h(sz.w, sz.h);
        h.start();
        for (int screen : screens) {
            h.game().next(screen);
            h.tick(2);
            Picture s = picture_of(h);
            ASSERT_EQ(s.w, sz.w);
            long black = 0;
            for (size_t i = 0; i + 3 < s.px.size(); i += 4) black += !s.px[i] && !s.px[i + 1] && !s.px[i + 2];
            double share = (double)black / ((double)s.w * s.h);
            printf("black share %dx%d screen %d: %.1f %%\n", sz.w, sz.h, screen, share * 100);
            EXPECT_LE(share, 0.5) << sz.w << "x" << sz.h << " screen " << screen;
        }
    }
}

// The main menu's CPU time per frame, paced as in play: printed for the
// record (the backdrop is a copy of a picture drawn once, no 3D per frame).
TEST(MenuLook, TheMainMenuDrawsNoMapPerFrame) {
    Harness h;
    h.start();
    h.tick(5);  // the backdrop is drawn on the first frame
    const int frames = 150;
    rusage a, b;
    getrusage(RUSAGE_SELF, &a);
    h.tick(frames);
    getrusage(RUSAGE_SELF, &b);
    auto ms = [](const rusage& r) {
        return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000.0 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000.0;
    };
    printf("main menu: %.2f ms of CPU a frame\n", (ms(b) - ms(a)) / frames);
    EXPECT_EQ(h.game().state, STATE_MENU_MAIN);
}

// A menu at rest is not drawn again: the frame on screen is kept, except
// once a second and when the window is exposed. A hover draws the frames of
// its fade, one step a tick (the fingerprint pass does not speed it up), then
// the menu rests again.
TEST(MenuLook, AMenuAtRestKeepsItsFrame) {
    Harness h;
    h.start();
    h.tick(40);
    // Whether a tick drew: it paints over a mark left in the back buffer.
    auto drew = [&h] {
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        h.tick();
        unsigned char p[4] = {0, 0, 0, 0};
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return !(p[0] == 255 && p[1] == 0 && p[2] == 0);
    };
    Event expose(EVT_SDLEVENT);
    expose.stype = SDL_VIDEOEXPOSE;
    h.send(expose);
    EXPECT_TRUE(drew());
    int drawn = 0;
    for (int i = 0; i < TICKS_PER_SECOND; i++) drawn += drew();
    EXPECT_EQ(drawn, 0);
    EXPECT_TRUE(drew()) << "the refresh of every second";

    Widget* play = find_button(&gui_of(STATE_MENU_MAIN), "Play");
    ASSERT_NE(play, nullptr);
    float x, y;
    centre(play, &x, &y);
    const StyleData& now = play->style.cur();
    int target = play->style.data[STYLE_HOVER].ovr_alpha;
    // The steps of the hover's fade, one a frame.
    auto fade = [&](const std::function<void()>& frame) {
        h.move(x, y);
        std::vector<int> steps;
        while (steps.size() < 10 && now.ovr_alpha != target) {
            frame();
            steps.push_back(now.ovr_alpha);
        }
        return steps;
    };
    std::vector<int> ticks = fade([&] { EXPECT_TRUE(drew()); });
    EXPECT_FALSE(drew()) << "at rest again";
    h.move(0, 0);
    h.tick(20);
    std::vector<int> frames = fade([&] { h.pixels(nullptr, nullptr); });
    EXPECT_EQ(ticks, frames) << "a tick steps the fades as a frame drawn once does";
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.back(), target);
}

// The tutorial list, the build list and the online list draw their map only
// inside the card: never over the list, its scroll bar or the tabs; later
// frames copy that picture.
TEST(MenuLook, ListsDrawTheirMapInsideTheCard) {
    const Size sizes[] = {{960, 720}, {1920, 1080}};
    for (const Size& sz : sizes) {
        Harness h(sz.w, sz.h);
        h.start();
        Game& g = h.game();
        one_own_map(h);
        int packed_len = 0;
        const char* data = logic_pack(g, &packed_len);
        ASSERT_TRUE(data);
        g.netdb.query("insert into levels (id,name,author,data,title,ts,uid,stars,skulls,intro,value,q) "
                      "values ('n1','n1','Ann',?,'Shared','0','g:Ann','3','2','A map.','0','c~newest')",
                      {std::string(data, (size_t)packed_len)});
        mystrcpy(g.q_value, sizeof(g.q_value), "c~newest");
        const struct {
            int screen;
            MyRect card;
        } lists[] = {
            {STATE_MENU_PLAY, MyRect(22, 142, 566, 496)},
            {STATE_MENU_EDIT, MyRect(MENU_CARD_X, MENU_CARD_Y, MENU_CARD_W, MENU_CARD_H)},
            {STATE_MENU_DOWNLOAD2, MyRect(MENU_CARD_X, MENU_CARD_Y, MENU_CARD_W, MENU_CARD_H)},
        };
        for (const auto& l : lists) {
            SCOPED_TRACE(std::to_string(sz.w) + " screen " + std::to_string(l.screen));
            g.next(l.screen);
            h.tick(2);
            menu_backdrop_flush();  // the card's map drawn anew, not copied
            Picture s = picture_of(h);
            int x0, y0, x1, y1;
            win_px(h, (float)l.card.x, (float)l.card.y, &x0, &y0);
            win_px(h, (float)(l.card.x + l.card.w), (float)(l.card.y + l.card.h), &x1, &y1);
            long inside = 0, outside = 0;
            for (int y = 0; y < s.h; y++)
                for (int x = 0; x < s.w; x++) {
                    if (s.depth[(size_t)y * s.w + x] >= 1) continue;
                    bool in = x >= x0 - 1 && x <= x1 + 1 && y >= y0 - 1 && y <= y1 + 1;
                    (in ? inside : outside)++;
                }
            EXPECT_GT(inside, (long)(x1 - x0) * (y1 - y0) / 10) << "the map shows in its card";
            EXPECT_EQ(outside, 0) << "nothing of the map outside the card";
            // Later frames copy the card's map: the same picture.
            Picture copy = picture_of(h);
            long differ = 0;
            for (int y = y0; y < y1; y++)
                for (int x = x0; x < x1; x++)
                    for (int c = 0; c < 3; c++) differ += std::abs(s.at(x, y)[c] - copy.at(x, y)[c]) > 8;
            EXPECT_LT(differ, (long)(x1 - x0) * (y1 - y0) / 100) << "the copy shows the map as drawn";
        }
    }
}

// The tutorial list's tabs are large enough to read and say which maps are won.
TEST(MenuLook, TutorialTabsReadAndShowWhatIsWon) {
    Harness h;
    h.start();
    Game& g = h.game();
    _menu_cur = 0;
    g.next(STATE_MENU_PLAY);
    h.tick();
    game_db_record_best(g, "t02", 2000);
    g.next(STATE_MENU_PLAY);
    h.tick();
    Widget* strip = gui_of(STATE_MENU_PLAY).find("strip");
    ASSERT_TRUE(strip);
    for (int i = 0; i < 3; i++) {
        Widget* tab = find_code(strip, MENU_ROW + i);
        ASSERT_TRUE(tab);
        MyRect r = tab->get_abs_rect(true);
        EXPECT_GE(r.h, 44) << i;
        EXPECT_GE(r.w, 44) << i;
        EXPECT_EQ(shows(tab, "won"), i == 1) << i;
    }
}

// A dialog dims everything behind it by one factor, beyond the canvas on a
// wide window too; the panels of forms and dialogs hide the map entirely.
TEST(MenuLook, DialogsDimEvenlyAndPanelsCover) {
    Harness h(1920, 1080);
    h.start();
    Game& g = h.game();
    one_own_map(h);
    GfxRect view = gfx_get_view();
    // Points well away from the dialog's panel: on the canvas and beyond it.
    const float points[][2] = {{view.x + view.w - 30, view.y + view.h - 30}, {view.x + 30, view.y + view.h - 30},
                               {view.x + 20, 200}, {60, 690}, {900, 120}};
    const struct {
        const char* what;
        int screen;
        std::function<void()> open;
    } dialogs[] = {
        {"delete", STATE_MENU_EDIT, [&] { _menu_delete(g, gui_of(STATE_MENU_EDIT)); }},
        {"sign in over the editor", STATE_EDIT, [&] {
             g.error_msg[0] = 0;
             g.context = STATE_EDIT;
             g.next(STATE_MENU_ERROR);
         }},
    };
    for (const auto& d : dialogs) {
        SCOPED_TRACE(d.what);
        if (d.screen == STATE_EDIT) g.level = g._edit;
        g.next(d.screen);
        h.tick(3);
        Picture before = picture_of(h);
        d.open();
        h.tick(3);
        Picture after = picture_of(h);
        std::vector<float> kept;
        for (const auto& p : points) {
            int x, y;
            win_px(h, p[0], p[1], &x, &y);
            float b = before.luma(x, y), a = after.luma(x, y);
            if (b > 0.06f) kept.push_back(a / b);
        }
        ASSERT_GE(kept.size(), 2u) << "points bright enough to compare";
        auto mm = std::minmax_element(kept.begin(), kept.end());
        EXPECT_LT(*mm.second, 0.5f) << "dimmed";
        EXPECT_LT(*mm.second - *mm.first, 0.08f) << "evenly";
    }

    // Forms over the map: the middle of the panel is the same whatever map lies beneath.
    const int forms[] = {STATE_EDIT_SHARE, STATE_EDIT_INFO};
    for (int form : forms) {
        SCOPED_TRACE(form);
        if (form == STATE_EDIT_INFO) _editinfo_page = EDITINFO_PAGE_BOMBS;
        g.level = g._edit;
        g.next(form);
        h.tick(3);
        Picture with = picture_of(h);
        logic_new(g);  // an empty map beneath
        g._edit = g.level;
        Picture without = picture_of(h);
        int cx, cy;
        win_px(h, CANVAS_W / 2.0f, 300, &cx, &cy);
        int differ = 0;
        for (int y = cy - 30; y < cy + 30; y++)
            for (int x = cx - 200; x < cx + 200; x++)
                differ += memcmp(with.at(x, y), without.at(x, y), 3) != 0;
        EXPECT_EQ(differ, 0);
        one_own_map(h);
    }
}

// One size per level of text, the sliders filled up to their thumbs, and a
// button that is not chosen not outlined in amber.
TEST(MenuLook, TypeScaleSlidersAndButtons) {
    Harness h;
    h.start();
    Game& g = h.game();
    int title = font_get_height(font_load(FONT_TITLE), "", 0), heading = font_get_height(font_load(FONT_HEADING), "", 0);
    int body = font_get_height(font_load(FONT_BODY), "", 0);
    EXPECT_GT(title, heading);
    EXPECT_GT(heading, body);

    h.tick(20);
    Widget* settings = find_button(&gui_of(STATE_MENU_MAIN), "Settings");
    ASSERT_TRUE(settings);
    MyRect r = settings->get_abs_rect(true);
    unsigned int rim = h.pixel(r.x + r.w / 2.0f, r.y + 11.5f);  // the frame's top rim
    EXPECT_LT((int)((rim >> 16) & 0xFF) - (int)(rim & 0xFF), 40) << std::hex << rim << " amber";

    _MenuSettings_page = MENU_SETTINGS_SOUND;
    g.settings.music = 50;
    g.next(STATE_MENU_SETTINGS);
    h.tick(3);
    Widget* music = gui_of(STATE_MENU_SETTINGS).find("music");
    ASSERT_TRUE(music);
    MyRect m = music->get_abs_rect(false);
    unsigned int filled = h.pixel(m.x + m.w * 0.2f, m.y + m.h / 2.0f);
    unsigned int empty = h.pixel(m.x + m.w * 0.75f, m.y + m.h / 2.0f);
    EXPECT_GT((filled >> 8) & 0xFF, ((empty >> 8) & 0xFF) + 40) << std::hex << filled << " " << empty;
}
