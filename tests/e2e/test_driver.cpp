// The platform driver: frame pacing, the key map and event translation,
// the video mode chain, and the user files.
#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "driver.h"
#include "log.h"

namespace {

int fake_now = 0;
std::vector<int> sleeps;
int fake_ticks() { return fake_now; }
void fake_delay(int ms) {
    sleeps.push_back(ms);
    fake_now += ms;
}

struct FakeClock {
    FakeClock() {
        fake_now = 1000;
        sleeps.clear();
        driver_timer_set_clock(fake_ticks, fake_delay);
        driver_timer_set(30);
    }
    ~FakeClock() {
        driver_timer_set_clock(nullptr, nullptr);
        driver_timer_set(0);
    }
};

// A private HOME with the game's name set, for the user-file functions.
struct TempHome {
    std::string dir, old;
    TempHome() {
        const char* h = getenv("HOME");
        old = h ? h : "";
        char tmpl[] = "/tmp/velquist-driver-XXXXXX";
        dir = mkdtemp(tmpl);
        setenv("HOME", dir.c_str(), 1);
        driver_set_gamename("Velquist");
    }
    ~TempHome() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        setenv("HOME", old.c_str(), 1);
    }
};

// SDL with a small window, so that events can be pushed and polled.
struct Video {
    Video() {
        driver_init();
        driver_video_init(320, 240, 640, 480, 100, 100, 0);
    }
    ~Video() { driver_deinit(); }
};

Event poll_one() {
    Event e;
    while (driver_event_poll(&e)) {
        if (e.type != EVT_NONE && e.type != EVT_SDLEVENT) return e;
    }
    return Event(EVT_NONE);
}

Event push_key(int sdl_type, SDLKey sym, int unicode, SDLMod mod = KMOD_NONE) {
    SDL_Event se;
    memset(&se, 0, sizeof(se));
    se.type = sdl_type;
    se.key.keysym.sym = sym;
    se.key.keysym.unicode = unicode;
    se.key.keysym.mod = mod;
    SDL_PushEvent(&se);
    return poll_one();
}

}  // namespace

TEST(Timer, SteadyFramesSleepOutTheRestOfTheirThirtieth) {
    FakeClock clock;
    for (int i = 0; i < 37; i++) {
        fake_now += 10;  // ten milliseconds of work a frame
        driver_timer_tick();
    }
    // After the first frame every frame sleeps 23 or 24 ms: 33 or 34 minus the work.
    for (size_t i = 1; i < sleeps.size(); i++) EXPECT_TRUE(sleeps[i] == 23 || sleeps[i] == 24) << i;
}

TEST(Timer, LateFrameCatchesUpWithoutSleeping) {
    FakeClock clock;
    driver_timer_tick();
    driver_timer_tick();
    int start = fake_now;
    fake_now += 100;  // three periods late
    sleeps.clear();
    driver_timer_tick();
    EXPECT_EQ(sleeps[0], 0);
    driver_timer_tick();
    // The late frame is caught up on the old schedule, not restarted from it.
    EXPECT_EQ((fake_now - start) % 33 <= 3, true) << fake_now - start;
    EXPECT_LT(sleeps[1], 33);
}

TEST(Timer, StallRestartsTheScheduleInsteadOfRacing) {
    FakeClock clock;
    driver_timer_tick();
    driver_timer_tick();
    fake_now += 1000;  // a one-second stall
    sleeps.clear();
    driver_timer_tick();
    EXPECT_EQ(sleeps[0], 0) << "the frame after the stall starts at once";
    driver_timer_tick();
    EXPECT_GE(sleeps[1], 33) << "then frames are paced from that moment";
}

TEST(Timer, ZeroRateNeverSleeps) {
    FakeClock clock;
    driver_timer_set(0);
    driver_timer_tick();
    driver_timer_tick();
    EXPECT_TRUE(sleeps.empty());
}

