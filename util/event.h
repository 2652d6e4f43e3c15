// One input event as the whole game passes it around, with its kinds and key codes.
#pragma once

enum {
    EVT_NONE, EVT_QUIT, EVT_SUSPEND, EVT_RESUME, EVT_KEYDOWN, EVT_KEYUP,
    EVT_DOWN, EVT_MOTION, EVT_UP, EVT_WHEEL, EVT_ACCEL, EVT_ORIENT,
    EVT_JOYBUTTON, EVT_JOYAXIS, EVT_FOCUS, EVT_BLUR, EVT_ENTER, EVT_EXIT,
    EVT_CLICK, EVT_SDLEVENT, EVT_MAX
};

enum {
    KEY_NONE,
    KEY_UP, KEY_RIGHT, KEY_DOWN, KEY_LEFT,
    KEY_ESCAPE, KEY_BACKSPACE, KEY_DELETE, KEY_RETURN, KEY_HOME, KEY_END,
    KEY_F1, KEY_F2, KEY_F3, KEY_F4, KEY_F5, KEY_F6, KEY_F7, KEY_F8, KEY_F9,
    KEY_F10, KEY_F11, KEY_F12,
    KEY_TAB,
    KEY_P0, KEY_P1, KEY_P2, KEY_P3, KEY_P4, KEY_P5, KEY_P6, KEY_P7, KEY_P8, KEY_P9,
    KEY_a, KEY_b, KEY_c, KEY_d, KEY_e, KEY_f, KEY_g, KEY_h, KEY_i, KEY_j, KEY_k,
    KEY_l, KEY_m, KEY_n, KEY_o, KEY_p, KEY_q, KEY_r, KEY_s, KEY_t, KEY_u, KEY_v,
    KEY_w, KEY_x, KEY_y, KEY_z,
    KEY_0, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9,
    KEY_MAX
};
static_assert(KEY_TAB == 23 && KEY_a == 34 && KEY_0 == 60 && KEY_MAX == 70, "key codes");
static_assert(EVT_CLICK == 18 && EVT_MAX == 20, "event codes");

// Modifier mask carried in Event::b of key events.
enum { MOD_SHIFT = 1, MOD_CTRL = 2, MOD_ALT = 4, MOD_META = 8 };
// Ctrl, Alt or Meta: the modifiers that turn a letter into a command.
enum { MOD_COMMAND = MOD_CTRL | MOD_ALT | MOD_META };

// Activation state mask carried in Event::b of EVT_SDLEVENT.
enum { ACTIVE_MOUSE = 1, ACTIVE_INPUT = 2, ACTIVE_SHOWN = 4 };

// Event::v of an EVT_FOCUS that a pointer press caused (programmatic focus sends 0).
enum { FOCUS_BY_POINTER = 6 };

struct Event {
    int type;
    float x, y, z;        // position on the logical canvas (window pixels until corrected)
    float dx, dy, dz;     // relative motion; wheel steps in dy
    float _x, _y, _z;     // raw window position in pixels
    float _dx, _dy, _dz;  // raw window motion in pixels
    int b;                // button, modifier mask or activation mask
    int v;                // KEY_ code, gained flag or orientation
    int c;                // character a key press produced, 0 if none
    int t;
    int stype;            // platform event type of EVT_SDLEVENT
    int device;           // pointing device index

    explicit Event(int type_ = EVT_NONE)
        : type(type_), x(0), y(0), z(0), dx(0), dy(0), dz(0), _x(0), _y(0), _z(0),
          _dx(0), _dy(0), _dz(0), b(0), v(0), c(0), t(0), stype(0), device(0) {}
};
