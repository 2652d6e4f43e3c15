// The widget tree without a display: click synthesis, focus and hover,
// tables, boxes, scroll boxes, ownership, and the style sheets' fades.
#include <gtest/gtest.h>

#include "test_gui.h"

using namespace guitest;

namespace {

// Two 100 x 40 buttons side by side: codes 11 at x 0 and 12 at x 200.
struct TwoButtons {
    Container root;
    Box* a;
    Box* b;
    TwoButtons() {
        a = button(100, 40, 11);
        b = button(100, 40, 12);
        root.add(a, 0, 0);
        root.add(b, 200, 0);
        root.resize();
    }
};

// Remembers where the last event reached it, in its own coordinates.
struct Probe : Widget {
    float x = -1, y = -1;
    int event(Event* e) override {
        x = e->x;
        y = e->y;
        return 0;
    }
};

}  // namespace

// ---------------------------------------------------------------- routing

TEST(GuiRouting, EventsReachAWidgetInItsContentBoxPastMarginBorderAndPadding) {
    // Every side differs, so that a side taken for another shows.
    const struct {
        int margin[4], border[4], padding[4];  // top, right, bottom, left
        float at_x, at_y;                      // where the content starts
    } cases[] = {
        {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, 0, 0},
        {{1, 2, 3, 4}, {0, 0, 0, 0}, {0, 0, 0, 0}, 4, 1},
        {{0, 0, 0, 0}, {5, 6, 7, 8}, {0, 0, 0, 0}, 8, 5},
        {{0, 0, 0, 0}, {0, 0, 0, 0}, {9, 10, 11, 12}, 12, 9},
        {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, 24, 15},
    };
    for (const auto& c : cases) {
        Probe p;
        p.style.width = 50;
        p.style.height = 30;
        p.style.set_margin(c.margin[0], c.margin[1], c.margin[2], c.margin[3]);
        p.style.set_border(c.border[0], c.border[1], c.border[2], c.border[3]);
        p.style.set_padding(c.padding[0], c.padding[1], c.padding[2], c.padding[3]);
        p.style.loop();  // an unset field takes its value at once
        Theme::resize(&p);
        Event e = pointer(EVT_DOWN, 40, 50, 1);
        Theme::event(&p, &e);
        EXPECT_FLOAT_EQ(p.x, 40 - c.at_x) << "left edge " << c.at_x;
        EXPECT_FLOAT_EQ(p.y, 50 - c.at_y) << "top edge " << c.at_y;
        EXPECT_EQ(p._rect.w, 50 + c.margin[1] + c.margin[3] + c.border[1] + c.border[3] + c.padding[1] + c.padding[3]);
        EXPECT_EQ(p._rect.h, 30 + c.margin[0] + c.margin[2] + c.border[0] + c.border[2] + c.padding[0] + c.padding[2]);
    }
}

TEST(GuiRouting, PressAndReleaseOnOneButtonClicksItOnce) {
    TwoButtons t;
    EXPECT_EQ(press(t.root, 10, 10), 0);
    EXPECT_EQ(release(t.root, 10, 10), 11);
    // The focus stays on the clicked button, which looks pressed while hovered.
    EXPECT_EQ(t.root.focus, t.a);
    EXPECT_EQ(t.a->style.state, STYLE_ACTIVE);
    EXPECT_EQ(release(t.root, 10, 10), 11) << "each release over the focused button clicks";
}

TEST(GuiRouting, ReleaseOnAnotherButtonClicksNothing) {
    TwoButtons t;
    press(t.root, 10, 10);
    EXPECT_EQ(move(t.root, 210, 10, 1), 0);
    EXPECT_EQ(release(t.root, 210, 10), 0);
    EXPECT_EQ(t.root.focus, t.a) << "the pressed button keeps the focus";
    EXPECT_EQ(t.root.hover, t.b);
    EXPECT_EQ(t.a->style.state, STYLE_FOCUS);
    EXPECT_EQ(t.b->style.state, STYLE_HOVER);
}

