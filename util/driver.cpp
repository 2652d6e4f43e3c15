// The platform driver over SDL 1.2: window and video modes, input events,
// frame pacing, the browser, and the inert clipboard and keyboard hooks.
#include "driver.h"

#include <SDL/SDL.h>
#include <SDL/SDL_image.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "log.h"
#include "util.h"

struct _DriverData {
    int width = 0;
    int height = 0;
    float aspect = 1.0f;
    float orient = 0;
    const char* gamename = nullptr;
    char caption[256] = {};
    int fps = 0;
};

static _DriverData* _driver = nullptr;
static _DriverData _driver_fallback;  // answers accessors before driver_init

static int _timer_next = 0;
static int _timer_frame = 0;
static int _timer_init = 0;
static int (*_timer_clock)() = nullptr;
static void (*_timer_sleep)(int) = nullptr;
static void (*_url_handler)(const char*) = nullptr;

// A quit asked for while SDL could not hold it: a window close queued when
// the video subsystem restarts (which empties the queue), or a signal. The
// next poll reports it, so the game still ends and saves.
static volatile sig_atomic_t _driver_quit_pending = 0;
static struct sigaction _driver_old_int, _driver_old_term;
static int _driver_signals_set = 0;
// What the platform answered when a video mode could not be set.
static char _driver_video_error[256];

enum { TIMER_CATCHUP_MAX = 7, KEY_REPEAT_DELAY = 500, KEY_REPEAT_INTERVAL = 30,
       DEPTH_BITS = 16, VIDEO_INIT_ATTEMPTS = 20, VIDEO_INIT_RETRY_MS = 50 };

static _DriverData& _d();
const char* _driver_gamename();

static _DriverData& _d() { return _driver ? *_driver : _driver_fallback; }

static void _driver_on_signal(int sig) {
    (void)sig;
    _driver_quit_pending = 1;
}

// Our own handlers for the terminal's and the session's quit signals. SDL
// installs its own only where none is set, and removes them whenever the
// video subsystem stops, so a signal during a mode change would otherwise
// end the game on the spot, without saving.
static void _driver_signals_install() {
    if (_driver_signals_set) return;
    struct sigaction sa;
    memset(&sa, 0, sizeof(sa));
    sa.sa_handler = _driver_on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &_driver_old_int);
    sigaction(SIGTERM, &sa, &_driver_old_term);
    _driver_signals_set = 1;
}

static void _driver_signals_restore() {
    if (!_driver_signals_set) return;
    sigaction(SIGINT, &_driver_old_int, nullptr);
    sigaction(SIGTERM, &_driver_old_term, nullptr);
    _driver_signals_set = 0;
}

// Takes a window close out of SDL's queue before the queue is thrown away.
static void _driver_keep_quit() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_PumpEvents();
    SDL_Event ev;
    while (SDL_PeepEvents(&ev, 1, SDL_GETEVENT, SDL_QUITMASK) > 0) _driver_quit_pending = 1;
}

const char* _driver_gamename() { return _d().gamename; }

// ---------------------------------------------------------------- lifecycle

// The libraries' versions, on standard output.
static void _driver_versions() {
    const SDL_version* sv = SDL_Linked_Version();
    printf("SDL Runtime Version: %u.%u.%u\n", sv->major, sv->minor, sv->patch);
    printf("SDL Compile Version: %u.%u.%u\n", SDL_MAJOR_VERSION, SDL_MINOR_VERSION, SDL_PATCHLEVEL);
    const SDL_version* iv = IMG_Linked_Version();
    printf("SDL_image Runtime Version: %u.%u.%u\n", iv->major, iv->minor, iv->patch);
    printf("SDL_image Compile Version: %u.%u.%u\n", SDL_IMAGE_MAJOR_VERSION, SDL_IMAGE_MINOR_VERSION,
           SDL_IMAGE_PATCHLEVEL);
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
    printf("SDL_BYTEORDER == SDL_LIL_ENDIAN\n");
#else
    printf("SDL_BYTEORDER == SDL_BIG_ENDIAN\n");
#endif
}

void driver_init() {
    if (_driver) return;
    _driver = new _DriverData();
    _driver_quit_pending = 0;
    _driver_signals_install();
    // With a display named, only X11 can give us an OpenGL window. Left to
    // itself, SDL falls back to a text-mode driver when the X server is slow to
    // answer, and that driver's terminal library takes over SIGTERM and ends
    // the game with status 1 instead of letting it close and save.
    if (getenv("DISPLAY") && !getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "x11", 0);
    SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO);
    // Start-up and version lines, for whoever asks (--verbose).
    if (log_verbose()) _driver_versions();
    _timer_init = 0;
    _timer_frame = 0;
    driver_audio_init();
}

