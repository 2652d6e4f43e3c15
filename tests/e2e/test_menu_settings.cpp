// The settings pages, the error and sign-in screen, and the scrolling
// credits and help, driven through the real game.
#include <gtest/gtest.h>

#include <algorithm>

#include <set>
#include <string>
#include <vector>

#include "driver.h"
#include "game_web_internal.h"
#include "menu_internal.h"
#include "test_menu.h"

using namespace menu_test;

namespace {

Container& settings_gui() { return gui_of(STATE_MENU_SETTINGS); }
Container& error_gui() { return gui_of(STATE_MENU_ERROR); }

int packed(int w, int h) { return (w << VRES_SHIFT) | h; }

// The values of a picker's items, in order.
std::vector<int> item_values(GridPicker& p) {
    std::vector<int> out;
    for (Widget* w : p.widgets) {
        if (w != p.me) out.push_back(w->get_value_i());
    }
    return out;
}

// The item of a picker that shows as chosen, or null.
Widget* chosen(GridPicker& p) {
    Widget* r = nullptr;
    for (Widget* w : p.widgets) {
        if (w != p.me && w->style.alt) {
            EXPECT_EQ(r, nullptr) << "two items chosen";
            r = w;
        }
    }
    return r;
}

// True once the online client sends requests (until then the service's
// operations are placeholders).
bool online_client(Game& g) { return game_core_request(g, "/p?", "valid") != "/p?"; }

// Opens the error screen the way the service client does.
void open_error(Game& g, const char* msg, int context = STATE_MENU_MAIN) {
    g.next(context);
    mystrcpy(g.error_msg, sizeof(g.error_msg), msg);
    g.context = g.state;
    g.next(STATE_MENU_ERROR);
}

// Drags a slider's thumb from its left end to x (canvas), one tick a step.
void drag(Harness& h, Widget* slider, float to_x, int steps, int* mid_value, int* mid_setting,
          int* setting) {
    MyRect r = slider->get_abs_rect(false);
    float y = r.y + r.h / 2.0f, x = (float)r.x + 5;
    h.press(x, y);
    h.tick();
    for (int i = 1; i <= steps; i++) {
        h.move(x + (to_x - x) * i / steps, y, 1);
        h.tick();
        if (i == steps / 2) {
            *mid_value = slider->get_value_i();
            *mid_setting = *setting;
        }
    }
    h.release(to_x, y);
    h.tick();
}

}  // namespace

TEST(MenuSettings, EveryPageChangeStoresTheSettings) {
    Harness h;
    h.start();
    Game& g = h.game();
    _MenuSettings_page = 0;
    g.settings.music = 30;
    g.settings.sfx = 70;
    g.next(STATE_MENU_SETTINGS);
    h.tick();
    Container& gui = settings_gui();
    EXPECT_TRUE(shows(&gui, "Music Volume"));
    ASSERT_TRUE(gui.find("music"));
    EXPECT_EQ(gui.find("music")->get_value_i(), 30);
    EXPECT_EQ(gui.find("sfx")->get_value_i(), 70);
    EXPECT_FALSE(find_button(&gui, "Previous")) << "no Previous on the first page";
    gui.find("music")->set_value_i(12);

    ASSERT_TRUE(click_button(h, gui, "Next"));
    EXPECT_EQ(_MenuSettings_page, 1);
    EXPECT_EQ(g.settings.music, 12);
    ASSERT_TRUE(gui.find("name"));
    EXPECT_FALSE(gui.find("music"));
    Widget* name = gui.find("name");
    name->_focus();
    h.type("ada");
    EXPECT_STREQ(name->get_value_s(), "ada");
    h.key(KEY_TAB);
    h.type("pw");
    EXPECT_STREQ(gui.find("passwd")->get_value_s(), "pw") << "Tab moves to the password";

    ASSERT_TRUE(click_button(h, gui, "Next"));
    EXPECT_EQ(_MenuSettings_page, 2);
    EXPECT_STREQ(g.settings.name, "ada");
    EXPECT_STREQ(g.settings.passwd, "pw");
    EXPECT_STREQ(g.settings.uid, "g:ada") << "the account fields are derived again";
    EXPECT_EQ(g.settings.music, 12) << "fields of other pages are left alone";
    EXPECT_TRUE(find_button(&gui, "Done")) << "Done on the last page";
    EXPECT_FALSE(find_button(&gui, "Next"));
    EXPECT_TRUE(find_button(&gui, "Previous"));

    ASSERT_TRUE(click_button(h, gui, "Previous"));
    EXPECT_EQ(_MenuSettings_page, 1);

    // Left another way, the screen reopens on the same page.
    g.next(STATE_MENU_MAIN);
    g.next(STATE_MENU_SETTINGS);
    EXPECT_EQ(_MenuSettings_page, 1);
    h.key(KEY_ESCAPE);
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
    EXPECT_EQ(_MenuSettings_page, 0) << "Done and Escape start over on the first page";
}

