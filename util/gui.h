// The GUI toolkit: a retained widget tree laid out and painted every frame,
// animated style sheets, the text input and the game's standard widgets.
//
// Sections: fonts and style sheets (theme.cpp), the widget tree and layout
// (gui.cpp), the text input (textinput.cpp), game widgets and factories
// (gui_widgets.cpp).
#pragma once

#include <string>
#include <vector>

#include "event.h"
#include "font.h"
#include "myrect.h"

// Marks a style field that a record does not give.
const int UNSET = -16777215;
static_assert((unsigned int)UNSET == 0xFF000001u, "UNSET is the bit pattern FF000001");

// Alignment values used by styles and text: left (top), centre, right (bottom).
enum { ALIGN_START = -1, ALIGN_CENTER = 0, ALIGN_END = 1 };

// ---------------------------------------------------------------- fonts (theme.cpp)

// The type scale: one font per level of text. "font2" is also the buttons'
// type, "font3" small print.
#define FONT_TITLE "title"      // a screen's headline
#define FONT_HEADING "heading"  // headings and the numbers a player reads at a glance
#define FONT_BODY "font1"       // running text

// The interface's palette, the art's own (tools/uiart/art.h): night blue
// panels with a steel rim, cyan for what is chosen, amber for what stands out.
enum {
    UI_NIGHT = 0x0F1C33,
    UI_NIGHT_DEEP = 0x08101F,
    UI_STEEL = 0x4F709A,
    UI_STEEL_LIGHT = 0x7A9CC6,
    UI_CYAN = 0x3FD8F0,
    UI_AMBER = 0xF0A53C,
    UI_TEXT_DIM = 0xB4BCC8,  // secondary text: 4.5:1 and more on any panel of ours
};

// A font number from font_load, with forwarding helpers.
struct Font {
    int fid = 0;
    Font(int f = 0) : fid(f) {}
    // w when it is non-zero (a wrapping field is as wide as its wrap), else the text's width.
    int get_width(const char* text, int w = 0) const;
    // Height of the text wrapped at w (0 = one line).
    int get_height(const char* text, int w = 0) const;
    void draw(const char* text, int x, int y, int w = 0, int align = ALIGN_START) const;
    GfxRect crect(const char* text, int pos, int w = 0, int align = ALIGN_START) const;
    int cnear(const char* text, int x, int y, int w = 0, int align = ALIGN_START) const;
};

// ---------------------------------------------------------------- style sheets (theme.cpp)

enum { STYLE_TOP = 0, STYLE_RIGHT = 1, STYLE_BOTTOM = 2, STYLE_LEFT = 3, STYLE_SIDES = 4 };

enum {
    STYLE_NONE = 0,    // overrides of the normal state
    STYLE_CUR = 1,     // the animated values that measuring and painting read
    STYLE_HOVER = 2,
    STYLE_FOCUS = 3,
    STYLE_ACTIVE = 4,  // focused and hovered: a pressed button
    STYLE_ALT = 5,     // wins whenever the sheet's alt flag is on
    STYLE_MAX = 6
};

// Steps by which a current value moves toward its target each layout pass.
enum {
    STYLE_STEP_SIZE = 1000,   // width, height: any usual size changes at once
    STYLE_STEP_PIXEL = 1,     // edges, grow and corner sizes
    STYLE_STEP_COLOR = 36,    // per colour channel: a full range in 8 steps
    STYLE_STEP_ALPHA = 36,
};

enum { STYLE_WHITE = 0xFFFFFF, STYLE_OPAQUE = 255, STYLE_CORNER_DEFAULT = 16 };

// One style record; every field starts UNSET. Colours are 0xRRGGBB, images
// are handles from gfx_img_load.
struct StyleData {
    int width = UNSET, height = UNSET;
    int clip = UNSET;
    int align = UNSET, valign = UNSET;
    int color = UNSET;
    int background = UNSET;
    int border[STYLE_SIDES] = {UNSET, UNSET, UNSET, UNSET};
    int border_color = UNSET;
    int padding[STYLE_SIDES] = {UNSET, UNSET, UNSET, UNSET};
    int margin[STYLE_SIDES] = {UNSET, UNSET, UNSET, UNSET};
    int box_color = UNSET;
    int box_grow = UNSET;
    int box_size = UNSET;
    int box_tex = UNSET;
    int img = UNSET;
    int img_color = UNSET;
    int img_alpha = UNSET;
    int img_blend = UNSET, img_autofit = UNSET;
    int ovr = UNSET;
    int ovr_color = UNSET;
    int ovr_alpha = UNSET;
    int ovr_blend = UNSET;
    int ovr_size = UNSET;
    int sfx_onclick = UNSET, sfx_ondown = UNSET, sfx_onup = UNSET;