void driver_deinit() {
    if (!_driver) return;
    driver_audio_deinit();
    SDL_Quit();
    _driver_signals_restore();
    delete _driver;
    _driver = nullptr;
}

void driver_set_gamename(const char* name) { _d().gamename = name; }

void driver_set_caption(const char* text) {
    mystrcpy(_d().caption, sizeof(_d().caption), text);
}

// Restarts SDL's video subsystem. A busy X server can refuse a connection for
// a moment, and SDL then falls back to a text-mode driver that can open no
// OpenGL window; so while a display is named, a driver other than X11 is
// retried a few times before it is accepted.
static bool _driver_video_subsystem() {
    _driver_keep_quit();
    for (int attempt = 0; attempt < VIDEO_INIT_ATTEMPTS; attempt++) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            char name[32] = "";
            SDL_VideoDriverName(name, sizeof(name));
            if (!getenv("DISPLAY") || strcmp(name, "x11") == 0) return true;
        }
        SDL_Delay(VIDEO_INIT_RETRY_MS);
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

static SDL_Surface* _try_init_video(int w, int h, int fullscreen) {
    log_info("_try_init_video(%d,%d,%d)\n", w, h, fullscreen);
    if (!_driver_video_subsystem()) {
        mystrcpy(_driver_video_error, sizeof(_driver_video_error), SDL_GetError());
        fprintf(stderr, "SDL video: %s\n", _driver_video_error);
        return nullptr;
    }
    SDL_EnableUNICODE(1);
    SDL_EnableKeyRepeat(KEY_REPEAT_DELAY, KEY_REPEAT_INTERVAL);
    if (_d().caption[0]) SDL_WM_SetCaption(_d().caption, _d().caption);
    Uint32 flags = SDL_OPENGL | (fullscreen ? SDL_FULLSCREEN : 0);
    const SDL_VideoInfo* vi = SDL_GetVideoInfo();
    log_info("VideoInfo->vfmt->BitsPerPixel:%d\n", vi && vi->vfmt ? vi->vfmt->BitsPerPixel : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, DEPTH_BITS);
    SDL_Surface* s = SDL_SetVideoMode(w, h, 0, flags);
    log_info("res: %d\n", s ? 1 : 0);
    if (!s) {
        mystrcpy(_driver_video_error, sizeof(_driver_video_error), SDL_GetError());
        fprintf(stderr, "SDL_SetVideoMode: %s\n", _driver_video_error);
    }
    if (s) {
        static const SDL_GLattr attrs[] = {SDL_GL_RED_SIZE, SDL_GL_GREEN_SIZE, SDL_GL_BLUE_SIZE,
                                           SDL_GL_ALPHA_SIZE, SDL_GL_DEPTH_SIZE, SDL_GL_BUFFER_SIZE,
                                           SDL_GL_DOUBLEBUFFER};
        static const char* names[] = {"GL_RED_SIZE", "GL_GREEN_SIZE", "GL_BLUE_SIZE", "GL_ALPHA_SIZE",
                                      "GL_DEPTH_SIZE", "GL_BUFFER_SIZE", "GL_DOUBLEBUFFER"};
        for (int i = 0; i < (int)MY_COUNT(attrs); i++) {
            int v = 0;
            SDL_GL_GetAttribute(attrs[i], &v);
            log_info("%s:%d\n", names[i], v);
        }
    }
    return s;
}

static void _video_record(SDL_Surface* s) {
    driver_set_size(s->w, s->h);
    _d().orient = 0;
    log_info("res: %d x %d\n", s->w, s->h);
    const SDL_VideoInfo* vi = SDL_GetVideoInfo();
    if (vi) log_info("vinfo: %d x %d\n", vi->current_w, vi->current_h);
}

