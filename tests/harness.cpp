// Drives the real Game for end-to-end tests: a private HOME, synthetic input
// in canvas coordinates, ticks without pacing, and the frame read back.
#include "harness.h"

#include <GL/gl.h>
#include <SDL/SDL.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include "driver.h"
#include "engine.h"
#include "gfx_window.h"
#include "gfx.h"
#include "myview.h"
#include "widgets.h"
#include "pngout.h"

Harness::Harness(int window_w, int window_h) {
    const char* old = getenv("HOME");
    _had_home = old != nullptr;
    if (old) _old_home = old;
    char tmpl[] = "/tmp/velquist-test-XXXXXX";
    char* dir = mkdtemp(tmpl);
    _home = dir ? dir : "/tmp";
    setenv("HOME", _home.c_str(), 1);
    std::string user = _home + "/.Velquist";
    mkdir(user.c_str(), 0755);
    Settings s;
    memset(&s, 0, sizeof(s));
    s.version = 1;
    s.music = VOLUME_DEFAULT;
    s.sfx = VOLUME_DEFAULT;
    s.vres = (window_w << VRES_SHIFT) | window_h;
    s.vfull = -1;
    std::string path = user + "/settings.dat";
    if (FILE* f = fopen(path.c_str(), "wb")) {
        fwrite(&s, sizeof(s), 1, f);
        fclose(f);
    }
    _game = new Game();
}

Harness::Harness(const std::string& home) : _home(home), _owns_home(false) {
    const char* old = getenv("HOME");
    _had_home = old != nullptr;
    if (old) _old_home = old;
    setenv("HOME", _home.c_str(), 1);
    _game = new Game();
}

Harness::~Harness() {
    stop();
    delete _game;
    std::error_code ec;
    if (_owns_home && !getenv("VELQUIST_KEEP_HOME")) std::filesystem::remove_all(_home, ec);
    if (_had_home) setenv("HOME", _old_home.c_str(), 1);
    else unsetenv("HOME");
}

std::string Harness::user_file(const char* name) const { return _home + "/.Velquist/" + name; }

void Harness::start() {
    _game->init();
    gfx_window_pin_gl_driver();
    driver_timer_set(0);
    _running = true;
}

void Harness::stop() {
    if (!_running) return;
    _game->deinit();
    _running = false;
}

static bool _from_display_input(const Event& e) {
    switch (e.type) {
    case EVT_KEYDOWN: case EVT_KEYUP: case EVT_DOWN: case EVT_MOTION: case EVT_UP: case EVT_WHEEL:
    case EVT_FOCUS: case EVT_BLUR: case EVT_ENTER: case EVT_EXIT: return true;
    case EVT_SDLEVENT: return e.stype == SDL_ACTIVEEVENT;
    default: return false;
    }
}

void Harness::tick(int n) {
    for (int i = 0; i < n; i++) {
        Event e;
        while (driver_event_poll(&e)) {
            // Tests drive all input themselves: the display's own pointer and
            // focus changes (Xvfb sends them whenever it likes) would make a
            // test's hover and clicks depend on timing.
            if (_from_display_input(e)) continue;
            if (e.type == EVT_QUIT) _game->quit = 1;
            _game->event(e);
        }
        _game->loop();
        _game->paint();
    }
}

void Harness::to_window(float x, float y, float* wx, float* wy) const {
    GfxRect p = gfx_pos_to_hwpos(GfxRect(x, y, 0, 0));
    *wx = p.x;
    *wy = p.y;
}

void Harness::send(Event e) { _game->event(e); }

static int _button_mask(int button) { return button >= 1 && button <= 3 ? 1 << (button - 1) : 0; }

void Harness::move(float x, float y, int buttons) {
    Event e(EVT_MOTION);
    float wx, wy, lx, ly;
    to_window(x, y, &wx, &wy);
    to_window(_last_x, _last_y, &lx, &ly);
    e.x = e._x = wx;
    e.y = e._y = wy;
    e.dx = e._dx = wx - lx;
    e.dy = e._dy = wy - ly;
    e.b = buttons ? buttons : _buttons;
    _last_x = x;
    _last_y = y;
    send(e);
}

