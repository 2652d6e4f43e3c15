// The road of a shared map against the reference service: beaten cleanly from
// the editor's share screen and shared, found in the newest maps and among its
// author's, downloaded, played, rated and proven from the browser and watched
// from the replay the service kept; a sign-in with the
// wrong password; and the built service program replaying the game's win.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "edit.h"
#include "engine.h"
#include "level.h"
#include "menu_internal.h"
#include "server.h"
#include "game_web_internal.h"
#include "test_online_service.h"
#include "watch_internal.h"
#include "widgets.h"

using namespace onlinetest;

namespace {

// The reference service on a free loopback port, with its own store and the
// featured maps it ships with.
class ReferenceService {
public:
    ReferenceService() {
        char tmpl[] = "/tmp/velquist-service-XXXXXX";
        const char* d = mkdtemp(tmpl);
        dir = d ? d : "";
        EXPECT_TRUE(server_store_open(s.store, dir));
#ifdef VELQUIST_SEED_DB
        server_store_seed(s.store, VELQUIST_SEED_DB);
#endif
        daemon = server_daemon_start(s, "127.0.0.1", 0);
        EXPECT_NE(nullptr, daemon);
        if (daemon) game_web_set_service({"127.0.0.1", server_daemon_port(daemon), 30, GAME_WEB_EXCHANGE_MAX});
    }
    ~ReferenceService() {
        if (daemon) server_daemon_stop(daemon);
        s.store.db.close();
        std::string cmd = "rm -rf '" + dir + "'";
        if (!dir.empty() && system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
    }

    Server s;
    std::string dir;
    ServerDaemon* daemon = nullptr;
};

// Waits for the list being fetched to arrive and the screen to show it.
void await_list(Harness& h) {
    EXPECT_TRUE(loop_until(h.game(), [] { return idle(w_download); }, 20));
    h.tick();
}

// Writes the account into settings.dat before the game starts.
void sign_in_as(Harness& h, const char* name, const char* password) {
    Settings s;
    memset(&s, 0, sizeof(s));
    {
        std::ifstream in(h.user_file("settings.dat"), std::ios::binary);
        in.read((char*)&s, sizeof(s));
    }
    mystrcpy(s.name, sizeof(s.name), name);
    mystrcpy(s.passwd, sizeof(s.passwd), password);
    std::ofstream out(h.user_file("settings.dat"), std::ios::binary);
    out.write((const char*)&s, sizeof(s));
}

const Entity* player_of(Game& g) {
    for (const Entity& e : g.level.items)
        if (e.active && e.type == D_PLAYER) return &e;
    return nullptr;
}

// From the intro of a map whose window stands two cells east of the start:
// walks beside the window and waits for the win screen.
void escape_east(Harness& h) {
    Game& g = h.game();
    ASSERT_EQ(STATE_LEVEL_INTRO, g.state);
    h.key(KEY_RETURN);
    ASSERT_EQ(STATE_LEVEL, g.state);
    h.tick(2);
    const Entity* player = player_of(g);
    ASSERT_NE(nullptr, player);
    int x = (int)player->x, y = (int)player->y;
    ASSERT_TRUE(h.click_cell(x + 1, y));
    EXPECT_TRUE(h.tick_until([&] { return g.state == STATE_LEVEL_WIN; }, 240));
    ASSERT_EQ(STATE_LEVEL_WIN, g.state);
}

// Clicks the n-th icon of the win screen's row of rating icons called `name`.
void rate(Harness& h, const char* name, int n) {
    Game& g = h.game();
    h.tick();
    ASSERT_EQ(STATE_LEVEL_WIN, g.state);
    Widget* w = gui_of(g.state).find(name);
    Stars* stars = dynamic_cast<Stars*>(w);
    ASSERT_NE(nullptr, stars);
    MyRect r = stars->get_abs_rect(true);
    float x = r.x + (n - 0.5f) * r.w / STARS_COUNT, y = r.y + r.h / 2.0f;
    h.move(x, y);
    h.click(x, y);
    EXPECT_EQ(n, stars->get_value_i());
}

// The stars the list now shown gives the map called `name`.
double listed_stars(Game& g, const std::string& name) {
    MyResult r = g.netdb.query("select stars from levels where name = ? and q = ?", {name, g.q_value});
    return r.empty() ? -1 : atof(r[0]["stars"].c_str());
}

}  // namespace

TEST(OnlineEndToEnd, WrongPasswordShowsTheErrorScreen) {
    ReferenceService service;
    ASSERT_TRUE(server_account_create(service.s.store, "Ann", "secret"));
    Harness h;
    sign_in_as(h, "Ann", "not her password");
    h.start();
    Game& g = h.game();
    ASSERT_TRUE(loop_until(g, [] { return idle(w_valid); }));
    h.tick();
    ASSERT_EQ(STATE_MENU_ERROR, g.state);
    EXPECT_STREQ("Wrong user name or password.", g.error_msg);
    EXPECT_FALSE(find_labels(&gui_of(g.state), "Wrong user name or password.").empty()) << "the screen shows the service's words";
}

TEST(OnlineEndToEnd, SharedMapIsFoundAmongTheNewestAndItsAuthorsThenPlayedRatedProvenAndWatched) {
    ReferenceService service;
    ASSERT_TRUE(server_account_create(service.s.store, "Ann", "secret"));
    ASSERT_TRUE(server_account_create(service.s.store, "Bob", "hunter2"));
    Harness h;
    sign_in_as(h, "Ann", "secret");
    h.start();
    Game& g = h.game();
    ASSERT_TRUE(loop_until(g, [] { return idle(w_valid); }));
    ASSERT_EQ(STATE_MENU_MAIN, g.state) << g.error_msg;

    // A new map with a window two cells east of the start. Its share screen
    // asks for a clean win first; won, it offers the map to everyone. It has
    // no Map ID of its own, so it goes out under its id.
    logic_new(g);
    const int c = MAP_SIZE / 2;
    g.next(STATE_EDIT);
    h.tick();
    edit_change(g, c + 2, c, 7);
    mystrcpy(g._edit.title, sizeof(g._edit.title), "Ann's first map");
    mystrcpy(g._edit.intro, sizeof(g._edit.intro), "A window and the way to it.");
    std::string id = g._edit.id;
    g.next(STATE_EDIT_SHARE);
    ASSERT_TRUE(find_labels(&gui_of(g.state), "To Everyone").empty()) << "not offered before a clean win";
    ASSERT_TRUE(h.click_label("Play"));
    escape_east(h);
    h.key(KEY_RETURN);  // Continue
    ASSERT_EQ(STATE_EDIT_SHARE, g.state);
    EXPECT_EQ(0, g._edit.dirty);
    ASSERT_TRUE(h.click_label("To Everyone"));
    ASSERT_TRUE(loop_until(g, [] { return idle(w_share); }, 20));
    ASSERT_NE(STATE_MENU_ERROR, g.state) << g.error_msg;
    ServerMap stored;
    ASSERT_TRUE(server_map_find(service.s.store, id, stored));
    EXPECT_EQ("g:Ann", stored.uid);

    // Bob signs in on the same machine: an author's own ratings do not count.
    mystrcpy(g.settings.name, sizeof(g.settings.name), "Bob");
    mystrcpy(g.settings.passwd, sizeof(g.settings.passwd), "hunter2");
    g.settings_check();
    g.valid();
    ASSERT_TRUE(loop_until(g, [] { return idle(w_valid); }));
    ASSERT_NE(STATE_MENU_ERROR, g.state) << g.error_msg;

    // Play from the main menu opens the featured maps; the heading leads to
    // the categories, and the newest maps hold the shared one.
    g.next(STATE_MENU_MAIN);
    ASSERT_TRUE(h.click_label("Play"));
    ASSERT_EQ(STATE_MENU_DOWNLOAD2, g.state);
    await_list(h);
    ASSERT_TRUE(h.click_label("Featured"));
    ASSERT_EQ(STATE_MENU_DOWNLOAD1, g.state);
    ASSERT_TRUE(h.click_label("Newest"));
    await_list(h);
    ASSERT_EQ(STATE_MENU_DOWNLOAD2, g.state);
    ASSERT_TRUE(h.click_label("Ann's first map"));
    EXPECT_STREQ("Ann", g._edit.author);
    EXPECT_STREQ(id.c_str(), g._edit.name);
    EXPECT_EQ(0, listed_stars(g, id)) << "nobody has rated it yet";

    // Its author's maps.
    ASSERT_TRUE(h.click_label("More by"));
    EXPECT_STREQ("u~g:Ann", g.q_value);
    await_list(h);
    EXPECT_EQ(1, _menu_total);
    ASSERT_TRUE(h.click_label("More by Ann"));  // the heading names the list
    ASSERT_EQ(STATE_MENU_DOWNLOAD1, g.state);
    h.key(KEY_ESCAPE);
    ASSERT_EQ(STATE_MENU_DOWNLOAD2, g.state);
    EXPECT_EQ(1, _menu_total);

    // Downloaded, played from the browser and won; the win screen takes
    // Bob's rating of four stars, which the next download of the list shows.
    ASSERT_TRUE(h.click_label("Ann's first map"));
    ASSERT_TRUE(h.click_label("Play"));
    EXPECT_EQ(STATE_MENU_DOWNLOAD2, g.parent);
    EXPECT_STREQ("Ann's first map", g.level.title);
    escape_east(h);
    rate(h, "stars", 4);
    rate(h, "skulls", 2);
    h.key(KEY_RETURN);  // Continue
    ASSERT_EQ(STATE_MENU_DOWNLOAD2, g.state);
    ASSERT_TRUE(loop_until(g, [] { return idle(w_plays); }, 20));
    // The win went to the service as a proof: it played Bob's replay and
    // keeps his score under his account.
    ASSERT_TRUE(loop_until(g, [] { return idle(w_proof); }, 20));
    ServerStandings proven;
    ASSERT_TRUE(server_proof_standings(service.s.store, id, "g:Bob", proven));
    ASSERT_TRUE(proven.has_own) << game_notice_text();
    EXPECT_EQ(1, proven.own.rank);
    EXPECT_EQ(1, proven.count);
    ASSERT_TRUE(h.click_label("Refresh"));
    await_list(h);
    EXPECT_EQ(4, listed_stars(g, id));
    std::vector<Widget*> shown = find_widgets(
        &gui_of(g.state), [](Widget* w) { Stars* s = dynamic_cast<Stars*>(w); return s && s->ignore && s->value == 4; });
    EXPECT_EQ(1u, shown.size()) << "the entry's stars show the rating";

    // Bob watches how Ann's map is won, from the replay the service kept.
    ASSERT_TRUE(h.click_label("Watch how it was won"));
    ASSERT_TRUE(h.click_label("Watch"));
    ASSERT_TRUE(loop_until(g, [] { return watch_progress().phase == WATCH_DONE; }, 20)) << game_notice_text();
    EXPECT_EQ(STATE_LEVEL_WIN, watch_progress().ended);
}

namespace {

// The built service program on a free loopback port, with its own store and
// featured maps, started from the tests' folder so that it finds the game's
// tile catalogue as `make play` has it find it.
class ServiceProgram {
public:
    ServiceProgram() {
        int fd = loopback_listen(1, &port);
        if (fd >= 0) ::close(fd);  // the port is free again for the child
        char tmpl[] = "/tmp/velquist-program-XXXXXX";
        const char* d = mkdtemp(tmpl);
        dir = d ? d : "";
        std::string store = dir + "/store", port_text = std::to_string(port);
        child = fork();
        if (child == 0) {
            execl(VELQUIST_SERVER_BIN, VELQUIST_SERVER_BIN, "--data", store.c_str(), "--port", port_text.c_str(),
                  "--seed", VELQUIST_SEED_DB, (char*)nullptr);
            _exit(127);
        }
        game_web_set_service({"127.0.0.1", port, 30, GAME_WEB_EXCHANGE_MAX});
    }
    ~ServiceProgram() {
        if (child > 0) {
            kill(child, SIGTERM);
            waitpid(child, nullptr, 0);
        }
        std::string cmd = "rm -rf '" + dir + "'";
        if (!dir.empty() && system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
    }

    // A POST to one of its pages, answered or not within a few seconds.
    bool post(const char* path, const std::string& body) {
        for (int tries = 0; tries < 100; tries++) {
            WebRequest r;
            r.host = "127.0.0.1";
            r.port = port;
            r.request = path;
            r.post = body;
            r.timeout = 5.0f;
            r.exec();
            auto end = Clock::now() + std::chrono::seconds(5);
            while (!r.poll() && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            bool answered = !r.has_error();
            r.close();
            if (answered) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));  // still starting
        }
        return false;
    }

