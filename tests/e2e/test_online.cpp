// The service protocol against a scripted service: the exact text of every
// request, answers that open the error screen, lists stored into net.db, and
// services that answer badly or not at all while the game keeps ticking.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "base64.h"
#include "driver.h"
#include "engine.h"
#include "edit.h"
#include "md5.h"
#include "menu.h"
#include "test_menu.h"
#include "game_web_internal.h"
#include "test_online_service.h"

using namespace onlinetest;

namespace {

const char MD5_OF_NOTHING[] = "d41d8cd98f00b204e9800998ecf8427e";

std::string common_query(const char* name, const char* passwd_md5, const char* action) {
    std::string n = web_urlencode(name);
    return std::string("/velquist/api.php?&_vinfo=1%2e0%2e3%2dDesktop%2dLinux%2dKAVODEL&_version=2") +
           "&_uid=g%3a" + n + "&_name=" + n + "&_token=" + md5_digest(std::string(name) + "|" + passwd_md5) +
           "&_udid=time%7c1300000000&_action=" + action;
}

std::string get_line(const std::string& path, int port) {
    return "GET " + path + " HTTP/1.0\nHost: 127.0.0.1:" + std::to_string(port) + "\n\n";
}

// Waits for the n-th request of `action` and for its slot to be finished.
void settle(Game& game, Service& svc, const char* action, int n, WebRequest& slot) {
    EXPECT_TRUE(loop_until(game, [&] { return svc.count(action) >= n && idle(slot); })) << action;
}

int free_port() {
    int port = 0;
    int fd = loopback_listen(1, &port);
    if (fd >= 0) ::close(fd);
    return port;
}

}  // namespace

TEST(OnlineRequest, CommonQueryTokenWithAnEmptyPassword) {
    std::unique_ptr<Game> g(new Game());
    mystrcpy(g->settings.name, sizeof(g->settings.name), "Zoe");
    g->settings_check();
    mystrcpy(g->settings.udid, sizeof(g->settings.udid), "time|1300000000");
    EXPECT_EQ(common_query("Zoe", MD5_OF_NOTHING, "valid"), game_core_request(*g, "/velquist/api.php?", "valid"));
    // No account at all still gives a well-formed query.
    g->settings.name[0] = 0;
    g->settings_check();
    std::string q = game_core_request(*g, "/velquist/api.php?", "valid");
    EXPECT_NE(std::string::npos, q.find("&_uid=g%3a&_name=&_token=" + md5_digest(std::string("|") + MD5_OF_NOTHING)));
}

TEST(OnlineRequest, ServicePagesCarryThePortOnlyWhenItIsNotTheDefault) {
    GameWebService keep = game_web_service();
    game_web_set_service({"play.example", 80, 30, 300});
    EXPECT_EQ("http://play.example/velquist/stats.php", game_web_url("/velquist/stats.php"));
    game_web_set_service({"127.0.0.1", 8080, 30, 300});
    EXPECT_EQ("http://127.0.0.1:8080/velquist/manage.php", game_web_url("/velquist/manage.php"));
    game_web_set_service(keep);
}