TEST(MenuSettings, MusicFollowsTheSliderWhileEffectsWaitForTheRelease) {
    Harness h;
    h.start();
    Game& g = h.game();
    _MenuSettings_page = 0;
    g.settings.music = 0;
    g.settings.sfx = 0;
    g.next(STATE_MENU_SETTINGS);
    h.tick();
    int mid_value = -1, mid_setting = -1;
    drag(h, settings_gui().find("music"), 700, 8, &mid_value, &mid_setting, &g.settings.music);
    EXPECT_GT(mid_value, 0);
    EXPECT_EQ(mid_setting, mid_value) << "the music volume follows the drag";
    EXPECT_GT(g.settings.music, mid_value);

    drag(h, settings_gui().find("sfx"), 700, 8, &mid_value, &mid_setting, &g.settings.sfx);
    EXPECT_GT(mid_value, 0);
    EXPECT_EQ(mid_setting, 0) << "the effects volume is stored on release only";
    EXPECT_EQ(g.settings.sfx, settings_gui().find("sfx")->get_value_i());
    EXPECT_GT(g.settings.sfx, 0);
}

TEST(MenuSettings, ResolutionPickerOffersEachSizeOnce) {
    Harness h;
    h.start();
    {
        // Fixed sizes listed again, repeats, too small modes and more than fit.
        std::vector<int> ws = {1920, 1280, 1920, 640, 400, 1024, 800};
        std::vector<int> hs = {1080, 720, 1080, 480, 300, 768, 600};
        for (int i = 0; i < 30; i++) {
            ws.push_back(2000 + i);
            hs.push_back(1000);
        }
        GridPicker p(5);
        menu_settings_vres_fill(p, ws.data(), hs.data(), (int)ws.size());
        std::vector<int> v = item_values(p);
        ASSERT_EQ(v.size(), (size_t)MENU_VRES_ITEMS_MAX);
        // "Auto", then every size from the smallest to the largest.
        EXPECT_EQ(v[0], -1);
        const int sorted[][2] = {{480, 320},  {640, 480},   {800, 600},   {960, 640},
                                 {1024, 768}, {1280, 720},  {1920, 1080}, {2000, 1000}};
        for (int i = 0; i < 8; i++) EXPECT_EQ(v[i + 1], packed(sorted[i][0], sorted[i][1])) << i;
        EXPECT_TRUE(std::is_sorted(v.begin() + 1, v.end()));
        EXPECT_EQ(std::set<int>(v.begin(), v.end()).size(), v.size()) << "no size twice";
        EXPECT_TRUE(shows(&p, "1920x1080"));
        EXPECT_TRUE(shows(&p, "Auto"));
        p.set_value_i(packed(333, 333));
        EXPECT_EQ(chosen(p), nullptr) << "an unknown value leaves every item unselected";
    }
    {
        GridPicker p(5);
        int w = 0, hh = 0;
        menu_settings_vres_fill(p, &w, &hh, -1);  // any size possible
        EXPECT_EQ(item_values(p).size(), 5u);
    }
}

