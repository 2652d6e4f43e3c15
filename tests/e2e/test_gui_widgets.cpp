// The game's widgets: slider reports, the scroll bar beside a scroll box,
// the choice grid, and the sizes of the standard buttons and fields.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_gui.h"

using namespace guitest;

namespace {

class GuiWidgets : public ::testing::Test {
protected:
    Screen screen;
};

// Clicks at the middle of a widget's outer box.
int click_on(Container& root, Widget* w) {
    MyRect r = w->get_abs_rect(true);
    float x = (float)(r.x + r.w / 2), y = (float)(r.y + r.h / 2);
    move(root, x, y);
    press(root, x, y);
    return release(root, x, y);
}

}  // namespace

TEST_F(GuiWidgets, NumSliderReportsOnReleaseUnlessInstant) {
    for (int instant : {0, 1}) {
        Container root;
        NumSlider* s = w_numslider("volume", 50, 0, 100, 1, instant);
        s->onchange = 7;
        root.add(s, 0, 0);
        root.resize();
        int line = Font(font_load("font2")).get_height(nullptr, 0);
        EXPECT_EQ(s->sz, std::max(2 * line, (720 - s->zone) / 101));
        EXPECT_EQ(s->rect.w, 720);

        float left = 4 + 1, right = 4 + 719, y = 5;
        EXPECT_EQ(press(root, left, y), instant ? 7 : 0) << instant;
        EXPECT_EQ(s->value, 0);
        EXPECT_EQ(move(root, left, y, 1, 1, 0), 0) << "no change, no report";
        EXPECT_EQ(move(root, right, y, 1, 700, 0), instant ? 7 : 0);
        EXPECT_EQ(s->value, 100) << "the far right gives the top value";
        EXPECT_EQ(release(root, right, y), instant ? 0 : 7) << "without instant: once, on release";
        EXPECT_EQ(move(root, left, y, 0), 0) << "no button held: no drag";
        EXPECT_EQ(s->value, 100);
    }
}

TEST_F(GuiWidgets, NumSliderStepsAndUnclampedValues) {
    NumSlider s(0, 100, 50, 10, 1);
    s.style.focus = 1;
    int track = s.rect.w - (s.zone + s.sz);
    Event e = pointer(EVT_DOWN, (float)(s.sz / 2) + track * 0.37f, 5, 1);
    s.event(&e);
    EXPECT_EQ(s.value % 10, 0) << "whole steps only";
    EXPECT_GE(s.value, 30);
    EXPECT_LE(s.value, 40);
    s.set_value_i(500);
    EXPECT_EQ(s.get_value_i(), 500) << "set_value_i does not clamp";
}

TEST_F(GuiWidgets, VSliderFollowsThePointerAndTheWheel) {
    Container root;
    VSlider* v = new VSlider(0, 100, 0, 20);
    v->style.height = 220;
    v->onchange = 3;
    root.add(v, 0, 0);
    root.resize();
    EXPECT_EQ(v->rect.w, 32);
    EXPECT_EQ(press(root, 5, 110), 3);
    EXPECT_EQ(v->value, 50);  // (110 - 10) * 101 / 200 = 50.5
    EXPECT_EQ(move(root, 5, 110, 1), 0) << "unchanged: no report";
    release(root, 5, 110);
    EXPECT_EQ(wheel(root, 5, 110, 1), 3);
    EXPECT_EQ(v->value, 80);
    EXPECT_EQ(wheel(root, 5, 110, 1), 3) << "reported even at the end";
    EXPECT_EQ(v->value, 100);
    v->set_value_i(-5);
    EXPECT_EQ(v->value, 0);
}

TEST_F(GuiWidgets, ScrollBarFitsItsBox) {
    struct Case { int content, box, thumb, high; };
    // H = box - 4. Content that fits: range 0..1, thumb H. Ten times the
    // box: a tenth of H. Far more: never under 20.
    for (Case c : {Case{100, 200, 196, 1}, Case{4000, 400, 39, 3600}, Case{20000, 200, 20, 19800}}) {
        Container root;
        ScrollBox2* s = new ScrollBox2(new ScrollBox(block(50, c.content), 100, c.box));
        root.add(s, 0, 0);
        root.resize();
        EXPECT_EQ(s->vscroll->style.height, c.box - 4);
        EXPECT_EQ(s->vscroll->low, 0);
        EXPECT_EQ(s->vscroll->high, c.high) << c.content;
        EXPECT_EQ(s->vscroll->size, c.thumb) << c.content;
    }
}

