// The text field: length limit, filter, undo history, clipboard keys,
// Return, and the focus rules of single-line fields.
#include <gtest/gtest.h>

#include <string>

#include "test_gui.h"

using namespace guitest;

namespace {

std::string _clipboard;
int _clipboard_writes = 0;
std::string clip_get() { return _clipboard; }
void clip_set(const std::string& s) {
    _clipboard = s;
    _clipboard_writes++;
}

class GuiText : public ::testing::Test {
protected:
    Screen screen;
    Font font = Font(font_load("font2"));

    void SetUp() override {
        _clipboard = "before";
        _clipboard_writes = 0;
        TextInput::set_clipboard(clip_get, clip_set);
    }
    void TearDown() override { TextInput::set_clipboard(nullptr, nullptr); }

    void type(TextInput& t, const char* s) {
        for (; *s; s++) key(t, KEY_NONE, *s);
    }
};

const int CTRL = MOD_CTRL;
const int SHIFT = MOD_SHIFT;

}  // namespace

TEST_F(GuiText, LengthLimitKeepsWhatFits) {
    TextInput t(font, "", 5);
    t.set_value_s("abcdefg");
    EXPECT_EQ(t.txt, "abcde");
    EXPECT_EQ(t.pos, 5);
    EXPECT_EQ(t.undo_n, 1);
    type(t, "x");
    EXPECT_EQ(t.txt, "abcde") << "a full field takes nothing";
    EXPECT_EQ(t.undo_n, 2) << "but records the empty edit";

    t.set_value_s("abc");
    key(t, KEY_LEFT);
    key(t, KEY_LEFT);
    _clipboard = "XYZ";
    key(t, KEY_v, 'v', CTRL);
    EXPECT_EQ(t.txt, "aXYbc") << "a paste is cut to the room left";
    EXPECT_EQ(t.pos, 3);

    TextInput long_start(font, "longer than the limit", 3);
    EXPECT_EQ(long_start.txt, "longer than the limit") << "the initial text is never cut";
    EXPECT_EQ(long_start.maxlen, 21u);
}

TEST_F(GuiText, FilterKeepsPrintableAscii) {
    TextInput line(font, "", 255);
    line.set_value_s("a\tb\xC8" "c\nd\x7f");
    EXPECT_EQ(line.txt, "a?b?c d?");
    TextInput area(font, "", 255);
    area.wrap = 1;
    area.set_value_s("a\tb\nc");
    EXPECT_EQ(area.txt, "a?b\nc");
    // Typed control and high characters are dropped rather than replaced.
    key(line, KEY_NONE, 9);
    key(line, KEY_NONE, 200);
    key(line, KEY_ESCAPE, 27);
    EXPECT_EQ(line.txt, "a?b?c d?");
}

TEST_F(GuiText, UndoRedoAndTheLostRedoBranch) {
    TextInput t(font, "", 255);
    type(t, "abc");
    ASSERT_EQ(t.undo_n, 3);
    key(t, KEY_z, 'z', CTRL);
    key(t, KEY_z, 'z', CTRL);
    EXPECT_EQ(t.txt, "a");
    EXPECT_EQ(t.pos, 1);
    key(t, KEY_z, 'z', CTRL | SHIFT);
    EXPECT_EQ(t.txt, "ab") << "redo";
    key(t, KEY_z, 'z', CTRL);
    type(t, "z");
    EXPECT_EQ(t.txt, "az");
    key(t, KEY_z, 'z', CTRL | SHIFT);
    EXPECT_EQ(t.txt, "az") << "typing dropped the redo branch";
    EXPECT_EQ(t.undo.size(), 2u);
    key(t, KEY_z, 'z', CTRL);
    key(t, KEY_z, 'z', CTRL);
    key(t, KEY_z, 'z', CTRL);
    EXPECT_EQ(t.txt, "");
    EXPECT_EQ(t.pos, 0);
}

TEST_F(GuiText, HistoryHoldsTheLast255Edits) {
    TextInput t(font, "", 1000);
    for (int i = 0; i < 300; i++) type(t, "x");
    EXPECT_EQ(t.undo_n, 255);
    for (int i = 0; i < 255; i++) key(t, KEY_z, 'z', CTRL);
    EXPECT_EQ(t.txt.size(), 45u);
    key(t, KEY_z, 'z', CTRL);
    EXPECT_EQ(t.txt.size(), 45u) << "the 256th undo does nothing";
    for (int i = 0; i < 300; i++) key(t, KEY_z, 'z', CTRL | SHIFT);
    EXPECT_EQ(t.txt.size(), 300u);
}