TEST(GuiRouting, LeavingAndReenteringAPressedButtonStillClicks) {
    TwoButtons t;
    press(t.root, 10, 10);
    move(t.root, 150, 10, 1);
    EXPECT_EQ(t.root.hover, nullptr);
    EXPECT_EQ(t.a->style.hover, 0);
    move(t.root, 20, 20, 1);
    EXPECT_EQ(t.root.hover, t.a);
    EXPECT_EQ(release(t.root, 20, 20), 11);
}

TEST(GuiRouting, InnermostClickCodeWinsAndLaterChildrenAreOnTop) {
    Container root;
    Box* outer = button(100, 100, 1);
    Box* inner = button(40, 40, 2);
    Container* group = new Container();
    group->add(inner, 0, 0);
    root.add(outer, 0, 0);
    root.add(group, 0, 0);  // added last: on top of the outer button
    root.resize();
    press(root, 5, 5);
    EXPECT_EQ(release(root, 5, 5), 2);
    press(root, 80, 80);  // outside the group's box
    EXPECT_EQ(release(root, 80, 80), 1);
}

TEST(GuiRouting, KeysGoDownTheFocusChainOnly) {
    Container root;
    Widget* a = block(50, 50);
    Widget* b = block(50, 50);
    a->ondown = 5;
    root.add(a, 0, 0);
    root.add(b, 100, 0);
    root.resize();
    EXPECT_EQ(press(root, 10, 10), 5);
    move(root, 110, 10);
    EXPECT_EQ(root.hover, b);
    b->onmove = 9;
    EXPECT_EQ(move(root, 120, 10), 9) << "motion reaches the hovered widget too";
    // Tab without a next widget changes nothing.
    key(root, KEY_TAB);
    EXPECT_EQ(root.focus, a);
    EXPECT_EQ(a->style.focus, 1);
}

TEST(GuiRouting, TabMovesTheFocusAlongNextAcrossContainers) {
    Container root;
    Widget* first = block(50, 20);
    Container* panel = new Container();
    Widget* second = block(50, 20);
    Widget* third = block(50, 20);
    panel->add(second, 0, 0);
    panel->add(third, 0, 30);
    root.add(first, 0, 0);
    root.add(panel, 0, 100);
    root.resize();
    first->next = second;
    second->next = third;

    press(root, 5, 5);
    ASSERT_EQ(root.focus, first);
    key(root, KEY_TAB);
    EXPECT_EQ(root.focus, panel);
    EXPECT_EQ(panel->focus, second);
    EXPECT_EQ(first->style.focus, 0);
    EXPECT_EQ(second->style.focus, 1);
    EXPECT_EQ(panel->style.focus, 1);
    key(root, KEY_TAB);
    EXPECT_EQ(panel->focus, third);
    EXPECT_EQ(second->style.focus, 0);
    EXPECT_EQ(third->style.focus, 1);
}

TEST(GuiRouting, OrientationIsBroadcastToEveryChildButIgnoredOnes) {
    Container root;
    struct Counter : Widget {
        int seen = 0;
        int code;
        explicit Counter(int c) : code(c) {}
        int event(Event* e) override {
            if (e->type == EVT_ORIENT) seen++;
            return e->type == EVT_ORIENT ? code : Widget::event(e);
        }
    };
    Counter* a = new Counter(1);
    Counter* b = new Counter(2);
    Counter* c = new Counter(3);
    c->ignore = 1;
    root.add(a);
    root.add(b);
    root.add(c);
    Event e(EVT_ORIENT);
    EXPECT_EQ(root.event(&e), 1) << "the child nearest the front of the list answers";
    EXPECT_EQ(a->seen + b->seen + c->seen, 2);
}

// ---------------------------------------------------------------- ownership

TEST(GuiTree, ResettingTheRootDeletesItsChildrenOnce) {
    Container gui;
    gui.add(button(10, 10, 1), 0, 0);
    gui.add(new Table(), 0, 0);
    gui.resize();
    press(gui, 5, 5);
    gui = Container();
    EXPECT_TRUE(gui.widgets.empty());
    EXPECT_EQ(gui.focus, nullptr);
    EXPECT_EQ(gui.hover, nullptr);
    gui.add(button(10, 10, 3), 0, 0);
    gui.resize();
    press(gui, 5, 5);
    EXPECT_EQ(release(gui, 5, 5), 3);
}