TEST(MenuSettings, ChoosingAResolutionReopensTheWindowAndRebuildsThePage) {
    Harness h;
    h.start();
    Game& g = h.game();
    _MenuSettings_page = 2;
    g.next(STATE_MENU_SETTINGS);
    h.tick();
    GridPicker* vres = dynamic_cast<GridPicker*>(settings_gui().find("vres"));
    ASSERT_TRUE(vres);
    EXPECT_EQ(vres->get_value_i(), packed(960, 720));
    std::vector<int> v = item_values(*vres);
    EXPECT_EQ(std::set<int>(v.begin(), v.end()).size(), v.size());
    GridPicker* vfull = dynamic_cast<GridPicker*>(settings_gui().find("vfull"));
    ASSERT_TRUE(vfull);
    ASSERT_TRUE(chosen(*vfull));
    EXPECT_EQ(chosen(*vfull)->get_value_i(), -1) << "windowed";

    ASSERT_TRUE(click_button(h, settings_gui(), "1024x768"));
    EXPECT_EQ(g.settings.vres, packed(1024, 768));
    int w = 0, hh = 0;
    driver_get_size(&w, &hh);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(hh, 768);
    vres = dynamic_cast<GridPicker*>(settings_gui().find("vres"));
    ASSERT_TRUE(vres);
    ASSERT_TRUE(chosen(*vres));
    EXPECT_EQ(chosen(*vres)->get_value_i(), packed(1024, 768));

    ASSERT_TRUE(click_button(h, settings_gui(), "On"));
    EXPECT_EQ(g.settings.vfull, 1);
    vfull = dynamic_cast<GridPicker*>(settings_gui().find("vfull"));
    ASSERT_TRUE(vfull);
    ASSERT_TRUE(chosen(*vfull));
    EXPECT_EQ(chosen(*vfull)->get_value_i(), 1);
    ASSERT_TRUE(click_button(h, settings_gui(), "Off"));
    EXPECT_EQ(g.settings.vfull, -1);

    // The rebuilt page still answers the pointer at the new size.
    ASSERT_TRUE(click_button(h, settings_gui(), "Previous"));
    EXPECT_EQ(_MenuSettings_page, 1);
    _MenuSettings_page = 0;
}

TEST(MenuError, WithoutANameTheFormAsksForOne) {
    Harness h;
    h.start();
    Game& g = h.game();
    open_error(g, "E02: Wrong password.");
    h.tick();
    Container& gui = error_gui();
    EXPECT_TRUE(shows(&gui, "Sign In"));
    EXPECT_TRUE(shows(&gui, "Create account"));
    EXPECT_FALSE(shows(&gui, "E02: Wrong password.")) << "the message needs a name";
    ASSERT_TRUE(gui.find("passwd"));
    ASSERT_TRUE(gui.find("name"));

    // Return in a field signs in too.
    gui.find("name")->_focus();
    h.type("eve");
    h.key(KEY_RETURN);
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
    EXPECT_STREQ(g.settings.name, "eve");
}

TEST(MenuError, EscapeSignsInWithTheFields) {
    Harness h;
    h.start();
    Game& g = h.game();
    mystrcpy(g.settings.name, sizeof(g.settings.name), "bob");
    open_error(g, "E02: Wrong password.", STATE_MENU_PLAY);
    EXPECT_EQ(g.context, STATE_MENU_PLAY);
    h.tick();
    Container& gui = error_gui();
    EXPECT_TRUE(shows(&gui, "E02: Wrong password."));
    EXPECT_TRUE(shows(&gui, "Manage account"));
    Widget* name = gui.find("name");
    ASSERT_TRUE(name);
    EXPECT_STREQ(name->get_value_s(), "bob");
    name->_focus();
    h.key(KEY_END);
    h.type("by");
    h.key(KEY_TAB);
    h.type("sesame");
    w_valid = WebRequest();
    h.key(KEY_ESCAPE);
    EXPECT_EQ(g.state, STATE_MENU_PLAY) << "back to the screen the error came from";
    EXPECT_STREQ(g.settings.name, "bobby");
    EXPECT_STREQ(g.settings.passwd, "sesame");
    EXPECT_STREQ(g.settings.uid, "g:bobby");
    if (online_client(g)) {
        EXPECT_NE(w_valid.request.find("_action=valid"), std::string::npos);
    }
}