void Harness::press(float x, float y, int button) {
    if (x != _last_x || y != _last_y) move(x, y);
    Event e(EVT_DOWN);
    float wx, wy;
    to_window(x, y, &wx, &wy);
    e.x = e._x = wx;
    e.y = e._y = wy;
    e.b = button;
    _buttons |= _button_mask(button);
    send(e);
}

void Harness::release(float x, float y, int button) {
    if (x != _last_x || y != _last_y) move(x, y);
    Event e(EVT_UP);
    float wx, wy;
    to_window(x, y, &wx, &wy);
    e.x = e._x = wx;
    e.y = e._y = wy;
    e.b = button;
    _buttons &= ~_button_mask(button);
    send(e);
}

void Harness::click(float x, float y, int button) {
    press(x, y, button);
    tick();
    release(x, y, button);
    tick();
}

void Harness::wheel(float x, float y, int steps) {
    float wx, wy;
    to_window(x, y, &wx, &wy);
    for (int i = 0; i < (steps < 0 ? -steps : steps); i++) {
        Event e(EVT_WHEEL);
        e.x = e._x = wx;
        e.y = e._y = wy;
        e.dy = e._dy = steps < 0 ? -1.0f : 1.0f;
        e.b = steps < 0 ? 4 : 5;
        send(e);
    }
}

void Harness::key_down(int key, int ch, int mods) {
    Event e(EVT_KEYDOWN);
    e.v = key;
    e.c = ch;
    e.b = mods;
    send(e);
}

void Harness::key_up(int key, int ch, int mods) {
    Event e(EVT_KEYUP);
    e.v = key;
    e.c = ch;
    e.b = mods;
    send(e);
}

bool Harness::cell_to_canvas(int x, int y, float* cx, float* cy, float bar) const {
    // Points of the cell from its middle outwards, on the floor and at the
    // heights of what may stand on it; the first that the view picks as this
    // cell, also a pixel to either side, is where a click lands on it.
    static const float heights[] = {0, 0.3f, 1.0f, 1.25f, 2.4f, 2.5f, 5.0f};
    static const float offsets[][2] = {{0, 0}, {-0.25f, 0}, {0.25f, 0}, {0, -0.25f}, {0, 0.25f},
                                       {-0.4f, -0.4f}, {0.4f, -0.4f}, {-0.4f, 0.4f}, {0.4f, 0.4f}};
    GfxRect view = gfx_get_view();
    for (float hgt : heights)
        for (const auto& o : offsets) {
            float wx, wy;
            if (!myview_project(x + 0.5f + o[0], hgt, y + 0.5f + o[1], &wx, &wy)) continue;
            bool steady = true;
            const float around[5][2] = {{0, 0}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}};
            for (const auto& a : around) {
                int px, py;
                if (!myview_pick(*_game, wx + a[0], wy + a[1], &px, &py) || px != x || py != y) steady = false;
            }
            if (!steady) continue;
            GfxRect p = gfx_hwpos_to_pos(GfxRect(wx, wy, 0, 0));
            if (p.x < view.x || p.y < view.y || p.x >= view.x + view.w || p.y >= view.y + view.h - bar) continue;
            *cx = p.x;
            *cy = p.y;
            return true;
        }
    return false;
}

bool Harness::click_cell(int x, int y) {
    float cx, cy;
    if (!cell_to_canvas(x, y, &cx, &cy, WBOMB_SIZE)) return false;
    click(cx, cy);
    return true;
}

void Harness::key(int key, int ch, int mods) {
    key_down(key, ch, mods);
    tick();
    key_up(key, ch, mods);
    tick();
}

void Harness::type(const char* text) {
    for (const char* p = text; *p; p++) {
        int c = (unsigned char)*p;
        int k = KEY_NONE;
        if (c >= 'a' && c <= 'z') k = KEY_a + (c - 'a');
        else if (c >= 'A' && c <= 'Z') k = KEY_a + (c - 'A');
        key(k, c, (c >= 'A' && c <= 'Z') ? MOD_SHIFT : 0);
    }
}