TEST(GuiTree, RemovingAFocusedDialogLeavesNoDanglingPath) {
    Container gui;
    Box* base = button(100, 40, 1);
    gui.add(base, 0, 0);
    Table* dialog = new Table();
    Box* ok = button(50, 20, 7);
    dialog->td(ok);
    base->next = ok;  // a Tab link into the dialog
    gui.add(dialog, 0, 100);
    gui.resize();
    press(gui, 10, 110);
    ASSERT_EQ(release(gui, 10, 110), 7);
    gui.remove(dialog);  // the screen closes the dialog after its button answered
    EXPECT_EQ(gui.focus, nullptr);
    EXPECT_EQ(gui.hover, nullptr);
    // Further input must not reach the deleted widgets.
    EXPECT_EQ(key(gui, KEY_a, 'a'), 0);
    EXPECT_EQ(move(gui, 10, 110, 1), 0);
    EXPECT_EQ(release(gui, 10, 110), 0);
    press(gui, 10, 10);
    EXPECT_EQ(release(gui, 10, 10), 1);
    EXPECT_EQ(base->next, nullptr);
    key(gui, KEY_TAB);
    gui.remove(nullptr);
    Widget stranger;
    gui.remove(&stranger);  // not a child: left alone
    EXPECT_EQ(gui.widgets.size(), 1u);
}

TEST(GuiTree, FindAndReplaceKeepTheCell) {
    Container gui;
    Table* t = new Table();
    t->td(block(30, 10, "left"));
    t->td(block(30, 10, "right"));
    gui.add(t, 5, 5);
    EXPECT_EQ(gui.find("right")->name, "right");
    EXPECT_EQ(gui.find("nobody"), nullptr);
    EXPECT_EQ(gui.find(""), nullptr) << "unnamed widgets are never found";

    Widget* fresh = block(60, 10, "wide");
    ASSERT_EQ(gui.replace("left", fresh), 1);
    EXPECT_EQ(gui.find("left"), nullptr);
    EXPECT_EQ(fresh->b_col, 0);
    gui.resize();
    EXPECT_EQ(fresh->_rect.x, 0);
    EXPECT_EQ(gui.find("right")->_rect.x, 60);
    Widget* spare = block(1, 1);
    EXPECT_EQ(gui.replace("nobody", spare), 0);
    delete spare;  // a failed replace leaves the widget with the caller
}

TEST(GuiTree, ReplaceInAPlainContainerKeepsThePosition) {
    Container gui;
    Widget* old = block(10, 10, "old");
    old->style.set_margin(3);
    gui.add(old, 40, 50);
    gui.resize();
    Widget* fresh = block(10, 10);
    ASSERT_EQ(gui.replace("old", fresh), 1);
    EXPECT_EQ(fresh->_rect.x, 40);
    EXPECT_EQ(fresh->_rect.y, 50);
}

TEST(GuiTree, AbsoluteRectanglesFollowEdgesAndScrolling) {
    Container gui;
    Container* content = new Container();
    Widget* w = block(20, 20);
    w->style.set_margin(5);
    content->add(w, 10, 300);
    ScrollBox* sb = new ScrollBox(content, 100, 100);
    sb->style.set_padding(2);
    gui.add(sb, 50, 60);
    gui.resize();
    sb->view.y = 250;
    MyRect in = w->get_abs_rect(false);
    EXPECT_EQ(in.x, 50 + 2 + 10 + 5);
    EXPECT_EQ(in.y, 60 + 2 + 300 - 250 + 5);
    EXPECT_EQ(in.w, 20);
    MyRect out = w->get_abs_rect(true);
    EXPECT_EQ(out.x, in.x - 5);
    EXPECT_EQ(out.y, in.y - 5);
    EXPECT_EQ(out.w, 30);
    EXPECT_EQ(out.h, 30);
}

TEST(GuiTree, WidgetsWithoutAValueAnswerNothing) {
    Widget w;
    EXPECT_EQ(w.get_value_s(), nullptr);
    EXPECT_EQ(w.get_value_i(), 0);
    w.set_value_i(3);
    w.set_value_s("x");
}

// ---------------------------------------------------------------- tables and boxes