    int port = 0;
    pid_t child = -1;
    std::string dir;
};

}  // namespace

TEST(OnlineEndToEnd, TheServiceProgramTakesAFreshWinAndRefusesATamperedMap) {
    ServiceProgram service;
    ASSERT_GT(service.child, 0);
    kv_web_init();
    ASSERT_TRUE(service.post("/velquist/manage.php", "&do=create&name=Ann&password=secret1&again=secret1"));
    Harness h;
    sign_in_as(h, "Ann", "secret1");
    h.start();
    Game& g = h.game();
    ASSERT_TRUE(loop_until(g, [] { return idle(w_valid); }));
    ASSERT_EQ(STATE_MENU_MAIN, g.state) << g.error_msg;

    // A fresh map, won cleanly from its share screen with a step key under a
    // camera turned a quarter, a bomb key without bombs, and a click: the
    // win's replay is kept with the map, and the service plays it before it
    // takes the map.
    logic_new(g);
    const int c = MAP_SIZE / 2;
    g.next(STATE_EDIT);
    h.tick();
    edit_change(g, c + 2, c, 7);
    mystrcpy(g._edit.title, sizeof(g._edit.title), "Ann's replayed map");
    g._edit.rotate = g._edit.trotate = 90;
    g.next(STATE_EDIT_SHARE);
    ASSERT_TRUE(h.click_label("Play"));
    ASSERT_EQ(STATE_LEVEL_INTRO, g.state);
    h.key(KEY_RETURN);
    ASSERT_EQ(STATE_LEVEL, g.state);
    h.key_down(KEY_d, 'd');  // screen right: the map's (-1, -1) with this camera
    h.tick(12);
    h.key_up(KEY_d, 'd');
    h.key(KEY_1, '1');
    h.tick(12);
    const Entity* player = player_of(g);
    ASSERT_NE(nullptr, player);
    EXPECT_EQ(c - 1, (int)player->x);
    EXPECT_EQ(c - 1, (int)player->y);
    ASSERT_TRUE(h.click_cell(c + 1, c));
    EXPECT_TRUE(h.tick_until([&] { return g.state == STATE_LEVEL_WIN; }, 240));
    ASSERT_EQ(STATE_LEVEL_WIN, g.state);
    h.key(KEY_RETURN);  // Continue
    ASSERT_EQ(STATE_EDIT_SHARE, g.state);
    EXPECT_FALSE(game_replay_find(g.userdb, g._edit.id).empty());
    ASSERT_TRUE(h.click_label("To Everyone"));
    ASSERT_TRUE(loop_until(g, [] { return idle(w_share); }, 20));
    ASSERT_NE(STATE_MENU_ERROR, g.state) << g.error_msg;
    mystrcpy(g.q_value, sizeof(g.q_value), "u~g:Ann");
    g.download();
    ASSERT_TRUE(loop_until(g, [] { return idle(w_download); }, 20));
    MyResult listed = net_rows(g, "u~g:Ann");
    ASSERT_EQ(1u, listed.size());
    EXPECT_EQ("Ann's replayed map", listed[0]["title"]);

    // A game changed to skip the win: the map is walled off after it, still
    // marked as beaten. The service sees that the replay won another map.
    g._edit.data[c][c + 1] = 5;
    g.next(STATE_EDIT_SHARE);
    ASSERT_TRUE(h.click_label("To Everyone"));
    ASSERT_TRUE(loop_until(g, [] { return idle(w_share); }, 20));
    h.tick();
    EXPECT_EQ(STATE_MENU_ERROR, g.state);
    EXPECT_STREQ("The map differs from the one its replay won. Beat it again from the editor, then share it.",
                 g.error_msg);
}
