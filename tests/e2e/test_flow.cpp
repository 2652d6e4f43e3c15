// The player's flow through the real game: help reached from the menu and
// the pause screen, tutorial progress, what the screens say about the
// online service and the user's files, and a quit that is never dropped.
#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "driver.h"
#include "edit.h"
#include "gfx.h"
#include "level.h"
#include "log.h"
#include "menu_internal.h"
#include "screenshots.h"
#include "test_menu.h"
#include "temp_dir.h"

using namespace menu_test;

namespace {

// Whether a widget below w shows the image.
bool shows_image(Widget* w, int img) {
    if (img && w->style.img == img) return true;
    if (Container* c = dynamic_cast<Container*>(w))
        for (Widget* k : c->widgets)
            if (shows_image(k, img)) return true;
    return false;
}

std::string label_text(Container& gui, const char* name) {
    Label* l = dynamic_cast<Label*>(gui.find(name));
    return l ? l->txt : "";
}

// The play copy becomes the loaded map, ready for a win screen: won in
// 9 seconds with every bomb left of its stock.
void won(Game& g, int parent) {
    g.level = g._edit;
    g.level.timer = 270;
    g.parent = parent;
    g.next(STATE_LEVEL_WIN);
    level_record_best(g);  // as play records a win on its way there
}

// The online list of the featured maps that net.db holds, from its first row.
void open_featured(Harness& h) {
    Game& g = h.game();
    mystrcpy(g.q_value, sizeof(g.q_value), "c~featured");
    mystrcpy(g.q_title, sizeof(g.q_title), "Featured");
    _menu_cur = 0;
    g.next(STATE_MENU_DOWNLOAD2);
    h.tick();
}

// A new map played for `ticks`, then the player shot and the pause screen opened.
void die_in_play(Harness& h, int ticks) {
    Game& g = h.game();
    logic_new(g);
    g.level = g._edit;
    g.parent = STATE_MENU_MAIN;
    g.next(STATE_LEVEL);
    h.key(KEY_RETURN);
    ASSERT_EQ(g.state, STATE_LEVEL);
    h.tick(ticks);
    logic_find(g, D_PLAYER)->state = D_DEAD;
    g.death_cause = DEATH_SHOT;
    h.key(KEY_ESCAPE);
}

}  // namespace

TEST(FlowHelp, ReachedFromTheMainMenuAndThePauseScreenPageByPage) {
    Harness h;
    h.start();
    Game& g = h.game();
    h.tick();
    ASSERT_TRUE(click_code(h, gui_of(g.state), MENU_HELP)) << "a Help link beside Credits";
    ASSERT_EQ(g.state, STATE_MENU_HELP);
    std::set<std::string> titles;
    for (int page = 0; page < MENU_HELP_PAGES; page++) {
        Container& gui = gui_of(g.state);
        std::string title = label_text(gui, "title");
        titles.insert(title);
        for (const char* icon : {"icon-bomb1", "icon-bomb2", "icon-bomb3", "icon-bomb4"}) {
            if (title == "Bombs") {
                EXPECT_TRUE(shows_image(&gui, gfx_img_load(icon))) << icon;
            }
        }
        if (page == MENU_HELP_PAGES - 1) {
            EXPECT_FALSE(find_button(&gui, "Next"));
            break;
        }
        ASSERT_TRUE(click_button(h, gui, "Next")) << page;
    }
    for (const char* t : {"The Goal", "Controls", "Bombs", "Guards", "Light and Darkness", "Rewind", "The Editor"})
        EXPECT_TRUE(titles.count(t)) << t;
    h.key(KEY_LEFT);
    EXPECT_EQ(label_text(gui_of(g.state), "title"), "Rewind");
    ASSERT_TRUE(click_button(h, gui_of(g.state), "Back"));
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
    h.key(KEY_F1);
    EXPECT_EQ(g.state, STATE_MENU_HELP);
    EXPECT_EQ(label_text(gui_of(g.state), "title"), "The Goal") << "help opens on its first page";
    h.key(KEY_ESCAPE);
    EXPECT_EQ(g.state, STATE_MENU_MAIN);

    // From a death on the pause screen, which names what killed the player.
    die_in_play(h, 0);
    ASSERT_EQ(g.state, STATE_PAUSE);
    EXPECT_TRUE(shows(&gui_of(g.state), "Seen by a guard"));
    EXPECT_FALSE(find_button(&gui_of(g.state), "Resume"));
    h.key(KEY_F1);
    EXPECT_EQ(g.state, STATE_MENU_HELP);
    h.key(KEY_ESCAPE);
    EXPECT_EQ(g.state, STATE_PAUSE) << "help returns where it was opened";
}