    // The top value is stored as given; each other side as given, or as the
    // top value when it is UNSET (so one value sets all four sides).
    void set_padding(int top, int right = UNSET, int bottom = UNSET, int left = UNSET);
    void set_margin(int top, int right = UNSET, int bottom = UNSET, int left = UNSET);
    void set_border(int top, int right = UNSET, int bottom = UNSET, int left = UNSET);
};

// A base style (the inherited fields), one record per state and the current
// record that fades toward the present state's values.
struct StyleSheet : StyleData {
    StyleData data[STYLE_MAX];
    int hover = 0;
    int focus = 0;
    int active = 0;  // derived: focus and hover
    int alt = 0;
    int state = STYLE_NONE;  // STYLE_NONE, STYLE_HOVER, STYLE_FOCUS or STYLE_ACTIVE

    void restate();
    // One transition step of every field of data[STYLE_CUR].
    void loop();
    // While on, loop() only gives fields that have no value yet their
    // target: a frame laid out a second time in the same tick does not fade
    // twice as fast.
    static void hold(bool on);
    StyleData& cur() { return data[STYLE_CUR]; }
    const StyleData& cur() const { return data[STYLE_CUR]; }

    static int i_prep(int a, int b, int c);  // integer: moves by c, lands on b
    static int n_prep(int a, int b, int c);  // jumps to b
    static int c_prep(int a, int b, int c);  // i_prep per colour channel

private:
    int _target(int StyleData::*f) const;
    int _target(int (StyleData::*f)[STYLE_SIDES], int i) const;
};

class Widget;

// The one measurer and painter of styles: adds and removes the edges around
// a widget's content.
class Theme {
public:
    static void resize(Widget* w);
    static void resize(Widget* w, int W, int H);
    static int event(Widget* w, Event* e);
    static void paint(Widget* w);

    // The few OpenGL state changes of painting, kept here so that layout and
    // routing never touch OpenGL: tint (0xRRGGBB, alpha 0..255) and the
    // model-view matrix stack.
    static void color(int rgb, int alpha = STYLE_OPAQUE);
    static void push();
    static void pop();
};

// ---------------------------------------------------------------- the widget tree (gui.cpp)

class Container;

class Widget {
public:
    int _type = 0;
    Container* parent = nullptr;
    Widget* next = nullptr;  // receives the focus on Tab
    MyRect rect;             // content box: offset inside the outer box, content size
    MyRect _rect;            // outer box: position in the parent's content, full size
    MyRect view;             // scroll offset of the own content (x, y)
    int onclick = 0, ondown = 0, onmove = 0, onchange = 0;
    std::string name;
    StyleSheet style;
    int ignore = 0;  // skipped by hit testing and the orientation broadcast
    int b_col = 0, b_row = 0;
    int b_colspan = 1, b_rowspan = 1;
    int b_x = 0, b_y = 0;

    Widget() = default;
    Widget(const Widget&) = default;
    Widget& operator=(const Widget&) = default;

    virtual Widget* find(const char* name);
    virtual const char* get_value_s();
    virtual void set_value_s(const char* s);
    virtual int get_value_i();
    virtual void set_value_i(int v);
    virtual void _focus();
    virtual int event(Event* e);
    virtual void loop() {}
    virtual void paint() {}
    virtual void resize();
    virtual void resize(int w, int h);
    virtual int _event(Event* e);
    virtual void _paint();
    virtual void _resize();
    virtual void _resize(int w, int h);
    virtual ~Widget() {}

    // Puts w in the place of the widget called v below this one (the old one
    // is deleted). Returns 0, and leaves w to the caller, when there is none.
    int replace(const char* v, Widget* w);