std::vector<unsigned char> Harness::pixels(int* w, int* h) {
    int ww = 0, hh = 0;
    driver_get_size(&ww, &hh);
    std::vector<unsigned char> raw((size_t)ww * hh * 4);
    // What a swap left in either buffer is undefined, so the current screen
    // is drawn once more, without a swap, and read where it was drawn. (Its
    // widgets' fades advance by one step, as on any frame.)
    gfx_clear();
    if (_game->state >= 0 && _game->state < STATE_TABLE_MAX && _game_states[_game->state])
        _game_states[_game->state]->paint();
    game_notice_paint(*_game);  // the shell's notice, over the screen as in Game::paint
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, ww, hh, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
    std::vector<float> depth((size_t)ww * hh);
    glReadPixels(0, 0, ww, hh, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    _depth.resize(depth.size());
    for (int y = 0; y < hh; y++)
        memcpy(&_depth[(size_t)y * ww], &depth[(size_t)(hh - 1 - y) * ww], (size_t)ww * sizeof(float));
    std::vector<unsigned char> out(raw.size());
    for (int y = 0; y < hh; y++)
        memcpy(&out[(size_t)y * ww * 4], &raw[(size_t)(hh - 1 - y) * ww * 4], (size_t)ww * 4);
    if (w) *w = ww;
    if (h) *h = hh;
    return out;
}

unsigned int Harness::pixel(float x, float y) {
    int w, h;
    std::vector<unsigned char> px = pixels(&w, &h);
    float wx, wy;
    to_window(x, y, &wx, &wy);
    int ix = (int)wx, iy = (int)wy;
    if (ix < 0 || iy < 0 || ix >= w || iy >= h) return 0;
    const unsigned char* p = &px[((size_t)iy * w + ix) * 4];
    return ((unsigned int)p[0] << 16) | ((unsigned int)p[1] << 8) | p[2];
}

bool Harness::save_png(const char* path) {
    int w, h;
    std::vector<unsigned char> px = pixels(&w, &h);
    for (size_t i = 3; i < px.size(); i += 4) px[i] = 255;
    return pngout_write(path, w, h, px.data());
}

Container& Harness::gui() { return gui_of(_game->state); }

// ---------------------------------------------------------------- what the screens show

Screen& screen_at(int state) { return *static_cast<Screen*>(_game_states[state]); }

Container& gui_of(int state) { return screen_at(state).gui; }

static void _harness_collect(Widget* w, const std::function<bool(Widget*)>& keep, std::vector<Widget*>& out) {
    if (keep(w)) out.push_back(w);
    if (Container* c = dynamic_cast<Container*>(w))
        for (Widget* k : c->widgets) _harness_collect(k, keep, out);
}

std::vector<Widget*> find_widgets(Widget* root, const std::function<bool(Widget*)>& keep) {
    std::vector<Widget*> out;
    if (root) _harness_collect(root, keep, out);
    return out;
}

// Every label below root, in tree order, whose text `keep` accepts.
static std::vector<Label*> _harness_labels(Widget* root, const std::function<bool(const char*)>& keep) {
    std::vector<Label*> out;
    for (Widget* w : find_widgets(root, [&keep](Widget* w) {
             Label* l = dynamic_cast<Label*>(w);
             return l && l->txt && keep(l->txt);
         }))
        out.push_back(static_cast<Label*>(w));
    return out;
}

std::vector<Label*> find_labels(Widget* root, const char* text) {
    return _harness_labels(root, [text](const char* t) { return strcmp(t, text) == 0; });
}

Label* find_label(Widget* root, const char* text) {
    std::vector<Label*> all = find_labels(root, text);
    return all.empty() ? nullptr : all[0];
}

std::vector<std::string> label_texts(Widget* root) {
    std::vector<std::string> out;
    for (Label* l : _harness_labels(root, [](const char*) { return true; })) out.push_back(l->txt);
    return out;
}

bool Harness::click_label(const char* text) {
    tick();  // lays the screen out
    Label* l = find_label(&gui(), text);
    if (!l) return false;
    MyRect r = l->get_abs_rect(true);
    float x = r.x + r.w / 2.0f, y = r.y + r.h / 2.0f;
    if (x < 0 || y < 0 || x >= CANVAS_W || y >= CANVAS_H) return false;
    click(x, y);
    return true;
}

bool shows(Widget* root, const std::string& text) { return find_label(root, text.c_str()) != nullptr; }