TEST(OnlineRequest, EveryActionAsTheServiceSeesIt) {
    Service svc([](const std::string&) { return ok(); });
    Harness h;
    start_signed_in(h, svc, "Ann Lee", "pw");
    Game& g = h.game();
    std::string pw = md5_digest("pw");
    settle(g, svc, "valid", 1, w_valid);
    EXPECT_EQ(get_line(common_query("Ann Lee", pw.c_str(), "valid"), svc.port()), svc.requests("valid")[0]);

    // plays: 45 ticks are one whole second; two of three cartridges are 666 per mille.
    mystrcpy(g.level.name, sizeof(g.level.name), "m1");
    g.level.timer = 45;
    g.level.c_bonus = 2;
    g.level.t_bonus = 3;
    g.level.t_rewind = 1;
    g.level.t_extra = 4;
    g.plays(5, 2);
    settle(g, svc, "plays", 1, w_plays);
    // A map without cartridges divides by one.
    g.level.c_bonus = g.level.t_bonus = 0;
    g.plays(1, 0);
    settle(g, svc, "plays", 2, w_plays);
    ASSERT_EQ(2, svc.count("plays"));
    std::string plays = common_query("Ann Lee", pw.c_str(), "plays");
    EXPECT_EQ(get_line(plays + "&lid=m1&tm=1&bonus=666&rewind=1&extra=4&stars=5&skulls=2", svc.port()),
              svc.requests("plays")[0]);
    EXPECT_EQ(get_line(plays + "&lid=m1&tm=1&bonus=0&rewind=1&extra=4&stars=1&skulls=0", svc.port()),
              svc.requests("plays")[1]);

    mystrcpy(g.q_value, sizeof(g.q_value), "u~g:Ann Lee");
    g.download();
    settle(g, svc, "download", 1, w_download);
    EXPECT_EQ(get_line(common_query("Ann Lee", pw.c_str(), "download") + "&q=u%7eg%3aAnn%20Lee", svc.port()),
              svc.requests("download")[0]);

    g.track("level", "Map 1", "quit", 12);
    g.track("level", "", "start", 0);  // a map without a name: nothing is sent
    g.track("level", "Map 2", "", 0);
    settle(g, svc, "track", 1, w_track);
    loop_until(g, [] { return false; }, 0.3);
    ASSERT_EQ(1, svc.count("track"));
    EXPECT_EQ(get_line(common_query("Ann Lee", pw.c_str(), "track") +
                           "&page=level&category=Map%201&action=quit&value=12",
                       svc.port()),
              svc.requests("track")[0]);
}

TEST(OnlineRequest, ShareSendsTheEditedMapUnderItsIdWhenItHasNoName) {
    Service svc([](const std::string&) { return ok(); });
    Harness h;
    start_signed_in(h, svc, "Ann", "secret");
    Game& g = h.game();
    logic_new(g);
    mystrcpy(g._edit.id, sizeof(g._edit.id), "1300000001");
    g._edit.name[0] = 0;
    mystrcpy(g._edit.title, sizeof(g._edit.title), "Two rooms");
    mystrcpy(g._edit.intro, sizeof(g._edit.intro), "Mind the guard.");
    g.share(1);
    settle(g, svc, "share", 1, w_share);
    EXPECT_STREQ("1300000001", g._edit.name);
    EXPECT_STREQ("Ann", g._edit.author);
    EXPECT_STREQ("g:Ann", g._edit.uid);

    int len = 0;
    const char* packed = logic_pack(g, &len);
    ASSERT_NE(nullptr, packed);
    std::string body = "&target=1&id=1300000001&title=Two%20rooms&intro=Mind%20the%20guard%2e&data=" +
                       web_urlencode(base64_encode(packed, (size_t)len));
    std::string head = "POST " + common_query("Ann", md5_digest("secret").c_str(), "share") +
                       " HTTP/1.0\nHost: 127.0.0.1:" + std::to_string(svc.port()) +
                       "\nContent-Type: application/x-www-form-urlencoded\nContent-Length: " +
                       std::to_string(body.size()) + "\n\n";
    EXPECT_EQ(head + body, svc.requests("share")[0]);
    // The service's empty answer is a success: no error screen, a word that it arrived.
    EXPECT_EQ(STATE_MENU_MAIN, g.state);
    EXPECT_EQ("Shared: Two rooms", game_notice_text());
}