TEST(FlowTutorials, WinsAreMarkedWithTheBestScoreAndContinueGoesOnToTheNext) {
    Harness h;
    h.start();
    Game& g = h.game();
    own_game_db(g, h.user_file("tutorials.db"));
    store_map(g, g.gamedb, "id-a", "t01", "First");
    store_map(g, g.gamedb, "id-b", "t02", "Second");
    store_map(g, g.gamedb, "id-c", "t03", "Third");
    // The list opens where the player stands: the first tutorial not won yet.
    game_db_record_best(g, "t01", 100);
    _menu_cur = 2;
    g.next(STATE_MENU_MAIN);
    ASSERT_TRUE(click_button(h, gui_of(g.state), "Tutorial"));
    ASSERT_EQ(g.state, STATE_MENU_PLAY);
    h.tick();
    EXPECT_EQ(label_text(gui_of(g.state), "status"), "Tutorial 2 of 3: not finished yet");
    Widget* strip = gui_of(g.state).find("strip");
    ASSERT_TRUE(strip);
    EXPECT_TRUE(shows(strip, "1") && shows(strip, "2") && shows(strip, "3"));

    won(g, STATE_MENU_PLAY);
    int score = logic_points(g.level);
    h.tick();
    ASSERT_TRUE(click_button(h, gui_of(g.state), "Continue"));
    EXPECT_EQ(g.state, STATE_MENU_PLAY);
    EXPECT_EQ(_menu_cur, 2) << "the next tutorial is selected";
    EXPECT_STREQ(g._edit.name, "t03");
    ASSERT_TRUE(click_code(h, gui_of(g.state), MENU_ROW + 1)) << "the strip's numbers select";
    EXPECT_EQ(label_text(gui_of(g.state), "status"),
              "Tutorial 2 of 3: finished, best score " + std::to_string(score));

    // The last one: Continue leads to the main menu, which says so.
    _menu_cur = 2;
    g.next(STATE_MENU_PLAY);
    won(g, STATE_MENU_PLAY);
    h.key(KEY_RETURN);
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
    EXPECT_TRUE(gui_of(g.state).find("tutorial-done"));
}

TEST(FlowOnline, PagesOpenedAreAnnouncedAndGuestsAreToldWhy) {
    static int opened = 0;
    opened = 0;
    Harness h;
    h.start();
    Game& g = h.game();
    h.tick();
    driver_set_url_handler([](const char*) { opened++; });
    ASSERT_TRUE(click_code(h, gui_of(g.state), MENU_STATS));
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(game_notice_text(), "Opening your web browser...");
    h.tick(GAME_NOTICE_SHORT - TICKS_PER_SECOND / 2);  // half way through its fade
    EXPECT_EQ(game_notice_text(), "Opening your web browser...");
    screenshot(h, "notice-fading");
    h.tick(TICKS_PER_SECOND / 2);
    EXPECT_EQ(game_notice_text(), "") << "a short notice goes by itself";

    // Where no browser starts, the address stays on screen to be copied.
    driver_set_url_handler(nullptr);
    std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", "/nonexistent", 1);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(click_code(h, gui_of(g.state), MENU_STATS));
    testing::internal::GetCapturedStderr();
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
    EXPECT_NE(game_notice_text().find("Open this address yourself:\nhttp://"), std::string::npos)
        << game_notice_text();
    h.tick(GAME_NOTICE_LONG + 1);
    EXPECT_NE(game_notice_text(), "") << "an address to copy stays until it is closed";
    int x, y, w, hh;
    ASSERT_TRUE(game_notice_area(&x, &y, &w, &hh));
    EXPECT_EQ(x + w, CANVAS_W - 10) << "in the top right corner";
    EXPECT_LE(w, CANVAS_W / 2);
    EXPECT_FALSE(x <= CANVAS_W / 2 && y <= CANVAS_H / 2 && y + hh > CANVAS_H / 2) << "never over the centre";
    screenshot(h, "notice-sticky");
    h.click(x + w / 2.0f, y + hh / 2.0f);  // on the notice: it goes, nothing beneath reacts
    EXPECT_EQ(game_notice_text(), "");
    EXPECT_EQ(g.state, STATE_MENU_MAIN);

    // A guest's Friends: the sign-in form says why it is there.
    g.next(STATE_MENU_DOWNLOAD1);
    ASSERT_TRUE(click_button(h, gui_of(g.state), "Back"));
    EXPECT_EQ(g.state, STATE_MENU_DOWNLOAD2);
    g.next(STATE_MENU_DOWNLOAD1);
    ASSERT_TRUE(click_button(h, gui_of(g.state), "Friends"));
    ASSERT_EQ(g.state, STATE_MENU_ERROR);
    EXPECT_EQ(label_text(gui_of(g.state), "why"), "Friends are made from your account: sign in to see them.");
    h.key(KEY_ESCAPE);
    EXPECT_EQ(g.state, STATE_MENU_DOWNLOAD1);

    // A guest's rating: the win screen says when it counts.
    for (const char* name : {"", "Ann"}) {
        mystrcpy(g.settings.name, sizeof(g.settings.name), name);
        logic_new(g);
        won(g, STATE_MENU_DOWNLOAD2);
        EXPECT_EQ(gui_of(g.state).find("guest") != nullptr, !name[0]) << name;
    }
    g.next(STATE_MENU_SETTINGS);
    EXPECT_TRUE(shows(&gui_of(g.state), "Settings: Sound"));
}