TEST(GuiLayout, TableSharesASpanningCellsExtraWidth) {
    for (int span_width : {200, 201}) {
        Table t;
        Widget* a = block(50, 10);
        Widget* b = block(70, 10);
        Widget* wide = block(span_width, 10);
        t.td(a);
        t.td(b);
        t.tr();
        t.td(wide, 2);
        t.resize();
        int col0 = span_width == 200 ? 90 : 91;
        EXPECT_EQ(a->_rect.x, 0);
        EXPECT_EQ(b->_rect.x, col0) << span_width;
        EXPECT_EQ(wide->_rect.y, 10);
        EXPECT_EQ(t.rect.w, span_width);
        EXPECT_EQ(t.rect.h, 20);
    }
}

TEST(GuiLayout, TableShareGoesToTheLowestColumnsOfTheSpan) {
    EXPECT_EQ(t_div(80, 2, 0), 40);
    EXPECT_EQ(t_div(81, 2, 0), 41);
    EXPECT_EQ(t_div(81, 2, 1), 40);
    // A span starting at column 1: column 2 (2 mod 2 = 0) takes the larger share.
    EXPECT_EQ(t_div(81, 2, 1) + t_div(81, 2, 2), 81);
    EXPECT_EQ(t_div(81, 2, 2), 41);
    EXPECT_EQ(t_div(10, 3, 4) + t_div(10, 3, 5) + t_div(10, 3, 6), 10);
}

TEST(GuiLayout, TableStyleSizeIsAMinimum) {
    Table empty;
    empty.style.width = 320;
    empty.style.height = 60;
    empty.style.loop();
    empty.resize();
    EXPECT_EQ(empty.rect.w, 320);
    EXPECT_EQ(empty.rect.h, 60);

    Table t;
    t.style.width = 320;
    t.style.loop();
    Widget* a = block(50, 10);
    Widget* b = block(70, 10);
    t.td(a);
    t.td(b);
    t.resize();
    EXPECT_EQ(t.rect.w, 320);
    EXPECT_EQ(b->_rect.x, 150) << "the missing 200 is spread over both columns";
    t.style.width = 100;  // smaller than the cells: they win
    t.style.loop();
    t.resize();
    EXPECT_EQ(t.rect.w, 120);
}

TEST(GuiLayout, TableOffersCellsToBoxesOnly) {
    Table t;
    Box* box = new Box(block(10, 10));
    Widget* plain = block(10, 10);
    t.td(block(100, 30));
    t.tr();
    t.td(box);
    t.tr();
    t.td(plain);
    t.resize();
    EXPECT_EQ(box->_rect.w, 100) << "a box fills its cell";
    EXPECT_EQ(box->widgets[0]->_rect.x, 45) << "and centres its child";
    EXPECT_EQ(plain->_rect.w, 10) << "a plain widget keeps its size at the top left";
    EXPECT_EQ(plain->_rect.x, 0);
}

TEST(GuiLayout, BoxAlignsItsChild) {
    struct Case { int align; int x; };
    for (Case c : {Case{-1, 0}, Case{UNSET, 40}, Case{0, 40}, Case{1, 81}}) {
        Box b(block(20, 10));
        b.style.width = 101;
        b.style.height = 30;
        b.style.align = c.align;
        b.style.valign = 1;
        b.style.loop();
        b.resize();
        EXPECT_EQ(b.widgets[0]->_rect.x, c.x) << c.align;
        EXPECT_EQ(b.widgets[0]->_rect.y, 20);
    }
}

TEST(GuiLayout, BoxStyleSizeIsItsMinimumOuterSizeUnlessClipped) {
    Box b(block(300, 10));
    b.style.width = 100;
    b.style.height = 60;
    b.style.set_margin(10);
    b.style.set_border(2);
    b.style.loop();
    b._resize();
    EXPECT_EQ(b._rect.w, 324) << "a wider child makes the box wider";
    EXPECT_EQ(b._rect.h, 60);
    EXPECT_EQ(b.rect.h, 36);
    b.style.clip = 1;
    b.style.loop();
    b._resize();
    EXPECT_EQ(b._rect.w, 100) << "clipped: exactly the style size";
    EXPECT_EQ(b.rect.w, 76);
}