TEST(OnlineProof, SentOnlyForOnlineWinsWithAnAccountAndAnsweredByANotice) {
    std::atomic<int> answered{0};
    Service svc([&](const std::string& r) {
        if (action_of(r) != "proof") return ok();
        // A refusal, a service that says nothing, then the standings.
        switch (answered++) {
        case 0: return error("The replay does not win the map.");
        case 1: return mode(Answer::WHOLE, "X-Nothing: 1\r\n");
        default: return ok("best 1 3000 600 Ann\nown 1 3000 600\ncount 4\n");
        }
    });
    Harness h;
    start_signed_in(h, svc, "Ann", "secret");
    Game& g = h.game();
    logic_new(g);
    mystrcpy(g.level.name, sizeof(g.level.name), "m 1");
    LogicReplay recording;
    g.replay = &recording;
    logic_replay_begin(g);
    logic_replay_tick(g);
    std::string bytes;
    ASSERT_TRUE(logic_replay_finish(g, bytes));

    // Only a map of the online lists, with an account and without a rewind, is proven.
    const struct {
        int parent;
        const char* name;
        int rewinds;
    } none[] = {{STATE_MENU_PLAY, "Ann", 0}, {STATE_MENU_DOWNLOAD2, "", 0}, {STATE_MENU_DOWNLOAD2, "Ann", 1}};
    for (const auto& c : none) {
        g.parent = c.parent;
        mystrcpy(g.settings.name, sizeof(g.settings.name), c.name);
        g.level.t_rewind = c.rewinds;
        game_web_proof(g);
        EXPECT_TRUE(idle(w_proof)) << c.parent << " " << c.name << " " << c.rewinds;
    }
    g.parent = STATE_MENU_DOWNLOAD2;
    mystrcpy(g.settings.name, sizeof(g.settings.name), "Ann");
    g.level.t_rewind = 0;
    const char* notices[] = {"Your win was not proven: The replay does not win the map.",
                             "Your win was not proven: G01: Invalid response.", "Proven: rank 1 of 4"};
    for (int i = 0; i < 3; i++) {
        game_web_proof(g);
        settle(g, svc, "proof", i + 1, w_proof);
        EXPECT_EQ(notices[i], game_notice_text());
        EXPECT_EQ(STATE_MENU_MAIN, g.state) << "a proof never opens the error screen";
    }
    g.replay = nullptr;
    std::string body = "&lid=m%201&score=" + std::to_string(logic_points(g.level)) +
                       "&replay=" + web_urlencode(base64_encode(bytes));
    std::string sent = svc.requests("proof")[0];
    EXPECT_EQ(0u, sent.find("POST " + common_query("Ann", md5_digest("secret").c_str(), "proof") + " HTTP/1.0\n"));
    EXPECT_EQ(body, sent.substr(sent.size() - body.size()));
    // The answer's standings are kept for the map: the list need not ask.
    EXPECT_EQ("m 1", game_web_standings_kept().lid);
    EXPECT_EQ(4, game_web_standings_kept().count);
}

TEST(OnlineAnswer, ErrorsOpenTheErrorScreenOverTheScreenThatWasShown) {
    std::atomic<int> phase{0};
    const std::string huge(100000, 'e');
    Service svc([&](const std::string& r) {
        if (phase == 0) return ok();
        if (phase == 1) return error("E01: Wrong password.");
        if (phase == 2) return Answer();  // no X-Response at all
        if (phase == 3) return error(huge);
        return action_of(r) == "share" ? error("E02: Share refused.") : error("E03: Unknown account.");
    });
    Harness h;
    start_signed_in(h, svc, "Ann", "pw");
    Game& g = h.game();
    settle(g, svc, "valid", 1, w_valid);
    ASSERT_EQ(STATE_MENU_MAIN, g.state);

    g.next(STATE_MENU_SETTINGS);
    phase = 1;
    g.valid();
    settle(g, svc, "valid", 2, w_valid);
    EXPECT_EQ(STATE_MENU_ERROR, g.state);
    EXPECT_EQ(STATE_MENU_SETTINGS, g.context);
    EXPECT_STREQ("E01: Wrong password.", g.error_msg);

    g.next(STATE_MENU_MAIN);
    phase = 2;
    g.valid();
    settle(g, svc, "valid", 3, w_valid);
    EXPECT_EQ(STATE_MENU_ERROR, g.state);
    EXPECT_STREQ("G01: Invalid response.", g.error_msg);

    g.next(STATE_MENU_MAIN);
    phase = 3;
    g.valid();
    settle(g, svc, "valid", 4, w_valid);
    EXPECT_EQ(std::string(255, 'e'), g.error_msg);

    // Two errors in one tick: the second must not make the error screen
    // return to itself.
    g.next(STATE_MENU_MAIN);
    phase = 4;
    g.share(1);
    g.valid();
    settle(g, svc, "share", 1, w_share);
    settle(g, svc, "valid", 5, w_valid);
    EXPECT_EQ(STATE_MENU_ERROR, g.state);
    EXPECT_EQ(STATE_MENU_MAIN, g.context);

    // A service that cannot be reached changes nothing on screen.
    g.next(STATE_MENU_MAIN);
    game_web_set_service({"127.0.0.1", free_port(), 30, 300});
    g.valid();
    EXPECT_TRUE(loop_until(g, [] { return idle(w_valid); }));
    EXPECT_EQ(STATE_MENU_MAIN, g.state);
}