TEST(FlowOnline, DamagedMapsCannotBePlayedAndLongTitlesAreCut) {
    Harness h;
    h.start();
    Game& g = h.game();
    std::string title(63, 'W');
    store_map(g, g.netdb, "c~featured|good", "good", title.c_str());
    store_map(g, g.netdb, "c~featured|bad", "bad", "Broken");
    g.netdb.query("update levels set q = 'c~featured', value = 1", {});
    g.netdb.query("update levels set value = 2, data = 'not a map' where id = 'c~featured|bad'", {});
    open_featured(h);
    Container& gui = gui_of(g.state);
    EXPECT_TRUE(gui.find("play"));
    std::vector<std::string> t = label_texts(&gui);
    int cut = 0;
    for (const std::string& s : t) cut += s.size() > 3 && s.size() < title.size() && s.compare(s.size() - 3, 3, "...") == 0;
    EXPECT_GE(cut, 2) << "in the list entry and in the panel";

    testing::internal::CaptureStderr();
    ASSERT_TRUE(click_code(h, gui, MENU_ROW + 1));
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(shows(&gui, "This map is damaged"));
    EXPECT_TRUE(shows(&gui, "Broken"));
    EXPECT_FALSE(gui.find("play"));
    h.key(KEY_ESCAPE);
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
}

TEST(FlowNothingLost, AFailedSaveKeepsTheMapInTheEditorAndADamagedFileIsKeptAside) {
    Harness h;
    // A maps file that is no database at all.
    std::string garbage(2048, 'z');
    std::ofstream(h.user_file("user.db"), std::ios::binary) << garbage;
    h.start();
    Game& g = h.game();
    g.next(STATE_MENU_EDIT);
    h.tick();
    EXPECT_TRUE(shows(&gui_of(g.state), "Your maps file cannot be read"));
    EXPECT_TRUE(find_code(&gui_of(g.state), MENU_FRESH));
    EXPECT_EQ(file_bytes(h.user_file("user.db")), garbage);

    // Building anyway: the save fails, says so, and the map stays.
    logic_new(g);
    mystrcpy(g._edit.title, sizeof(g._edit.title), "My first map");
    g.next(STATE_EDIT_MENU);
    ASSERT_TRUE(click_button(h, gui_of(g.state), "Save & Quit"));
    EXPECT_EQ(g.state, STATE_EDIT_MENU);
    EXPECT_TRUE(shows(&gui_of(g.state), "Your map was not saved:"));
    EXPECT_STREQ(g._edit.title, "My first map");
    EXPECT_EQ(file_bytes(h.user_file("user.db")), garbage);

    ASSERT_TRUE(click_code(h, gui_of(g.state), EDITMENU_FRESH));
    EXPECT_EQ(g.state, STATE_MENU_EDIT);
    EXPECT_TRUE(shows(&gui_of(g.state), "My first map"));
    std::string note = label_text(gui_of(g.state), "note");
    ASSERT_EQ(note.find("The old file is kept as user.db.damaged-"), 0u) << note;
    std::string kept = note.substr(strlen("The old file is kept as "));
    kept.pop_back();  // the full stop
    EXPECT_EQ(file_bytes(h.user_file(kept.c_str())), garbage);
}