TEST(Keys, MainRowDigitsCarryOnlyTheirCharacter) {
    Video v;
    Event e = push_key(SDL_KEYDOWN, SDLK_7, '7');
    EXPECT_EQ(e.type, EVT_KEYDOWN);
    EXPECT_EQ(e.v, KEY_NONE);
    EXPECT_EQ(e.c, 55);
    e = push_key(SDL_KEYDOWN, SDLK_KP7, '7');
    EXPECT_EQ(e.v, KEY_P7);
    EXPECT_EQ(e.c, 55);
    EXPECT_EQ(push_key(SDL_KEYDOWN, SDLK_RETURN, 13).v, KEY_RETURN);
    EXPECT_EQ(push_key(SDL_KEYUP, SDLK_KP_ENTER, 0).v, KEY_RETURN);
    EXPECT_EQ(push_key(SDL_KEYDOWN, SDLK_a, 'a').v, KEY_a);
    EXPECT_EQ(push_key(SDL_KEYDOWN, SDLK_F12, 0).v, KEY_F12);
    EXPECT_EQ(push_key(SDL_KEYDOWN, SDLK_LEFT, 0).v, KEY_LEFT);
    EXPECT_EQ(push_key(SDL_KEYDOWN, SDLK_PAGEUP, 0).v, KEY_NONE);
}

TEST(Keys, ModifiersBecomeTheGamesMask) {
    Video v;
    EXPECT_EQ(push_key(SDL_KEYDOWN, SDLK_z, 'z', KMOD_RCTRL).b, MOD_CTRL);
    EXPECT_EQ(push_key(SDL_KEYDOWN, SDLK_z, 'Z', (SDLMod)(KMOD_LSHIFT | KMOD_LCTRL)).b, MOD_SHIFT | MOD_CTRL);
    EXPECT_EQ(push_key(SDL_KEYDOWN, SDLK_z, 'z', KMOD_LALT).b, MOD_ALT);
    EXPECT_EQ(push_key(SDL_KEYDOWN, SDLK_z, 'z', KMOD_RMETA).b, MOD_META);
}

TEST(Pointer, WheelGivesOneEventAndNoRelease) {
    Video v;
    Event drained;
    while (driver_event_poll(&drained)) {
    }
    SDL_Event se;
    memset(&se, 0, sizeof(se));
    se.type = SDL_MOUSEBUTTONDOWN;
    se.button.button = SDL_BUTTON_WHEELUP;
    se.button.x = 10;
    se.button.y = 20;
    SDL_PushEvent(&se);
    se.type = SDL_MOUSEBUTTONUP;
    SDL_PushEvent(&se);
    se.button.button = SDL_BUTTON_WHEELDOWN;
    se.type = SDL_MOUSEBUTTONDOWN;
    SDL_PushEvent(&se);
    Event e;
    std::vector<Event> got;
    while (driver_event_poll(&e))
        if (e.type != EVT_SDLEVENT) got.push_back(e);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].type, EVT_WHEEL);
    EXPECT_EQ(got[0].dy, -1.0f);
    EXPECT_EQ(got[1].type, EVT_NONE) << "the wheel's release is dropped";
    EXPECT_EQ(got[2].type, EVT_WHEEL);
    EXPECT_EQ(got[2].dy, 1.0f);
}

TEST(Pointer, PressMotionAndReleaseKeepWindowPixels) {
    Video v;
    SDL_Event se;
    memset(&se, 0, sizeof(se));
    se.type = SDL_MOUSEMOTION;
    se.motion.x = 100;
    se.motion.y = 50;
    se.motion.xrel = -3;
    se.motion.yrel = 4;
    se.motion.state = SDL_BUTTON(3);
    SDL_PushEvent(&se);
    Event e = poll_one();
    EXPECT_EQ(e.type, EVT_MOTION);
    EXPECT_EQ(e._x, 100);
    EXPECT_EQ(e.x, 100);
    EXPECT_EQ(e._dx, -3);
    EXPECT_EQ(e.dy, 4);
    EXPECT_EQ(e.b, 4) << "only the right button held";
    memset(&se, 0, sizeof(se));
    se.type = SDL_MOUSEBUTTONDOWN;
    se.button.button = 1;
    se.button.x = 7;
    se.button.y = 9;
    SDL_PushEvent(&se);
    e = poll_one();
    EXPECT_EQ(e.type, EVT_DOWN);
    EXPECT_EQ(e.b, 1);
    EXPECT_EQ(e.y, 9);
    se.type = SDL_MOUSEBUTTONUP;
    SDL_PushEvent(&se);
    EXPECT_EQ(poll_one().type, EVT_UP);
    se.type = SDL_QUIT;
    SDL_PushEvent(&se);
    EXPECT_EQ(poll_one().type, EVT_QUIT);
    Event none;
    EXPECT_EQ(driver_event_poll(&none), 0);
    EXPECT_EQ(none.type, EVT_NONE);
}