TEST(OnlineAnswer, ServicesThatNeverFinishAreGivenUpWhileTheGameTicks) {
    std::atomic<int> phase{0};
    Service svc([&](const std::string&) {
        if (phase == 1) return mode(Answer::SILENT);
        if (phase == 2) return mode(Answer::TRICKLE);
        return ok();
    });
    Harness h;
    start_signed_in(h, svc, "Ann", "pw");
    Game& g = h.game();
    settle(g, svc, "valid", 1, w_valid);

    // A connection that never answers: the idle time-out.
    svc.use(1);
    phase = 1;
    g.valid();
    EXPECT_TRUE(loop_until(g, [] { return idle(w_valid); }, 5));
    EXPECT_EQ(STATE_MENU_MAIN, g.state);

    // A trickle keeps the idle time-out from ever firing; the exchange's own
    // deadline ends it.
    svc.use(30, 1);
    phase = 2;
    g.valid();
    EXPECT_TRUE(loop_until(g, [] { return idle(w_valid); }, 5));
    EXPECT_EQ(STATE_MENU_MAIN, g.state);
}

TEST(OnlineAnswer, OpeningAPageHandsItToTheBrowser) {
    static std::vector<std::string> opened;
    driver_set_url_handler([](const char* url) { opened.push_back(url); });
    Service svc([](const std::string&) { return ok(); });
    Harness h;
    start_signed_in(h, svc, "Ann", "pw");
    Game& g = h.game();
    g.open_url("http://127.0.0.1/velquist/stats.php?uid=g%3aAnn");
    driver_set_url_handler(nullptr);
    ASSERT_EQ(1u, opened.size());
    EXPECT_EQ("http://127.0.0.1/velquist/stats.php?uid=g%3aAnn", opened[0]);
    // Windowed: nothing to leave.
    EXPECT_EQ(0, g.fs_toggle_tmp);
    EXPECT_EQ(STATE_MENU_MAIN, g.state);
}

TEST(OnlineShare, ARefusedShareGoesOnAfterSigningInAndEveryShareSaysHowItWent) {
    // A guest's share is refused; so is a map the service finds wanting.
    std::atomic<bool> wanting{false};
    Service svc([&](const std::string& r) {
        if (action_of(r) != "share") return ok();
        if (r.find("&_name=&") != std::string::npos) return error("Sign in to share your maps.");
        return wanting ? error("The replay does not win the map.") : ok();
    });
    Harness h;
    start_signed_in(h, svc, "", "");
    Game& g = h.game();
    logic_new(g);
    mystrcpy(g._edit.title, sizeof(g._edit.title), "Two rooms");
    g._edit.dirty = 0;  // beaten cleanly
    auto share = [&](int n) {
        g.next(STATE_EDIT_SHARE);
        EXPECT_TRUE(menu_test::click_button(h, gui_of(STATE_EDIT_SHARE), "To Everyone"));
        EXPECT_TRUE(loop_until(g, [&] { return svc.count("share") >= n && idle(w_share); }));
    };
    share(1);
    ASSERT_EQ(STATE_MENU_ERROR, g.state);
    Container& form = gui_of(STATE_MENU_ERROR);
    Label* why = dynamic_cast<Label*>(form.find("why"));
    ASSERT_TRUE(why);
    EXPECT_EQ(0u, std::string(why->txt).find("Could not share Two rooms: Sign in to share your maps.")) << why->txt;
    form.find("name")->set_value_s("Ann");
    form.find("passwd")->set_value_s("pw");
    ASSERT_TRUE(menu_test::click_button(h, form, "Sign In"));
    EXPECT_EQ(STATE_EDIT, g.state);
    EXPECT_TRUE(loop_until(g, [&] { return svc.count("share") == 2 && idle(w_share); }));
    EXPECT_EQ("Shared: Two rooms", game_notice_text()) << "shared without asking again";

    share(3);
    EXPECT_EQ("Shared: Two rooms", game_notice_text()) << "a second share says so too";

    // A refusal of the map itself is not sent again by signing in unchanged.
    wanting = true;
    share(4);
    ASSERT_EQ(STATE_MENU_ERROR, g.state);
    ASSERT_TRUE(menu_test::click_button(h, gui_of(STATE_MENU_ERROR), "Sign In"));
    loop_until(g, [] { return false; }, 0.3);
    EXPECT_EQ(4, svc.count("share"));
}
