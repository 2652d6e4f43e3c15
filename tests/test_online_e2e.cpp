// The road of a shared map against the reference service: shared from the
// editor once beaten cleanly, found in the newest maps and among its author's,
// downloaded and played from the browser.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "edit.h"
#include "engine.h"
#include "menu.h"
#include "server.h"
#include "test_online_service.h"

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

void collect(Widget* w, const std::function<bool(Widget*)>& f, std::vector<Widget*>& out) {
    if (f(w)) out.push_back(w);
    if (Container* c = dynamic_cast<Container*>(w))
        for (Widget* k : c->widgets) collect(k, f, out);
}

// Labels showing `text` on the current screen.
std::vector<Label*> labels(Game& g, const char* text) {
    State* s = _game_states[g.state];
    Container* root = nullptr;
    if (g.state == STATE_MENU_MAIN) root = &static_cast<MenuMain*>(s)->gui;
    if (g.state == STATE_MENU_DOWNLOAD1) root = &static_cast<MenuDownload1*>(s)->gui;
    if (g.state == STATE_MENU_DOWNLOAD2) root = &static_cast<MenuDownload2*>(s)->gui;
    if (g.state == STATE_MENU_ERROR) root = &static_cast<MenuError*>(s)->gui;
    if (g.state == STATE_EDIT_SHARE) root = &static_cast<EditShare*>(s)->gui;
    std::vector<Widget*> found;
    if (root)
        collect(root,
                [text](Widget* w) {
                    Label* l = dynamic_cast<Label*>(w);
                    return l && l->txt && strcmp(l->txt, text) == 0;
                },
                found);
    std::vector<Label*> out;
    for (Widget* w : found) out.push_back(static_cast<Label*>(w));
    return out;
}

bool click_label(Harness& h, const char* text) {
    h.tick();
    std::vector<Label*> l = labels(h.game(), text);
    if (l.empty()) return false;
    MyRect r = l[0]->get_abs_rect(true);
    float x = r.x + r.w / 2.0f, y = r.y + r.h / 2.0f;
    if (x < 0 || y < 0 || x >= CANVAS_W || y >= CANVAS_H) return false;
    h.click(x, y);
    return true;
}

// Waits for the list being fetched to arrive and the screen to show it.
void await_list(Harness& h) {
    EXPECT_TRUE(loop_until(h.game(), [] { return idle(w_download); }, 20));
    h.tick();
}

}  // namespace

TEST(OnlineEndToEnd, SharedMapIsFoundAmongTheNewestAndItsAuthorsThenPlayed) {
    ReferenceService service;
    ASSERT_TRUE(server_account_create(service.s.store, "Ann", "secret"));
    Harness h;
    Settings s;
    memset(&s, 0, sizeof(s));
    {
        std::ifstream in(h.user_file("settings.dat"), std::ios::binary);
        in.read((char*)&s, sizeof(s));
    }
    mystrcpy(s.name, sizeof(s.name), "Ann");
    mystrcpy(s.passwd, sizeof(s.passwd), "secret");
    {
        std::ofstream out(h.user_file("settings.dat"), std::ios::binary);
        out.write((const char*)&s, sizeof(s));
    }
    h.start();
    Game& g = h.game();
    ASSERT_TRUE(loop_until(g, [] { return idle(w_valid); }));
    ASSERT_EQ(STATE_MENU_MAIN, g.state) << g.error_msg;

    // A map built in the editor and beaten cleanly; it has no Map ID of its
    // own, so it goes out under its id.
    logic_new(g);
    mystrcpy(g._edit.title, sizeof(g._edit.title), "Ann's first map");
    mystrcpy(g._edit.intro, sizeof(g._edit.intro), "Two pillars and a window.");
    g._edit.dirty = 0;
    std::string id = g._edit.id;
    g.next(STATE_EDIT_SHARE);
    ASSERT_TRUE(click_label(h, "To Everyone"));
    ASSERT_TRUE(loop_until(g, [] { return idle(w_share); }, 20));
    ASSERT_NE(STATE_MENU_ERROR, g.state) << g.error_msg;
    ServerMap stored;
    ASSERT_TRUE(server_map_find(service.s.store, id, stored));
    EXPECT_EQ("g:Ann", stored.uid);

    // Play from the main menu opens the featured maps; the heading leads to
    // the categories, and the newest maps hold the shared one.
    g.next(STATE_MENU_MAIN);
    ASSERT_TRUE(click_label(h, "Play"));
    ASSERT_EQ(STATE_MENU_DOWNLOAD2, g.state);
    await_list(h);
    ASSERT_TRUE(click_label(h, "Featured"));
    ASSERT_EQ(STATE_MENU_DOWNLOAD1, g.state);
    ASSERT_TRUE(click_label(h, "Newest"));
    await_list(h);
    ASSERT_EQ(STATE_MENU_DOWNLOAD2, g.state);
    ASSERT_TRUE(click_label(h, "Ann's first map"));
    EXPECT_STREQ("Ann", g._edit.author);
    EXPECT_STREQ(id.c_str(), g._edit.name);

    // Its author's maps.
    ASSERT_TRUE(click_label(h, "More by"));
    EXPECT_STREQ("u~g:Ann", g.q_value);
    await_list(h);
    EXPECT_EQ(1, _menu_total);
    ASSERT_TRUE(click_label(h, "More by Ann"));  // the heading names the list
    ASSERT_EQ(STATE_MENU_DOWNLOAD1, g.state);
    h.key(KEY_ESCAPE);
    ASSERT_EQ(STATE_MENU_DOWNLOAD2, g.state);
    EXPECT_EQ(1, _menu_total);

    // Downloaded and played from the browser.
    ASSERT_TRUE(click_label(h, "Ann's first map"));
    ASSERT_TRUE(click_label(h, "Play"));
    EXPECT_EQ(STATE_MENU_DOWNLOAD2, g.parent);
    EXPECT_STREQ("Ann's first map", g.level.title);
    ASSERT_EQ(STATE_LEVEL_INTRO, g.state);
    h.key(KEY_RETURN);
    ASSERT_EQ(STATE_LEVEL, g.state);
    h.tick(2);
    const Entity* player = nullptr;
    for (const Entity& e : g.level.items)
        if (e.active && e.type == D_PLAYER) player = &e;
    ASSERT_NE(nullptr, player);
    int x = (int)player->x, y = (int)player->y;
    ASSERT_TRUE(h.click_cell(x + 1, y));
    EXPECT_TRUE(h.tick_until([&] { return (int)player->x == x + 1 && (int)player->y == y; }, 120));
}
