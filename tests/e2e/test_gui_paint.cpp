// Painting a whole tree in a window: matrices and translations come back
// balanced, and the theme's fills land on the right pixels.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "test_gui.h"

using namespace guitest;

namespace {

// A screenful of every kind of widget, some focused, hovered and scrolled.
struct Everything {
    Container gui;
    TextInput* field;
    Everything() {
        Table* t = new Table();
        t->style.set_padding(4);
        t->td(w_menu_button("Play", 1, 0));
        t->tr();
        field = w_textinput("name", "some text", 0, 0);
        t->td(field);
        t->tr();
        t->td(w_numslider("vol", 30, 0, 100, 1, 0));
        t->tr();
        GridPicker* p = new GridPicker(3);
        for (int i = 1; i <= 5; i++) p->item("item", i);
        p->set_value_i(2);
        t->td(p);
        gui.add(t, 10, 10);
        Table* list = new Table();
        for (int i = 0; i < 20; i++) {
            list->tr();
            list->td(new Label(Font(font_load("font1")), "a line of the list"));
        }
        ScrollBox* sb = new ScrollBox(list, 200, 100);
        sb->view.y = 40;
        gui.add(new ScrollBox2(sb), 600, 10);
        Box* clipped = new Box(new Label(Font(font_load("font3")), "clipped"));
        clipped->style.clip = 1;
        clipped->style.width = 20;
        gui.add(clipped, 600, 400);
    }
};

}  // namespace

TEST(GuiPaint, TreePaintLeavesMatricesBalanced) {
    Screen screen;
    Everything e;
    e.gui.resize();
    press(e.gui, 20, 80);  // something focused and hovered
    key(e.gui, KEY_LEFT, 0, MOD_SHIFT);
    screen.begin();
    GLint depth0 = 0, depth1 = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth0);
    for (int frame = 0; frame < 3; frame++) {
        e.gui.resize();
        e.gui.paint();
    }
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth1);
    EXPECT_EQ(depth1, depth0);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[12], 0) << "every translation is undone";
    EXPECT_FLOAT_EQ(m[13], 0);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST(GuiPaint, BackgroundAndBordersFillTheirBoxes) {
    Screen screen;
    Container gui;
    Box* b = new Box(block(40, 20));
    b->style.background = 0x0000FF;
    b->style.border_color = 0xFF0000;
    b->style.set_border(4);
    b->style.set_margin(6);
    gui.add(b, 100, 100);
    gui.resize();
    gui.paint();
    screen.snap();
    // Outer box: 100..160 x 100..140; border from 106, padding box from 110.
    EXPECT_EQ(screen.at(103, 120), 0x000000u) << "margin";
    EXPECT_EQ(screen.at(107, 120), 0xFF0000u) << "left border";
    EXPECT_EQ(screen.at(120, 107), 0xFF0000u) << "top border";
    EXPECT_EQ(screen.at(130, 120), 0x0000FFu) << "background";
    EXPECT_EQ(screen.at(152, 120), 0xFF0000u) << "right border";
    EXPECT_EQ(screen.at(130, 132), 0xFF0000u) << "bottom border";
    EXPECT_EQ(screen.at(130, 137), 0x000000u) << "bottom margin";
}

TEST(GuiPaint, ScrollBoxShowsOnlyItsWindowOfTheContent) {
    Screen screen;
    Container gui;
    Box* tall = new Box(block(100, 300));
    tall->style.background = 0xFF0000;
    Widget* mark = block(100, 10);
    mark->style.background = 0x00FF00;
    Container* content = new Container();
    content->add(tall, 0, 0);
    content->add(mark, 0, 150);
    ScrollBox* sb = new ScrollBox(content, 100, 100);
    gui.add(sb, 200, 200);
    gui.resize();
    sb->view.y = 120;
    gui.paint();
    screen.snap();
    EXPECT_EQ(screen.at(250, 210), 0xFF0000u);
    EXPECT_EQ(screen.at(250, 235), 0x00FF00u) << "content y 155, scrolled by 120";
    EXPECT_EQ(screen.at(250, 305), 0x000000u) << "below the window: clipped";
    EXPECT_EQ(screen.at(250, 195), 0x000000u) << "above the window: clipped";
}

TEST(GuiPaint, CaretShowsAtTheEndOfAFocusedField) {
    Screen screen;
    Font font(font_load("font2"));
    Container gui;
    TextInput* t = new TextInput(font, "abc", 255);
    t->style.width = 200;
    t->style.set_padding(10);
    gui.add(t, 100, 100);
    gui.resize();
    int caret_x = 100 + 10 + font.get_width("abc");
    int mid_y = 100 + 10 + font.get_height(nullptr, 0) / 2;
    gui.paint();
    screen.snap();
    EXPECT_EQ(screen.at((float)caret_x + 1, (float)mid_y), 0x000000u) << "no caret without the focus";
    t->_focus();
    key(gui, KEY_END);
    screen.begin();
    gui.resize();
    gui.paint();
    screen.snap();
    EXPECT_EQ(screen.at((float)caret_x + 1, (float)mid_y), 0xFFFFFFu);
}

TEST(GuiPaint, HoveredButtonShowsItsHighlight) {
    Screen screen;
    Container gui;
    Box* b = w_menu_button("Play", 1, 0);
    gui.add(b, 100, 100);
    auto frame = [&]() {
        screen.begin();
        gui.resize();
        gui.paint();
        screen.snap();
        std::vector<unsigned int> px;
        for (int y = 100; y < 160; y += 2)
            for (int x = 100; x < 580; x += 2) px.push_back(screen.at((float)x, (float)y));
        return px;
    };
    std::vector<unsigned int> idle = frame();
    int lit = 0;
    for (unsigned int p : idle) lit += p != 0;
    EXPECT_GT(lit, (int)idle.size() / 2) << "the frame is drawn";
    EXPECT_EQ(frame(), idle) << "a transparent overlay changes nothing";
    move(gui, 300, 130);
    frame();
    frame();
    std::vector<unsigned int> hovered = frame();
    int changed = 0;
    for (size_t i = 0; i < idle.size(); i++) changed += hovered[i] != idle[i];
    EXPECT_GT(changed, 50) << "the highlight fades in over the frame";
}