TEST_F(GuiText, PasswordsAreMaskedAndNeverCopied) {
    TextInput t(font, "", 255);
    t.passwd = 1;
    t.set_value_s("secret");
    EXPECT_EQ(t.txt2, "******");
    key(t, KEY_a, 'a', CTRL);
    key(t, KEY_c, 'c', CTRL);
    EXPECT_EQ(_clipboard, "before");
    EXPECT_EQ(_clipboard_writes, 0);
    key(t, KEY_x, 'x', CTRL);
    EXPECT_EQ(_clipboard, "before");
    EXPECT_EQ(t.txt, "") << "cut still deletes the selection";
    EXPECT_EQ(t.txt2, "");

    TextInput open(font, "", 255);
    open.set_value_s("hello world");
    key(open, KEY_LEFT, 0, SHIFT);
    key(open, KEY_LEFT, 0, SHIFT);
    key(open, KEY_c, 'c', CTRL);
    EXPECT_EQ(_clipboard, "ld");
    EXPECT_EQ(open.txt, "hello world") << "copy leaves the text";
    key(open, KEY_x, 'x', CTRL);
    EXPECT_EQ(open.txt, "hello wor");
    _clipboard = "ms\r\nX";
    key(open, KEY_v, 'v', CTRL);
    EXPECT_EQ(open.txt, "hello worms X") << "a pasted line break becomes a space on one line";
}

TEST_F(GuiText, BackspaceAndDeleteAtTheEnds) {
    TextInput t(font, "ab", 255);
    EXPECT_EQ(t.pos, 0);
    key(t, KEY_BACKSPACE);
    EXPECT_EQ(t.txt, "ab");
    EXPECT_EQ(t.undo_n, 0) << "nothing before the caret: nothing recorded";
    key(t, KEY_DELETE);
    EXPECT_EQ(t.txt, "b");
    key(t, KEY_RIGHT);
    key(t, KEY_DELETE);
    EXPECT_EQ(t.txt, "b");
    EXPECT_EQ(t.undo_n, 2) << "delete at the end records an empty edit";
    key(t, KEY_BACKSPACE);
    EXPECT_EQ(t.txt, "");
}

TEST_F(GuiText, CaretMovesWithinTheTextAndShiftExtends) {
    TextInput t(font, "abcd", 255);
    key(t, KEY_LEFT);
    EXPECT_EQ(t.pos, 0);
    key(t, KEY_RIGHT, 0, SHIFT);
    key(t, KEY_RIGHT, 0, SHIFT);
    EXPECT_EQ(t._pos, 0);
    EXPECT_EQ(t.pos, 2);
    type(t, "X");
    EXPECT_EQ(t.txt, "Xcd") << "typing replaces the selection";
    for (int i = 0; i < 10; i++) key(t, KEY_RIGHT);
    EXPECT_EQ(t.pos, 3);
    EXPECT_EQ(t._pos, 3);
}

TEST_F(GuiText, ReturnReportsOnOneLineAndBreaksInAnArea) {
    TextInput line(font, "name", 255);
    line.onchange = 42;
    EXPECT_EQ(key(line, KEY_RETURN, 13), 42);
    EXPECT_EQ(line.txt, "name");
    line.onchange = 0;
    EXPECT_EQ(key(line, KEY_RETURN, 13), 0);

    TextInput area(font, "ab", 255);
    area.wrap = 1;
    area.onchange = 42;
    key(area, KEY_RIGHT);
    EXPECT_EQ(key(area, KEY_RETURN, 13), 0);
    EXPECT_EQ(area.txt, "a\nb");
}

TEST_F(GuiText, TabSelectsAllOfASingleLineFieldAndAPressPlacesTheCaret) {
    Container root;
    TextInput* first = new TextInput(font, "one", 255);
    TextInput* second = new TextInput(font, "two", 255);
    first->style.width = second->style.width = 200;
    first->style.height = second->style.height = 20;
    first->next = second;
    root.add(first, 0, 0);
    root.add(second, 0, 50);
    root.resize();

    press(root, 199, 5);
    release(root, 199, 5);
    EXPECT_EQ(first->_pos, first->pos) << "a press places the caret, selecting nothing";
    key(root, KEY_TAB);
    EXPECT_EQ(root.focus, second);
    EXPECT_EQ(first->style.focus, 0);
    EXPECT_EQ(second->_pos, 0);
    EXPECT_EQ(second->pos, 3);
    key(root, KEY_NONE, 'X');
    EXPECT_EQ(second->txt, "X") << "typing after Tab replaces the whole text";
    EXPECT_EQ(first->txt, "one");
}