int driver_video_init(int ww, int hh, int dw, int dh, int mw, int mh, int full) {
    _driver_video_error[0] = 0;
    log_info("init_video: %d %d %d %d %d %d %d\n", ww, hh, dw, dh, mw, mh, full);
    int want_w = ww, want_h = hh, want_full = full;
    SDL_Surface* s = _try_init_video(ww, hh, full);
    if (!s) {
        log_info("trying at default res ...\n");
        want_w = dw;
        want_h = dh;
        s = _try_init_video(dw, dh, full);
    }
    if (!s) {
        log_info("trying w/o fullscreen ...\n");
        want_full = 0;
        s = _try_init_video(dw, dh, 0);
    }
    if (s && (s->w < mw || s->h < mh)) {
        log_info("trying at minimum-sized windowed ...\n");
        want_w = mw;
        want_h = mh;
        want_full = 0;
        s = _try_init_video(mw, mh, 0);
    }
    if (!s) return 0;
    _video_record(s);
    if (want_w == 0 && want_h == 0) return 1;
    if (s->w == want_w && s->h == want_h) return 1;
    int got_w = s->w, got_h = s->h;
    s = _try_init_video(got_w, got_h, want_full);
    if (s) {
        _video_record(s);
        return 1;
    }
    // The last attempt restarted the subsystem and lost the window it had.
    log_info("trying w/o fullscreen ...\n");
    s = _try_init_video(got_w, got_h, 0);
    if (s) _video_record(s);
    return s ? 1 : 0;
}

const char* driver_video_error() {
    if (_driver_video_error[0]) return _driver_video_error;
    return "no answer";
}

void driver_video_flip() { SDL_GL_SwapBuffers(); }

int driver_video_minimize() { return SDL_WM_IconifyWindow() ? 1 : 0; }

void driver_get_size(int* w, int* h) {
    if (w) *w = _d().width;
    if (h) *h = _d().height;
}

void driver_set_size(int w, int h) {
    _d().width = w;
    _d().height = h;
}

float driver_get_aspect() { return _d().aspect; }
void driver_set_aspect(float aspect) { _d().aspect = aspect; }
float driver_get_orient() { return _d().orient; }
void driver_set_orient(float orient) { _d().orient = orient; }

int driver_video_list_modes(int* ws, int* hs, int max) {
    SDL_Rect** modes = SDL_ListModes(nullptr, SDL_FULLSCREEN | SDL_OPENGL);
    if (modes == (SDL_Rect**)-1) return -1;
    if (!modes) return 0;
    int n = 0;
    for (int i = 0; modes[i] && n < max; i++, n++) {
        ws[n] = modes[i]->w;
        hs[n] = modes[i]->h;
    }
    return n;
}

// ---------------------------------------------------------------- input

static int _driver_sdl_sym2key(int sym) {
    if (sym >= SDLK_a && sym <= SDLK_z) return KEY_a + (sym - SDLK_a);
    if (sym >= SDLK_KP0 && sym <= SDLK_KP9) return KEY_P0 + (sym - SDLK_KP0);
    if (sym >= SDLK_F1 && sym <= SDLK_F12) return KEY_F1 + (sym - SDLK_F1);
    switch (sym) {
    case SDLK_BACKSPACE: return KEY_BACKSPACE;
    case SDLK_TAB: return KEY_TAB;
    case SDLK_RETURN: return KEY_RETURN;
    case SDLK_ESCAPE: return KEY_ESCAPE;
    case SDLK_DELETE: return KEY_DELETE;
    case SDLK_KP_ENTER: return KEY_RETURN;
    case SDLK_UP: return KEY_UP;
    case SDLK_DOWN: return KEY_DOWN;
    case SDLK_RIGHT: return KEY_RIGHT;
    case SDLK_LEFT: return KEY_LEFT;
    case SDLK_HOME: return KEY_HOME;
    case SDLK_END: return KEY_END;
    default: return KEY_NONE;
    }
}

static int _driver_modmask(int mod) {
    int b = 0;
    if (mod & (KMOD_LSHIFT | KMOD_RSHIFT)) b |= MOD_SHIFT;
    if (mod & (KMOD_LCTRL | KMOD_RCTRL)) b |= MOD_CTRL;
    if (mod & (KMOD_LALT | KMOD_RALT)) b |= MOD_ALT;
    if (mod & (KMOD_LMETA | KMOD_RMETA)) b |= MOD_META;
    return b;
}