    // What the code that builds a tree uses of the entries a parent calls.
    // The outer box as the last layout left it: position in the parent's
    // content, full size with the style's edges.
    const MyRect& outer_box() const { return _rect; }
    // Moves the outer box to (x, y) of the parent's content.
    void move_to(int x, int y) {
        _rect.x = x;
        _rect.y = y;
    }
    // Lays the widget out as its parent would, so its outer box is known.
    void layout() { _resize(); }
    // Paints it as its parent would: its style's look, then its content,
    // with the outer box at the current origin.
    void draw() { _paint(); }
    // Gives it the keyboard focus (one focus chain from the root down).
    void take_focus() { _focus(); }
    MyRect get_abs_rect(bool inc_style);
    void _enable_clip();
    void _disable_clip();
};

// Owns its children and routes events to them (hit test, focus, hover, clicks).
class Container : public Widget {
public:
    std::vector<Widget*> widgets;
    Widget* hover = nullptr;
    Widget* focus = nullptr;

    Container() = default;
    // Children cannot be shared: a container is moved, never copied.
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;
    Container(Container&& o);
    // Deletes the own children and takes over o's (screens start over with
    // gui = Container()); o is left empty.
    Container& operator=(Container&& o);
    ~Container() override;

    void add(Widget* w, int x = 0, int y = 0);
    void remove(Widget* w);
    Widget* find(const char* name) override;
    int event(Event* e) override;
    void loop() override;
    void paint() override;
    void resize() override;

protected:
    Widget* _hit(float x, float y);
    void _clear();
};

// A grid of cells with column and row spans.
class Table : public Container {
public:
    int row = -1, col = 0;  // cell cursor of tr/td
    Widget* me;             // hidden cell spanning the grid: the table's minimum size

    Table();
    Table(Table&&) = delete;
    Table& operator=(Table&&) = delete;

    void tr();
    void td(Widget* w, int colspan = 1, int rowspan = 1, int col = -1, int row = -1);
    void resize() override;
    using Container::resize;
};

// Share i (a column's absolute number) of n spread over d columns.
int t_div(int n, int d, int i);

// A container of exactly one child, aligned inside the box.
class Box : public Container {
public:
    explicit Box(Widget* w);
    Box(Widget* w, const StyleSheet& s);
    Box(Box&&) = delete;
    Box& operator=(Box&&) = delete;

    void resize() override;
    void paint() override;
    void resize(int w, int h) override;
    virtual void _align();
};

class Label : public Widget {
public:
    Font fnt;
    char* txt;  // own heap copy

    Label(Font f, const char* text);
    Label(const Label& o);
    Label& operator=(const Label& o);
    ~Label() override;

    void set_text(const char* text);
    int event(Event* e) override;
    void paint() override;
    void resize() override;
    using Widget::resize;

private:
    int _wrap_w() const;
};

// A fixed-size window onto a larger child, scrolled by dragging, flinging
// and the wheel.
class ScrollBox : public Container {
public:
    int state = 0;  // 1 while the user drags the content
    int ay = 0;     // vertical fling speed, pixels a tick

    ScrollBox(Widget* w, int width, int height);
    ScrollBox(ScrollBox&&) = delete;
    ScrollBox& operator=(ScrollBox&&) = delete;

    void resize() override;
    using Container::resize;
    void loop() override;
    int event(Event* e) override;
    void paint() override;
    // Keeps view inside the child.
    void clamp_view();
    // Pixels one wheel step scrolls the child as it is laid out now.
    int wheel_step() const;
};

// One wheel step scrolls a list (a table) by GUI_WHEEL_ROWS of its rows,
// anything else by GUI_WHEEL_STEP pixels.
enum { GUI_WHEEL_STEP = 30, GUI_WHEEL_ROWS = 3 };

// ---------------------------------------------------------------- text input (textinput.cpp)

// One undo record.
struct TextInputChange {
    int p = 0;      // caret before the edit
    int pos = 0;    // where the edit starts
    std::string a;  // removed
    std::string b;  // inserted
    void print(const char* ctx, int n) const { (void)ctx; (void)n; }
};

enum { TEXTINPUT_HISTORY = 255, TEXTINPUT_CURSOR_W = 2, TEXTINPUT_SELECTION = 0x55AAFF };

class TextInput : public Widget {
public:
    Font fnt;
    std::string txt;
    std::string txt2;  // as shown: txt, or its mask
    std::vector<TextInputChange> undo;
    int undo_n = 0;  // records applied; those from undo_n on can be redone
    int _pos = 0;    // selection anchor
    int pos = 0;     // caret
    int cursor_w = TEXTINPUT_CURSOR_W;
    int cx = -1;  // remembered caret x for Up and Down
    unsigned int maxlen;
    int passwd = 0;
    int reveal = 0;
    int wrap = 0;