TEST(FlowQuit, AQuitDuringAModeChangeStillQuitsAndSaves) {
    Harness h(960, 720);
    h.start();
    Game& g = h.game();
    // A window close queued just before the mode changes, then a signal.
    SDL_Event se;
    memset(&se, 0, sizeof(se));
    se.type = SDL_QUIT;
    SDL_PushEvent(&se);
    g.video_reset();
    h.tick();
    EXPECT_EQ(g.quit, 1) << "the close queued before the mode change";
    g.quit = 0;
    raise(SIGTERM);
    g.video_reset();
    h.tick();
    EXPECT_EQ(g.quit, 1) << "a SIGTERM while the mode changed";
    g.next(STATE_MENU_SETTINGS);
    h.stop();
    EXPECT_EQ(file_bytes(h.user_file("state.dat")).size(), (size_t)GAME_STATE_FILE_SIZE);

    // A window size no display has falls back to the desktop's at once.
    Harness wide(524287, 4095);
    wide.start();
    EXPECT_EQ(wide.game().settings.vres, -1);
    wide.stop();
}

TEST(FlowQuit, WithoutAnyVideoModeTheGameSaysWhyAndLeavesTheFilesAlone) {
    std::string display = getenv("DISPLAY") ? getenv("DISPLAY") : "";
    Harness h;
    std::string settings = file_bytes(h.user_file("settings.dat"));
    setenv("DISPLAY", ":97.0", 1);  // nobody answers there
    testing::internal::CaptureStderr();
    h.start();
    std::string log = testing::internal::GetCapturedStderr();
    setenv("DISPLAY", display.c_str(), 1);
    Game& g = h.game();
    EXPECT_EQ(g.quit, 1);
    EXPECT_NE(g.exit_status, 0);
    EXPECT_NE(log.find("Velquist cannot start: it needs an OpenGL window"), std::string::npos) << log;
    EXPECT_NE(log.find("the platform answered: "), std::string::npos);
    h.stop();
    EXPECT_EQ(file_bytes(h.user_file("settings.dat")), settings);
    for (const char* f : {"state.dat", "user.db", "net.db"})
        EXPECT_FALSE(std::filesystem::exists(h.user_file(f))) << f;
}

TEST(FlowResume, RewindAndTheCauseOfDeathSurviveARestart) {
    Harness h;
    h.start();
    Game& g = h.game();
    die_in_play(h, 60);  // ten snapshots before the death
    ASSERT_EQ(g.state, STATE_PAUSE);
    int died_at = g.level.frame;
    h.stop();
    std::string ring = file_bytes(h.user_file("rewind.dat"));
    ASSERT_EQ(ring.size(), (size_t)GAME_REWIND_FILE_SIZE);

    {
        // A side file of another play: today's pause screen, without a crash.
        std::string other = ring;
        other[20] ^= 1;
        std::ofstream(h.user_file("rewind.dat"), std::ios::binary) << other;
        Harness damaged(h.home());
        testing::internal::CaptureStderr();
        damaged.start();
        std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find("rewind.dat does not belong to the saved play"), std::string::npos) << log;
        ASSERT_EQ(damaged.game().state, STATE_PAUSE);
        EXPECT_TRUE(shows(&gui_of(damaged.game().state), "You died"));
    }
    std::ofstream(h.user_file("rewind.dat"), std::ios::binary) << ring;

    Harness again(h.home());
    again.start();
    Game& a = again.game();
    ASSERT_EQ(a.state, STATE_PAUSE);
    EXPECT_TRUE(shows(&gui_of(a.state), "Seen by a guard"));
    ASSERT_TRUE(click_button(again, gui_of(a.state), "Rewind"));
    EXPECT_LT(a.level.frame, died_at) << "the first snapshot is already back";
    ASSERT_TRUE(again.tick_until([&] { return a.state == STATE_LEVEL; }, 100));
    EXPECT_EQ(a.level.t_rewind, 1);
    EXPECT_NE(logic_find(a, D_PLAYER)->state, D_DEAD) << "back before the death";
}

