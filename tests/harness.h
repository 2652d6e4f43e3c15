// Drives the real Game for end-to-end tests: a private HOME, synthetic input
// in canvas coordinates, ticks without pacing, and the frame read back.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine.h"
#include "game.h"

class Harness {
public:
    // Prepares a fresh HOME whose settings open a window of w x h pixels.
    explicit Harness(int window_w = 960, int window_h = 720);
    // Runs in the HOME of an earlier harness (a second start of the game on
    // the same user files). The earlier harness owns the folder and removes
    // it, so it must outlive this one.
    explicit Harness(const std::string& home);
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;
    ~Harness();

    Game& game() { return *_game; }
    // The widgets of the screen shown now.
    Container& gui();
    const std::string& home() const { return _home; }
    // Path of a file in the game's per-user folder.
    std::string user_file(const char* name) const;

    // Starts the game (Game::init) and turns frame pacing off.
    void start();
    // Ends it (Game::deinit); also done by the destructor if still running.
    void stop();
    bool running() const { return _running; }

    // Runs n ticks the way main() does: drain platform events, loop, paint.
    void tick(int n = 1);
    // Ticks until cond() holds or max ticks have passed; returns cond().
    template <typename F>
    bool tick_until(F cond, int max = 3000) {
        for (int i = 0; i < max && !cond(); i++) tick();
        return cond();
    }

    // Input, in logical canvas coordinates (960 x 720).
    void send(Event e);  // e.x, e.y already in window pixels
    void move(float x, float y, int buttons = 0);
    void press(float x, float y, int button = 1);
    void release(float x, float y, int button = 1);
    // Press, one tick, release, one tick.
    void click(float x, float y, int button = 1);
    void wheel(float x, float y, int steps);
    void key_down(int key, int ch = 0, int mods = 0);
    void key_up(int key, int ch = 0, int mods = 0);
    // Left click on map cell (x, y) where the play screen shows it, above its
    // bottom bar (cell_to_canvas). False, and no click, when no part of it shows.
    bool click_cell(int x, int y);
    // A canvas point at which the map view picks cell (x, y), as near its
    // middle as it shows, with the matrices and the cut-away of the last
    // frame, and at least `bar` canvas units above the window's bottom edge
    // (what a bar there covers). False when nothing of the cell shows there.
    bool cell_to_canvas(int x, int y, float* cx, float* cy, float bar = 0) const;
    // After a tick that lays the screen out, clicks the middle of the first
    // label of the current screen that shows `text`; false, and no click,
    // when there is none or it lies off the canvas.
    bool click_label(const char* text);
    // Key down, one tick, key up, one tick.
    void key(int key, int ch = 0, int mods = 0);
    // Types printable text, one key press per character.
    void type(const char* text);

    // The current screen drawn once more, RGBA, top row first.
    std::vector<unsigned char> pixels(int* w, int* h);
    // Depth buffer of the last picture taken by pixels(), top row first:
    // 1 where the map view drew nothing.
    const std::vector<float>& depth() const { return _depth; }
    // Colour 0xRRGGBB of that picture at canvas point (x, y).
    unsigned int pixel(float x, float y);
    bool save_png(const char* path);

    // Window pixel of a canvas point.
    void to_window(float x, float y, float* wx, float* wy) const;

private:
    Game* _game = nullptr;
    std::string _home;
    std::string _old_home;
    bool _had_home = false;
    bool _owns_home = true;
    bool _running = false;
    float _last_x = 0, _last_y = 0;
    int _buttons = 0;
    std::vector<float> _depth;
};

// ---- what the screens show, for every test that looks at them
// The screen in slot `state` of the screen table.
Screen& screen_at(int state);
// Its widget tree.
Container& gui_of(int state);
// The labels below root (root included) that show exactly `text`, in tree order.
std::vector<Label*> find_labels(Widget* root, const char* text);
// The first of them, or null.
Label* find_label(Widget* root, const char* text);
// Every widget below root (root included) that `keep` accepts, in tree order.
std::vector<Widget*> find_widgets(Widget* root, const std::function<bool(Widget*)>& keep);
// Every label text below root, in tree order.
std::vector<std::string> label_texts(Widget* root);
// Whether a label below root shows exactly `text`.
bool shows(Widget* root, const std::string& text);