    TextInput(Font f, const char* s, unsigned int _maxlen);
    ~TextInput() override;

    const char* get_value_s() override;
    void set_value_s(const char* s) override;
    int event(Event* e) override;
    void paint() override;
    void resize() override;
    using Widget::resize;

    // Where the field's clipboard keys read and write; the driver's
    // clipboard unless a test or host replaces it (null restores it).
    static void set_clipboard(std::string (*get)(), void (*set)(const std::string&));

    void _change(int p, int n, const char* b);
    void _apply(int p, int n, const std::string& v);
    std::string _filter(const std::string& ct) const;
    void _undo();
    void _redo();
    void _mktxt2();
    void _click(int x, int y, bool both);
    void _adjust(bool _cx, bool cursor);

private:
    int _wrap_w() const;
    int _key(Event* e);
    bool _command(int key, bool shift);
    int _type(int ch);
    std::string _selection() const;
    static int _min(int a, int b) { return a < b ? a : b; }
    static int _max(int a, int b) { return a > b ? a : b; }
    static int _abs(int a) { return a < 0 ? -a : a; }
};

// ---------------------------------------------------------------- game widgets (gui_widgets.cpp)

// A vertical slider, used as a scroll bar.
class VSlider : public Widget {
public:
    int low, high, value;
    int size;  // thumb length in pixels

    VSlider(int low, int high, int value, int size);
    int get_value_i() override { return value; }
    void set_value_i(int v) override;
    int event(Event* e) override;
    void paint() override;
    virtual void change() {}
};

// A horizontal number slider with its value printed at the right.
class NumSlider : public Widget {
public:
    int low, high, value;
    int sz;    // thumb width
    int zone;  // width kept at the right for the number
    int inc;   // step of the value
    int instant;  // report every change while dragging, else once on release
    Font fnt;

    NumSlider(int low, int high, int value, int inc, int instant);
    int get_value_i() override { return value; }
    void set_value_i(int v) override;
    int event(Event* e) override;
    void paint() override;
    virtual void change() {}
};

// A box that carries an int value.
class VBox : public Box {
public:
    int value = 0;
    explicit VBox(Widget* w) : Box(w) {}
    int get_value_i() override { return value; }
    void set_value_i(int v) override { value = v; }
};

// A scroll box with a bar beside it.
class ScrollBox2 : public Table {
public:
    ScrollBox* box;
    VSlider* vscroll;

    explicit ScrollBox2(ScrollBox* box);
    void resize() override;
    using Table::resize;
    int event(Event* e) override;
};

// A grid of mutually exclusive choices.
class GridPicker : public Table {
public:
    int value = 0;
    int cols;
    int cur = 0;  // items added

    explicit GridPicker(int cols);
    int get_value_i() override { return value; }
    void set_value_i(int v) override;
    int event(Event* e) override;
    virtual int has(int v);
    virtual void change();
    virtual void item(const char* txt, int value, int ww = 0);
};

// Factories: new widgets that the caller hands to a container.
Box* w_button_size(const char* text, int onclick, int ww, int hh, int tex);
Box* w_menu_button(const char* text, int onclick, int img);
Box* w_button(Widget* tw, int onclick, int ww, int hh);
TextInput* w_textinput(const char* name, const char* value, int wrap, int passwd);
NumSlider* w_numslider(const char* name, int value, int low, int high, int step, int instant);

// A night-blue panel with a steel rim around child, with room inside;
// alpha 255 covers what lies beneath, less lets some of it through.
Box* w_panel(Widget* child, int alpha);
// Dims the whole window evenly (beyond the canvas too, on a window of
// another shape): what lies beneath keeps (255 - alpha) / 255 of its light.
// Added to gui at the window's top left; the pointer passes through it.
Widget* w_shade(Container& gui, int alpha);
// A dialog: content on an opaque panel in the middle of the window, over a
// shade that takes every pointer event until the dialog, named name, is
// removed.
Box* w_dialog(Container& gui, Widget* content, const char* name);
enum { W_SHADE_ALPHA = 170, W_PANEL_ROOM_V = 18, W_PANEL_ROOM_H = 30, W_PANEL_RIM = 2 };