TEST(FlowLists, TheFeaturedListKeepsItsPlaceAfterAPlayAndTheWheelMovesThreeRows) {
    Harness h;
    h.start();
    Game& g = h.game();
    const int maps = 12;
    for (int i = 0; i < maps; i++) {
        std::string n = std::to_string(i);
        store_map(g, g.netdb, ("c~featured|m" + n).c_str(), ("m" + n).c_str(), ("Map " + n).c_str());
    }
    g.netdb.query("update levels set q = 'c~featured', value = rowid", {});
    open_featured(h);
    auto list = [&] { return dynamic_cast<ScrollBox2*>(gui_of(g.state).find("list")); };
    ASSERT_TRUE(list());
    Widget* rows = list()->box->widgets[0];
    int row_h = rows->_rect.h / maps;
    h.move(160, 300);
    h.wheel(160, 300, 1);
    EXPECT_NEAR(list()->box->view.y, 3 * row_h, 1) << "one notch, three rows";
    h.wheel(160, 300, 1);
    int scrolled = list()->box->view.y;
    ASSERT_TRUE(click_code(h, gui_of(g.state), MENU_ROW + 8));
    ASSERT_EQ(_menu_cur, 8);
    screenshot(h, "featured-scrolled");

    ASSERT_TRUE(click_button(h, gui_of(g.state), "Play"));
    h.key(KEY_RETURN);
    ASSERT_EQ(g.state, STATE_LEVEL);
    h.key(KEY_ESCAPE);
    ASSERT_TRUE(click_button(h, gui_of(g.state), "Quit"));
    ASSERT_EQ(g.state, STATE_MENU_DOWNLOAD2);
    h.tick();
    EXPECT_EQ(_menu_cur, 8);
    EXPECT_EQ(list()->box->view.y, scrolled) << "the list stays where it was";
    EXPECT_STREQ(g._edit.title, "Map 8");
}

TEST(FlowMenus, BackButtonsTheAccountsLabelsAndTheShakeSwitch) {
    Harness h;
    h.start();
    Game& g = h.game();
    g.next(STATE_MENU_SETTINGS);
    ASSERT_TRUE(click_button(h, gui_of(g.state), "Back"));
    EXPECT_EQ(g.state, STATE_MENU_MAIN);

    g.next(STATE_MENU_SETTINGS);
    ASSERT_TRUE(click_button(h, gui_of(g.state), "Next"));
    g.context = STATE_MENU_MAIN;
    for (int screen : {STATE_MENU_SETTINGS, STATE_MENU_ERROR}) {
        if (screen == STATE_MENU_ERROR) g.next(screen);
        Container& gui = screen == STATE_MENU_ERROR ? gui_of(g.state) : gui_of(g.state);
        EXPECT_TRUE(shows(&gui, "Velquist name") && shows(&gui, "Password")) << screen;
        for (const std::string& t : label_texts(&gui)) EXPECT_EQ(t.find("KAVODEL"), std::string::npos) << t;
    }
    g.next(STATE_MENU_SETTINGS);
    ASSERT_TRUE(click_button(h, gui_of(g.state), "Next"));
    EXPECT_TRUE(shows(&gui_of(g.state), "Shake the view on blasts"));
    screenshot(h, "settings-video");
    Widget* shake = gui_of(g.state).find("shake");
    ASSERT_TRUE(shake);
    ASSERT_TRUE(click_button(h, *static_cast<Container*>(shake), "Off"));
    EXPECT_EQ(g.screen_shake, 0);
    EXPECT_EQ(g.state, STATE_MENU_SETTINGS) << "no video mode change";

    // The title page of a new map leads back to the build list; opened from
    // the editor's menu, back to that menu.
    g.next(STATE_MENU_EDIT);
    ASSERT_TRUE(click_button(h, gui_of(g.state), "New"));
    ASSERT_EQ(g.state, STATE_EDIT_INFO);
    ASSERT_TRUE(click_button(h, gui_of(g.state), "Back"));
    EXPECT_EQ(g.state, STATE_MENU_EDIT);
    g.next(STATE_EDIT_MENU);
    ASSERT_TRUE(click_button(h, gui_of(g.state), "Title & Options"));
    ASSERT_TRUE(click_button(h, gui_of(g.state), "Back"));
    EXPECT_EQ(g.state, STATE_EDIT_MENU);
    h.stop();

    Harness again(h.home());
    again.start();
    EXPECT_EQ(again.game().screen_shake, 0) << "kept beside settings.dat";
    EXPECT_EQ(file_bytes(h.user_file("settings.dat")).size(), sizeof(Settings));
}

TEST(FlowQuiet, AStartPrintsOnlyWarningsUnlessAskedToBeVerbose) {
    for (bool verbose : {false, true}) {
        log_set_verbose(verbose);
        Harness h;
        testing::internal::CaptureStderr();
        h.start();
        h.tick(10);
        h.stop();
        std::string log = testing::internal::GetCapturedStderr();
        int lines = (int)std::count(log.begin(), log.end(), '\n');
        if (verbose) EXPECT_GT(lines, 100) << "what was loaded, tile by tile";
        else EXPECT_LT(lines, 10) << log;
    }
    log_set_verbose(false);
}