TEST_F(GuiWidgets, ScrollBarAndBoxMoveTogether) {
    Container root;
    ScrollBox* box = new ScrollBox(block(50, 4000), 100, 400);
    ScrollBox2* s = new ScrollBox2(box);
    root.add(s, 0, 0);
    root.resize();
    MyRect bar = s->vscroll->get_abs_rect(false);
    EXPECT_EQ(bar.x, 100 + 5);
    // Dragging the bar to its middle scrolls the box there.
    EXPECT_EQ(press(root, (float)bar.x + 2, (float)bar.y + bar.h / 2.0f), 0);
    EXPECT_GT(box->view.y, 1700);
    EXPECT_LT(box->view.y, 1900);
    release(root, (float)bar.x + 2, (float)bar.y + bar.h / 2.0f);
    // Scrolling the box moves the bar at the next layout.
    move(root, 10, 10);
    wheel(root, 10, 10, -10);
    root.resize();
    EXPECT_EQ(s->vscroll->value, box->view.y);
}

TEST_F(GuiWidgets, PickerRowsAndSelection) {
    Container root;
    GridPicker* p = new GridPicker(5);
    p->onchange = 99;
    for (int i = 1; i <= 7; i++) p->item("x", i);
    root.add(p, 0, 0);
    root.resize();
    std::vector<Widget*> items;
    for (Widget* w : p->widgets)
        if (w != p->me) items.push_back(w);
    ASSERT_EQ(items.size(), 7u);
    std::sort(items.begin(), items.end(),
              [](Widget* a, Widget* b) { return a->get_value_i() < b->get_value_i(); });
    for (int i = 0; i < 7; i++) {
        EXPECT_EQ(items[i]->b_row, i / 5);
        EXPECT_EQ(items[i]->b_col, i % 5);
    }
    EXPECT_GT(items[5]->_rect.y, items[0]->_rect.y);
    EXPECT_EQ(items[5]->_rect.x, items[0]->_rect.x);

    EXPECT_EQ(click_on(root, items[6]), 99);
    EXPECT_EQ(p->get_value_i(), 7);
    for (int i = 0; i < 7; i++) EXPECT_EQ(items[i]->style.alt, (int)(i == 6)) << i;
    root.resize();
    EXPECT_EQ(items[6]->style.cur().box_tex, gfx_img_load("box2"));
    EXPECT_EQ(items[0]->style.cur().box_tex, gfx_img_load("box"));

    p->set_value_i(42);
    for (Widget* w : items) EXPECT_EQ(w->style.alt, 0);
    EXPECT_EQ(p->has(3), 1);
    EXPECT_EQ(p->has(42), 0);
    EXPECT_EQ(p->has(0), 0) << "the hidden size cell is not an item";
}

TEST_F(GuiWidgets, PickerItemOfValueZeroCannotBeClicked) {
    Container root;
    GridPicker* p = new GridPicker(2);
    p->item("none", 0);
    p->item("one", 1);
    p->set_value_i(1);
    root.add(p, 0, 0);
    root.resize();
    Widget* zero = nullptr;
    for (Widget* w : p->widgets)
        if (w != p->me && w->get_value_i() == 0) zero = w;
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(click_on(root, zero), 0);
    EXPECT_EQ(p->value, 1);
    p->set_value_i(0);
    EXPECT_EQ(zero->style.alt, 1);
}

TEST(GuiValueBox, CarriesItsValue) {
    VBox b(block(5, 5));
    EXPECT_EQ(b.get_value_i(), 0);
    b.set_value_i(-12);
    EXPECT_EQ(b.get_value_i(), -12);
}