TEST(GuiLayout, ContainerMeasuresTheBoundingBoxOfItsChildren) {
    Container c;
    c.resize();
    EXPECT_EQ(c.rect.w, 0);
    Widget* w = block(20, 10);
    w->style.set_padding(1, 2, 3, 4);
    c.add(w, 5, 7);
    c.resize();
    EXPECT_EQ(w->rect.x, 4);
    EXPECT_EQ(w->rect.y, 1);
    EXPECT_EQ(c.rect.w, 5 + 26);
    EXPECT_EQ(c.rect.h, 7 + 14);
}

// ---------------------------------------------------------------- scroll boxes

namespace {
// A 100 x 100 scroll box at (10, 10) over a column of ten 100 x 50 buttons
// with the codes 1 to 10.
struct Scroller {
    Container root;
    ScrollBox* sb;
    Scroller() {
        Table* list = new Table();
        for (int i = 0; i < 10; i++) {
            list->tr();
            list->td(button(100, 50, i + 1));
        }
        sb = new ScrollBox(list, 100, 100);
        root.add(sb, 10, 10);
        root.resize();
    }
};

// A 100 x 100 scroll box of content at the root's corner, under the pointer.
ScrollBox* pointed_box(Container& root, Widget* content) {
    ScrollBox* b = new ScrollBox(content, 100, 100);
    root.add(b);
    root.resize();
    move(root, 10, 10);
    return b;
}
}  // namespace

TEST(GuiScroll, DragScrollsAndSwallowsTheClick) {
    Scroller s;
    press(s.root, 20, 20);
    move(s.root, 20, 10, 1, 0, -10);
    EXPECT_EQ(s.sb->view.y, 10);
    EXPECT_EQ(s.sb->state, 1);
    EXPECT_EQ(release(s.root, 20, 10), 0) << "no click after a drag";
    EXPECT_EQ(s.sb->state, 0);
    // The fling carries on and slows down by two a tick.
    EXPECT_EQ(s.sb->ay, -10);
    s.root.loop();
    EXPECT_EQ(s.sb->view.y, 20);
    EXPECT_EQ(s.sb->ay, -8);
    // A press stops it; a press and release without motion clicks the
    // button under the pointer, seen through the scrolled view.
    press(s.root, 20, 75);
    EXPECT_EQ(s.sb->ay, 0);
    EXPECT_EQ(release(s.root, 20, 75), 2);
}

TEST(GuiScroll, WheelStepsAndLimits) {
    Scroller s;
    move(s.root, 20, 20);  // the wheel goes to the widget under the pointer
    wheel(s.root, 20, 20, 1);
    EXPECT_EQ(s.sb->view.y, 150) << "a list moves by three of its rows";
    Container plain;
    ScrollBox* text = pointed_box(plain, block(100, 500));
    wheel(plain, 10, 10, 1);
    EXPECT_EQ(text->view.y, GUI_WHEEL_STEP) << "other content by a fixed step";
    wheel(s.root, 20, 20, 100);
    EXPECT_EQ(s.sb->view.y, 400) << "500 of content in a window of 100";
    wheel(s.root, 20, 20, -100);
    EXPECT_EQ(s.sb->view.y, 0);

    Container root;
    ScrollBox* small = pointed_box(root, block(50, 50));
    wheel(root, 10, 10, 3);
    press(root, 10, 10);
    move(root, 10, 0, 1, 0, -10);
    EXPECT_EQ(small->view.y, 0) << "a child shorter than the box never scrolls";
}

TEST(GuiScroll, MotionOutsideTheWindowHoversNothingInside) {
    Scroller s;
    move(s.root, 20, 20);
    Container* list = static_cast<Container*>(s.sb->widgets[0]);
    EXPECT_NE(list->hover, nullptr);
    Event e = pointer(EVT_MOTION, 20, 150, 0);  // below the window, over the list's 3rd row
    s.sb->event(&e);
    EXPECT_EQ(list->hover, nullptr);
}

// ---------------------------------------------------------------- styles