TEST(Video, ZeroSizeGivesTheDesktopAndNoSecondAttempt) {
    driver_init();
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    const SDL_VideoInfo* vi = SDL_GetVideoInfo();
    int desk_w = vi->current_w, desk_h = vi->current_h;
    log_set_verbose(true);  // the lines below are the chatty ones
    testing::internal::CaptureStderr();
    driver_video_init(0, 0, 640, 480, 480, 320, 0);
    std::string log = testing::internal::GetCapturedStderr();
    int w, h;
    driver_get_size(&w, &h);
    EXPECT_EQ(w, desk_w);
    EXPECT_EQ(h, desk_h);
    size_t first = log.find("_try_init_video");
    EXPECT_EQ(log.find("_try_init_video", first + 1), std::string::npos) << log;
    driver_deinit();
}

TEST(Video, ModeBelowTheMinimumBecomesAWindowOfTheMinimum) {
    driver_init();
    log_set_verbose(true);  // the lines below are the chatty ones
    testing::internal::CaptureStderr();
    driver_video_init(200, 100, 640, 480, 480, 320, 0);
    std::string log = testing::internal::GetCapturedStderr();
    int w, h;
    driver_get_size(&w, &h);
    EXPECT_EQ(w, 480);
    EXPECT_EQ(h, 320);
    EXPECT_NE(log.find("trying at minimum-sized windowed ...\n"), std::string::npos);
    driver_deinit();
}

TEST(Files, UserFilesAreWrittenWholeAndPrivately) {
    TempHome home;
    const char data[] = "settings";
    ASSERT_EQ(driver_doc_save("settings.dat", data, sizeof(data)), 1);
    struct stat st;
    ASSERT_EQ(stat(driver_doc_fname("settings.dat"), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file holds the password";
    EXPECT_EQ(st.st_size, (off_t)sizeof(data));
    int leftovers = 0;
    for (auto& entry : std::filesystem::directory_iterator(home.dir + "/.Velquist"))
        leftovers += entry.path().filename() != "settings.dat";
    EXPECT_EQ(leftovers, 0);
    char buf[32];
    memset(buf, 'x', sizeof(buf));
    EXPECT_EQ(driver_doc_load("settings.dat", buf, sizeof(buf)), (int)sizeof(data));
    EXPECT_STREQ(buf, "settings");
    EXPECT_EQ(buf[sizeof(data)], 'x') << "a shorter file fills only the front";
}

TEST(Files, OversizedAndMissingFilesAreNotRead) {
    TempHome home;
    char big[64] = {};
    driver_doc_save("big.dat", big, sizeof(big));
    char buf[16];
    log_set_verbose(true);  // the lines below are the chatty ones
    testing::internal::CaptureStderr();
    EXPECT_EQ(driver_doc_load("big.dat", buf, sizeof(buf)), 0);
    EXPECT_EQ(driver_doc_load("none.dat", buf, sizeof(buf)), 0);
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("big.dat is too large\n"), std::string::npos);
    EXPECT_NE(log.find("file not found: " + home.dir + "/.Velquist/none.dat\n"), std::string::npos);
}

TEST(Files, FailedSaveKeepsTheOldFile) {
    TempHome home;
    driver_doc_save("state.dat", "old", 3);
    // A file-size limit makes every write of more than three bytes fail, as a
    // full disk would, whoever runs the test (root ignores file permissions).
    struct rlimit was;
    getrlimit(RLIMIT_FSIZE, &was);
    struct rlimit tight = was;
    tight.rlim_cur = 3;
    void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    int ok = driver_doc_save("state.dat", "new!", 4);
    setrlimit(RLIMIT_FSIZE, &was);
    signal(SIGXFSZ, old_handler);
    char buf[8] = {};
    driver_doc_load("state.dat", buf, sizeof(buf));
    EXPECT_EQ(ok, 0);
    EXPECT_STREQ(buf, "old");
}

TEST(Files, DataDirectoryIsBesideTheWorkingDirectory) {
    EXPECT_STREQ(driver_data_fname("tiles.json"), "../data/tiles.json");
    EXPECT_FALSE(driver_data_load("tiles.json").empty());
    EXPECT_TRUE(driver_data_load("no-such-file").empty());
}

TEST(Browser, AddressesNeverReachAShell) {
    // A missing program must not be run through a shell: the address below
    // would otherwise create a file.
    std::string marker = "/tmp/velquist-injected-" + std::to_string(getpid());
    std::string url = "http://x/\"; /usr/bin/touch " + marker + "; \"";
    setenv("PATH", "/nonexistent", 1);
    driver_open_url(url.c_str());
    struct stat st;
    EXPECT_NE(stat(marker.c_str(), &st), 0);
}