TEST_F(GuiWidgets, MenuButtonMeasures480By60UnlessItsLabelIsWider) {
    Font font2(font_load("font2"));
    ASSERT_LE(font2.get_height(nullptr, 0), 16);
    ASSERT_GT(font2.get_height(nullptr, 0), 0);
    Container root;
    Box* b = w_menu_button("Play", 1, 0);
    EXPECT_EQ(b->rect.w, 480) << "measured when made";
    EXPECT_EQ(b->rect.h, 60);
    root.add(b, 0, 0);
    root.resize();
    EXPECT_EQ(b->_rect.w, 480);
    EXPECT_EQ(b->_rect.h, 60);
    // The label is centred in the frame: margin 10 and border 2 around the content.
    Box* mid = static_cast<Box*>(b->widgets[0]);
    Widget* label = mid->widgets[0];
    EXPECT_EQ(mid->rect.x, 12);
    EXPECT_EQ(label->_rect.w, font2.get_width("Play") + 20);
    EXPECT_EQ(label->_rect.x, (456 - label->_rect.w) / 2);

    std::string wide(60, 'W');
    Box* big = w_menu_button(wide.c_str(), 2, 0);
    root.add(big, 0, 100);
    root.resize();
    EXPECT_EQ(big->_rect.w, font2.get_width(wide.c_str()) + 20 + 24);
    EXPECT_GT(big->_rect.w, 480);
    EXPECT_EQ(big->_rect.h, 60);

    press(root, 240, 30);
    EXPECT_EQ(release(root, 240, 30), 1);
    EXPECT_EQ(mid->style.state, STYLE_ACTIVE);
}

TEST_F(GuiWidgets, ButtonOverlayFollowsHoverAndPress) {
    Container root;
    Box* b = w_button(block(100, 20), 5, 0, 0);
    root.add(b, 0, 0);
    root.resize();
    Widget* mid = b->widgets[0];
    EXPECT_EQ(mid->_rect.w, 124);
    EXPECT_EQ(mid->style.cur().ovr_alpha, 0);
    move(root, 50, 20);
    for (int i = 0; i < 3; i++) root.resize();
    EXPECT_EQ(mid->style.cur().ovr_alpha, 85);
    press(root, 50, 20);
    for (int i = 0; i < 3; i++) root.resize();
    EXPECT_EQ(mid->style.cur().ovr_alpha, 170);
}

TEST_F(GuiWidgets, TextFieldFactory) {
    Font font2(font_load("font2"));
    int line = font2.get_height(nullptr, 0);
    TextInput* t = w_textinput("title", "My map", 0, 0);
    EXPECT_EQ(t->name, "title");
    EXPECT_EQ(t->maxlen, 255u);
    EXPECT_EQ(t->rect.w, 720);
    EXPECT_EQ(t->rect.h, line);
    Container root;
    root.add(t, 0, 0);
    root.resize();
    EXPECT_EQ(t->_rect.w, 760);
    EXPECT_EQ(t->_rect.h, line + 40);
    EXPECT_EQ(t->style.cur().box_color, 0x888888);
    t->_focus();
    root.resize();
    EXPECT_EQ(t->style.cur().box_color, 0x888888 + 0x242424) << "fades toward white";

    TextInput* pw = w_textinput("password", "abc", 0, 1);
    EXPECT_EQ(pw->txt2, "***");
    root.add(pw, 0, 100);
    TextInput* area = w_textinput("intro", std::string(400, 'a').c_str(), 1, 0);
    EXPECT_EQ(area->maxlen, 400u);
    EXPECT_GT(area->rect.h, line) << "a long text wraps at once";
    delete area;
}

TEST_F(GuiWidgets, LabelMeasuresAndWrapsItsText) {
    Font font2(font_load("font2"));
    int line = font2.get_height(nullptr, 0);
    Label l(font2, "Awesomeness");
    l.resize();
    EXPECT_EQ(l.rect.w, font2.get_width("Awesomeness"));
    EXPECT_EQ(l.rect.h, line);
    // Sized by its own text, a label is one line whatever its glyphs' fractions.
    for (const char* t : {"Play", "Build", "Settings", "il", "Quit level", "Ill fill"}) {
        l.set_text(t);
        l.resize();
        EXPECT_EQ(l.rect.h, line) << t;
    }
    l.set_text("two\nlines");
    l.resize();
    EXPECT_EQ(l.rect.h, 2 * line);
    Label w(font2, "one two three four five");
    // A line breaks at a space only where the space itself would not fit.
    w.style.width = font2.get_width("one two ") + 1;
    w.style.loop();
    w.resize();
    EXPECT_EQ(w.rect.w, font2.get_width("one two ") + 1);
    EXPECT_EQ(w.rect.h, 3 * line);
    w.set_text("x");
    w.resize();
    EXPECT_EQ(w.rect.h, line);
    Label copy = w;
    EXPECT_STREQ(copy.txt, "x");
    EXPECT_NE(copy.txt, w.txt);
}