TEST(GuiStyle, OverlayFadesInAndOutOnHover) {
    Container root;
    Box* b = button(50, 50, 1);
    b->style.ovr = 1;
    b->style.ovr_alpha = 0;
    b->style.data[STYLE_HOVER].ovr_alpha = 85;
    root.add(b, 0, 0);
    root.resize();
    EXPECT_EQ(b->style.cur().ovr_alpha, 0);
    move(root, 10, 10);
    std::vector<int> seen;
    for (int i = 0; i < 4; i++) {
        root.resize();  // one layout pass: one step
        seen.push_back(b->style.cur().ovr_alpha);
    }
    EXPECT_EQ(seen, (std::vector<int>{36, 72, 85, 85}));
    move(root, 100, 100);
    seen.clear();
    for (int i = 0; i < 3; i++) {
        root.resize();
        seen.push_back(b->style.cur().ovr_alpha);
    }
    EXPECT_EQ(seen, (std::vector<int>{49, 13, 0}));
}

TEST(GuiStyle, ColourRampTakesEightSteps) {
    StyleSheet s;
    s.color = 0x000000;
    s.loop();
    s.color = 0xFFFFFF;
    for (int i = 1; i <= 7; i++) {
        s.loop();
        EXPECT_EQ(s.cur().color, 0x242424 * i) << i;
    }
    s.loop();
    EXPECT_EQ(s.cur().color, 0xFFFFFF);
    // Channels move independently and bits above the colour are dropped.
    EXPECT_EQ(StyleSheet::c_prep(0x00FF00, 0xFF0000, 36), 0x24DB00);
    EXPECT_EQ(StyleSheet::c_prep(0x7F000000 | 0x10, 0x10, 36), 0x10);
    EXPECT_EQ(StyleSheet::i_prep(0, 36, 36), 36);
    EXPECT_EQ(StyleSheet::i_prep(10, -5, 1000), -5);
}

TEST(GuiStyle, AltWinsOverEveryState) {
    StyleSheet s;
    s.box_tex = 3;
    s.data[STYLE_HOVER].box_tex = 5;
    s.data[STYLE_ALT].box_tex = 7;
    s.data[STYLE_HOVER].box_color = 0x123456;
    s.hover = 1;
    s.alt = 1;
    s.restate();
    s.loop();
    EXPECT_EQ(s.cur().box_tex, 7);
    EXPECT_EQ(s.cur().box_color, 0x123456) << "unset in STYLE_ALT: the state rules apply";
    s.alt = 0;
    s.loop();
    EXPECT_EQ(s.cur().box_tex, 5);
    s.hover = 0;
    s.restate();
    s.loop();
    EXPECT_EQ(s.cur().box_tex, 3);
    EXPECT_EQ(s.cur().box_color, 0x123456) << "a hover-only field has nothing to return to";
}

TEST(GuiStyle, StatesAndSideSetters) {
    StyleSheet s;
    s.focus = 1;
    s.restate();
    EXPECT_EQ(s.state, STYLE_FOCUS);
    s.hover = 1;
    s.restate();
    EXPECT_EQ(s.state, STYLE_ACTIVE);
    EXPECT_EQ(s.active, 1);
    s.set_margin(10);
    EXPECT_EQ(s.margin[STYLE_LEFT], 10);
    s.set_margin(1, UNSET, 3);
    EXPECT_EQ(s.margin[STYLE_RIGHT], 1);
    EXPECT_EQ(s.margin[STYLE_BOTTOM], 3);
    s.set_margin(UNSET);
    EXPECT_EQ(s.margin[STYLE_BOTTOM], UNSET);
    // Sizes jump, edges grow a pixel a step.
    s.width = 500;
    s.padding[STYLE_TOP] = 3;
    s.loop();
    s.padding[STYLE_TOP] = 6;
    s.width = 20;
    s.loop();
    EXPECT_EQ(s.cur().width, 20);
    EXPECT_EQ(s.cur().padding[STYLE_TOP], 4);
}

TEST(GuiStyle, UnstyledWidgetHasNoEdges) {
    Widget w;
    w.style.width = 30;
    w.style.height = 20;
    w.style.loop();
    w._resize();
    EXPECT_EQ(w.rect.x, 0);
    EXPECT_EQ(w.rect.y, 0);
    EXPECT_EQ(w._rect.w, 30);
    EXPECT_EQ(w._rect.h, 20);
}