// ---------------------------------------------------------------- with text metrics

namespace {
// A single-line field of the given content size at (0, 0) of a root.
struct OneField {
    Container root;
    TextInput* t;
    OneField(Font f, const char* text, int w, int wrap = 0) {
        t = new TextInput(f, text, 255);
        t->wrap = wrap;
        t->style.width = w;
        root.add(t, 0, 0);
        root.resize();
    }
};
}  // namespace

TEST_F(GuiText, PressPlacesTheCaretAndDraggingSelects) {
    OneField f(font, "hello world", 300);
    int hello = font.get_width("hello");
    press(f.root, 299, 5);
    EXPECT_EQ(f.t->pos, 11) << "right of the text: the end";
    EXPECT_EQ(f.t->_pos, 11);
    release(f.root, 299, 5);
    press(f.root, 0, 5);
    EXPECT_EQ(f.t->pos, 0);
    move(f.root, (float)hello, 5, 1);
    release(f.root, (float)hello, 5);
    EXPECT_EQ(f.t->_pos, 0);
    EXPECT_EQ(f.t->pos, 5);
    key(f.root, KEY_x, 'x', CTRL);
    EXPECT_EQ(_clipboard, "hello");
    EXPECT_EQ(f.t->txt, " world");
}

TEST_F(GuiText, HomeEndAndShiftSelect) {
    OneField f(font, "hello world", 300);
    key(*f.t, KEY_HOME);
    EXPECT_EQ(f.t->pos, 0);
    key(*f.t, KEY_END, 0, SHIFT);
    EXPECT_EQ(f.t->_pos, 0);
    EXPECT_EQ(f.t->pos, 11);
    key(*f.t, KEY_HOME);
    EXPECT_EQ(f.t->_pos, 0);
    EXPECT_EQ(f.t->pos, 0);
}

TEST_F(GuiText, NarrowFieldScrollsToKeepTheCaretInView) {
    const char* text = "abcdefghijklmnopqrstuvwxyz";
    OneField f(font, text, 50);
    int tw = font.get_width(text);
    ASSERT_GT(tw, 100);
    f.t->_focus();  // a programmatic focus selects all and shows the caret
    EXPECT_EQ(f.t->pos, 26);
    EXPECT_EQ(f.t->view.x, tw + TEXTINPUT_CURSOR_W - 50);
    key(f.root, KEY_HOME);
    EXPECT_EQ(f.t->view.x, 0);
    key(f.root, KEY_END);
    EXPECT_EQ(f.t->view.x, tw + TEXTINPUT_CURSOR_W - 50);
    // Losing the focus scrolls a single-line field back to its start.
    Event blur(EVT_BLUR);
    f.root.event(&blur);
    EXPECT_EQ(f.t->view.x, 0);
}

TEST_F(GuiText, UpAndDownKeepTheirColumn) {
    OneField f(font, "", 400, 1);
    f.t->set_value_s("abcdef\nab\nabcdef");
    f.root.resize();
    f.t->pos = f.t->_pos = 5;  // before the f of the first line
    key(*f.t, KEY_DOWN);
    EXPECT_EQ(f.t->pos, 9) << "the short line: its end";
    key(*f.t, KEY_DOWN);
    EXPECT_EQ(f.t->pos, 15) << "back in the remembered column";
    key(*f.t, KEY_UP, 0, SHIFT);
    EXPECT_EQ(f.t->pos, 9);
    EXPECT_EQ(f.t->_pos, 15) << "Shift extends the selection";
    key(*f.t, KEY_LEFT);
    key(*f.t, KEY_DOWN);
    EXPECT_EQ(f.t->pos, 10 + 1) << "a sideways move forgets the column";
}

TEST_F(GuiText, WrappedAreaGrowsAndScrollsByLines) {
    OneField f(font, "", 100, 1);
    f.t->set_value_s("one two three four five six seven eight nine ten");
    f.root.resize();
    int line = font.get_height("", 0);
    EXPECT_GT(f.t->rect.h, 2 * line) << "measured at its wrap width";
    EXPECT_EQ(f.t->rect.h % line, 0);
    f.t->style.height = line * 2;
    f.t->style.loop();
    f.root.resize();
    move(f.root, 10, 5);
    wheel(f.root, 10, 5, 1);
    EXPECT_EQ(f.t->view.y, line);
    wheel(f.root, 10, 5, 100);
    EXPECT_EQ(f.t->view.y, font.get_height(f.t->txt.c_str(), f.t->rect.w - TEXTINPUT_CURSOR_W) - 2 * line);
}