int driver_event_poll(Event* e) {
    *e = Event(EVT_NONE);
    if (_driver_quit_pending) {
        _driver_quit_pending = 0;
        e->type = EVT_QUIT;
        return 1;
    }
    SDL_Event se;
    if (!SDL_PollEvent(&se)) return 0;
    switch (se.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        e->type = se.type == SDL_KEYDOWN ? EVT_KEYDOWN : EVT_KEYUP;
        e->v = _driver_sdl_sym2key(se.key.keysym.sym);
        e->c = se.key.keysym.unicode;
        e->b = _driver_modmask(se.key.keysym.mod);
        break;
    case SDL_MOUSEMOTION:
        e->type = EVT_MOTION;
        e->_x = se.motion.x;
        e->_y = se.motion.y;
        e->_dx = se.motion.xrel;
        e->_dy = se.motion.yrel;
        e->b = se.motion.state;
        e->device = se.motion.which;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        bool wheel = se.button.button == SDL_BUTTON_WHEELUP || se.button.button == SDL_BUTTON_WHEELDOWN;
        e->_x = se.button.x;
        e->_y = se.button.y;
        e->b = se.button.button;
        e->device = se.button.which;
        if (wheel && se.type == SDL_MOUSEBUTTONDOWN) {
            e->type = EVT_WHEEL;
            e->_dy = se.button.button == SDL_BUTTON_WHEELUP ? -1.0f : 1.0f;
        } else if (wheel) {
            e->type = EVT_NONE;
        } else {
            e->type = se.type == SDL_MOUSEBUTTONDOWN ? EVT_DOWN : EVT_UP;
        }
        break;
    }
    case SDL_ACTIVEEVENT:
        e->type = EVT_SDLEVENT;
        e->stype = se.type;
        e->v = se.active.gain ? 1 : 0;
        e->b = se.active.state;
        break;
    case SDL_VIDEOEXPOSE:  // the window's contents were lost and must be drawn again
        e->type = EVT_SDLEVENT;
        e->stype = se.type;
        break;
    case SDL_QUIT:
        e->type = EVT_QUIT;
        break;
    default:
        e->type = EVT_NONE;
        break;
    }
    e->x = e->_x;
    e->y = e->_y;
    e->dx = e->_dx;
    e->dy = e->_dy;
    return 1;
}

// ---------------------------------------------------------------- timing

void driver_timer_set(int fps) { _d().fps = fps; }

int driver_timer_get_ticks() { return _timer_clock ? _timer_clock() : (int)SDL_GetTicks(); }

void driver_timer_delay(int ms) {
    if (_timer_sleep) _timer_sleep(ms);
    else SDL_Delay(ms);
}

void driver_timer_set_clock(int (*get_ticks)(), void (*delay)(int ms)) {
    _timer_clock = get_ticks;
    _timer_sleep = delay;
    _timer_init = 0;
    _timer_frame = 0;
}

void driver_timer_tick() {
    if (_d().fps == 0) return;
    float period = 1000.0f / (float)_d().fps;
    if (!_timer_init) {
        _timer_next = driver_timer_get_ticks();
        _timer_init = 1;
    }
    int now = driver_timer_get_ticks();
    driver_timer_delay((int)mymax(0, (float)(_timer_next - now)));
    _timer_next += myinc(_timer_frame, period);
    _timer_frame++;
    for (int i = 0; i < TIMER_CATCHUP_MAX; i++) {
        if (_timer_next >= now) return;
        _timer_next += myinc(_timer_frame, period);
        _timer_frame++;
    }
    _timer_next = now + myinc(_timer_frame, period);
    _timer_frame++;
}

// ---------------------------------------------------------------- browser

// Starts the program detached, with the address as its only argument, so that
// no character of the address can reach a shell.
static bool _driver_spawn(const char* program, const char* url) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (child == 0) {
        // The grandchild runs the browser so that nobody has to reap it.
        close(fds[0]);
        pid_t grandchild = fork();
        if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
        setsid();
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, 0);
            dup2(devnull, 1);
        }
        execlp(program, program, url, (char*)nullptr);
        char failed = 1;
        ssize_t ignored = write(fds[1], &failed, 1);
        (void)ignored;
        _exit(127);
    }
    close(fds[1]);
    int status = 0;
    waitpid(child, &status, 0);
    char failed = 0;
    ssize_t got = read(fds[0], &failed, 1);
    close(fds[0]);
    return got <= 0;
}

int driver_open_url(const char* url) {
    log_info("Driver::weblink: %s\n", url);
    if (_url_handler) {
        _url_handler(url);
        return 1;
    }
    if (_driver_spawn("xdg-open", url) || _driver_spawn("firefox", url)) return 1;
    fprintf(stderr, "no web browser could be started for %s\n", url);
    return 0;
}

void driver_set_url_handler(void (*handler)(const char* url)) { _url_handler = handler; }

// ---------------------------------------------------------------- inert hooks

std::string driver_clipboard_get_text() { return std::string(); }
void driver_clipboard_set_text(const std::string& text) { (void)text; }
void driver_keyboard_init(void* data) { (void)data; }
void driver_keyboard_show() {}
void driver_keyboard_hide() {}
void driver_keyboard_set_height(int h) { (void)h; }
int driver_keyboard_state() { return 0; }
int driver_keyboard_get_height() { return 0; }