TEST(MenuError, AccountButtonStoresTheFieldsAndOpensTheAccountPage) {
    static std::vector<std::string> urls;
    urls.clear();
    Harness h;
    h.start();
    driver_set_url_handler([](const char* url) { urls.push_back(url); });
    Game& g = h.game();
    open_error(g, "E01: No such user.");
    Container& gui = error_gui();
    gui.find("name")->set_value_s("new user");
    ASSERT_TRUE(click_button(h, gui, "Create account"));
    EXPECT_STREQ(g.settings.name, "new user");
    driver_set_url_handler(nullptr);
    if (online_client(g)) {
        ASSERT_FALSE(urls.empty());
        EXPECT_EQ(urls.back(), game_web_url("/velquist/manage.php") + "?name=new%20user");
    }
}

TEST(MenuError, UpgradeNoticeOffersTheDownloadInsteadOfTheForm) {
    Harness h;
    h.start();
    Game& g = h.game();
    mystrcpy(g.settings.name, sizeof(g.settings.name), "bob");
    open_error(g, "X01: A new version is out.", STATE_MENU_EDIT);
    h.tick();
    Container& gui = error_gui();
    EXPECT_TRUE(shows(&gui, "Upgrade Available"));
    EXPECT_TRUE(shows(&gui, "Later"));
    EXPECT_TRUE(shows(&gui, "Download"));
    EXPECT_FALSE(shows(&gui, "Sign In"));
    EXPECT_FALSE(gui.find("name"));
    EXPECT_FALSE(gui.find("passwd"));
    ASSERT_TRUE(click_button(h, gui, "Later"));
    EXPECT_EQ(g.state, STATE_MENU_EDIT);
    EXPECT_STREQ(g.settings.name, "bob");
}

TEST(MenuError, AContextThatCannotBeShownFallsBackToTheMainMenu) {
    Harness h;
    h.start();
    Game& g = h.game();
    mystrcpy(g.error_msg, sizeof(g.error_msg), "G01: Invalid response.");
    for (int context : {(int)STATE_MENU_ERROR, 0, 77}) {
        g.context = context;
        g.next(STATE_MENU_ERROR);
        h.tick(2);  // drawn without drawing itself beneath
        h.key(KEY_ESCAPE);
        EXPECT_EQ(g.state, STATE_MENU_MAIN) << context;
    }
    // An unterminated message from a damaged record is read within its field.
    memset(g.error_msg, 'X', sizeof(g.error_msg));
    g.context = STATE_MENU_MAIN;
    g.next(STATE_MENU_ERROR);
    h.tick();
    EXPECT_TRUE(shows(&error_gui(), "Upgrade Available") || shows(&error_gui(), "Sign In"));
}

TEST(MenuCredits, ScrollUpAndEndByThemselves) {
    Harness h;
    h.start();
    Game& g = h.game();
    EXPECT_STREQ(menu_credits_text[0], "Velquist");
    EXPECT_STREQ(menu_credits_text[1], "1.0.3-Desktop-Linux-KAVODEL");
    g.next(STATE_MENU_CREDITS);
    Container& gui = gui_of(STATE_MENU_CREDITS);
    for (const char* t : {"Thanks", "Beta Testers", "Libs", "Artwork", "Fonts"})
        EXPECT_TRUE(shows(&gui, t)) << t;
    Widget* text = gui.find("text");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->_rect.y, 720) << "starts just below the screen";
    int height = text->_rect.h;
    EXPECT_GT(height, 720);
    h.tick(10);
    EXPECT_EQ(text->_rect.y, 700) << "two pixels a tick";
    int ticks = 10;
    while (g.state == STATE_MENU_CREDITS && ticks < 5000) {
        h.tick();
        ticks++;
    }
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
    EXPECT_EQ(ticks, (720 + height) / 2 + 1) << "ends when the last line has left the top";
}

TEST(MenuCredits, ClickOrEscapeEndsThemAtOnce) {
    Harness h;
    h.start();
    Game& g = h.game();
    g.next(STATE_MENU_CREDITS);
    h.tick(5);
    h.click(100, 100);
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
    g.next(STATE_MENU_CREDITS);
    h.key(KEY_ESCAPE);
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
}
