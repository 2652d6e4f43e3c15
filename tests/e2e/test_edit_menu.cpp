// The screens around the editor driven through the real game: the menu with
// Save & Quit, the title-and-options pages and the share screen's gate.
#include <string>

#include "edit_internal.h"
#include "test_edit.h"
#include "util.h"

namespace {

class EditMenus : public EditScreenTest {
protected:
    void open_menu() {
        g.next(STATE_EDIT_MENU);
        h.tick();
    }
    void open_info() {
        _editinfo_page = EDITINFO_PAGE_TEXT;
        g.next(STATE_EDIT_INFO);
        h.tick();
    }
    void open_share(int dirty) {
        g._edit.dirty = dirty;
        g.next(STATE_EDIT_SHARE);
        h.tick();
    }
    TextInput* field(const char* name) { return dynamic_cast<TextInput*>(gui().find(name)); }
    bool focused(const char* name) {
        TextInput* f = field(name);
        return f && f->style.focus;
    }
};

}  // namespace

// ---------------------------------------------------------------- the menu

TEST_F(EditMenus, SaveAndQuitStoresTheMapAndEmptiesTheRing) {
    mystrcpy(g._edit.title, sizeof(g._edit.title), "Two walls");
    edit_change(g, 40, 41, 5);
    edit_change(g, 42, 41, 5);
    std::string id = g._edit.id;
    open_menu();
    click_label("Save & Quit");
    EXPECT_EQ(g.state, STATE_MENU_EDIT);
    EXPECT_EQ(g.ext.undo_n, 0);

    MyResult rows = g.userdb.query("select title, q from levels where id = ?", {id});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["title"], "Two walls");
    EXPECT_EQ(rows[0]["q"], "");
    // Read back, it is the map as painted.
    logic_new(g);
    logic_load(g, g.userdb, id.c_str());
    EXPECT_STREQ(g._edit.id, id.c_str());
    EXPECT_STREQ(g._edit.title, "Two walls");
    EXPECT_EQ(g._edit.data[41][40], 5);
    EXPECT_EQ(g._edit.data[41][42], 5);
    EXPECT_EQ(g._edit.data[64][64], TILE_START);
}

TEST_F(EditMenus, MenuButtonsAndEscape) {
    open_menu();
    for (const char* l : {"Edit Map", "Title & Options", "Play / Test", "Share", "Save & Quit"})
        EXPECT_NE(label(l), nullptr) << l;
    h.key(KEY_ESCAPE);
    EXPECT_EQ(g.state, STATE_EDIT);

    const struct { const char* label; int state; } ways[] = {
        {"Edit Map", STATE_EDIT}, {"Title & Options", STATE_EDIT_INFO}, {"Share", STATE_EDIT_SHARE}};
    for (const auto& w : ways) {
        open_menu();
        click_label(w.label);
        EXPECT_EQ(g.state, w.state) << w.label;
    }

    edit_change(g, 30, 30, 5);
    open_menu();
    click_label("Play / Test");
    EXPECT_EQ(g.parent, STATE_EDIT_MENU);
    EXPECT_TRUE(g.state == STATE_LEVEL || g.state == STATE_LEVEL_INTRO) << g.state;
    EXPECT_EQ(g.level.data[30][30], 5);
}

// ---------------------------------------------------------------- title and options

TEST_F(EditMenus, F1OpensTheNamesPageAndPreviousTheBombPage) {
    open_info();
    EXPECT_NE(field("title"), nullptr);
    EXPECT_NE(field("intro"), nullptr);
    EXPECT_TRUE(focused("title"));
    EXPECT_NE(label("Next"), nullptr);
    EXPECT_EQ(label("Previous"), nullptr);
    EXPECT_EQ(label("Done"), nullptr);

    h.key(KEY_F1);
    EXPECT_EQ(_editinfo_page, EDITINFO_PAGE_NAMES);
    EXPECT_EQ(field("title"), nullptr);
    for (const char* f : {"name", "music", "theme"}) EXPECT_NE(field(f), nullptr) << f;
    EXPECT_NE(label("Map_ID"), nullptr);
    EXPECT_NE(label("Done"), nullptr);

    click_label("Previous");
    EXPECT_EQ(_editinfo_page, EDITINFO_PAGE_BOMBS);
    for (const char* f : {"bomb1", "bomb2", "bomb3", "bomb4"}) EXPECT_NE(field(f), nullptr) << f;
    EXPECT_NE(label("Detonator Bombs"), nullptr);
    EXPECT_EQ(label("Next"), nullptr);

    click_label("Previous");
    EXPECT_EQ(_editinfo_page, EDITINFO_PAGE_TEXT);
    click_label("Next");
    EXPECT_EQ(_editinfo_page, EDITINFO_PAGE_BOMBS);
    // Done always leads back to the editor, and the next visit starts on page 0.
    click_label("Done");
    EXPECT_EQ(g.state, STATE_EDIT);
    EXPECT_EQ(_editinfo_page, EDITINFO_PAGE_TEXT);
}

TEST_F(EditMenus, FieldsStoreCutToTheirRecordWidths) {
    open_info();
    ASSERT_TRUE(focused("title"));
    std::string seventy(70, 'q');
    h.type(seventy.c_str());
    field("intro")->set_value_s(std::string(300, 'i').c_str());
    h.key(KEY_F1);
    // Leaving a page stores it: the title page is in the map already.
    EXPECT_EQ(std::string(g._edit.title), std::string(63, 'q'));
    EXPECT_EQ(std::string(g._edit.intro), std::string(255, 'i'));
    field("name")->set_value_s("my-own-identifier-that-is-too-long-for-it");
    field("music")->set_value_s("menus");
    h.key(KEY_ESCAPE);  // counts as Done
    EXPECT_EQ(g.state, STATE_EDIT);
    EXPECT_STREQ(g._edit.name, "my-own-identifier-that-is-too-l");
    EXPECT_STREQ(g._edit.music, "menus");
    EXPECT_STREQ(g._edit.theme, "");
}

TEST_F(EditMenus, BombFieldsTakeNumbersAndLettersGiveNone) {
    g._edit.inventory[D_BOMB1] = 3;
    g._edit.inventory[D_BOMB2] = 4;
    g._edit.inventory[D_BOMB4] = 6;
    open_info();
    click_label("Next");
    EXPECT_STREQ(field("bomb1")->get_value_s(), "3");
    EXPECT_STREQ(field("bomb4")->get_value_s(), "6");
    ASSERT_TRUE(focused("bomb1"));
    h.type("abc");  // the whole text was selected on focus: replaced
    h.key(KEY_TAB);
    EXPECT_TRUE(focused("bomb2"));
    h.type("12");
    click_label("Done");
    EXPECT_EQ(g._edit.inventory[D_BOMB1], 0);
    EXPECT_EQ(g._edit.inventory[D_BOMB2], 12);
    EXPECT_EQ(g._edit.inventory[D_BOMB3], 0);
    EXPECT_EQ(g._edit.inventory[D_BOMB4], 6);
}

TEST_F(EditMenus, TabGoesRoundTheFieldsOfThePage) {
    open_info();
    h.key(KEY_F1);
    ASSERT_TRUE(focused("name"));
    h.key(KEY_TAB);
    EXPECT_TRUE(focused("music"));
    EXPECT_FALSE(focused("name"));
    h.key(KEY_TAB);
    EXPECT_TRUE(focused("theme"));
    h.key(KEY_TAB);
    EXPECT_TRUE(focused("name"));
}

TEST_F(EditMenus, DoneWithoutTypingStillMarksTheMapChanged) {
    mystrcpy(g._edit.title, sizeof(g._edit.title), "Kept");
    g._edit.dirty = 0;
    open_info();
    click_label("Next");
    click_label("Done");
    EXPECT_EQ(g.state, STATE_EDIT);
    EXPECT_EQ(g._edit.dirty, 1);
    EXPECT_STREQ(g._edit.title, "Kept");
}

TEST_F(EditMenus, TypingSurvivesARebuildOfThePage) {
    open_info();
    h.type("Draft");
    // A video reset rebuilds the current screen without leaving it.
    screen_at(STATE_EDIT_INFO).init();
    h.tick();
    EXPECT_STREQ(field("title")->get_value_s(), "Draft");
}

// ---------------------------------------------------------------- sharing

TEST_F(EditMenus, ShareAsksForACleanWinWhileTheMapIsChanged) {
    open_share(1);
    EXPECT_NE(label("Share this Map"), nullptr);
    EXPECT_NE(label("Before you can share your map you must beat it."), nullptr);
    EXPECT_NE(label("- You may not rewind"), nullptr);
    EXPECT_NE(label("- You must collect all items"), nullptr);
    EXPECT_NE(label("Play"), nullptr);
    EXPECT_NE(label("Cancel"), nullptr);
    EXPECT_EQ(label("To Everyone"), nullptr);

    edit_change(g, 33, 33, 5);
    g._edit.dirty = 1;
    click_label("Play");
    EXPECT_EQ(g.parent, STATE_EDIT_SHARE);
    EXPECT_TRUE(g.state == STATE_LEVEL || g.state == STATE_LEVEL_INTRO) << g.state;
    EXPECT_EQ(g.level.data[33][33], 5);
}

TEST_F(EditMenus, ShareOffersTheMapOnceItIsBeaten) {
    open_share(0);
    EXPECT_NE(label("Share this Map"), nullptr);
    EXPECT_NE(label("To Everyone"), nullptr);
    EXPECT_NE(label("Cancel"), nullptr);
    EXPECT_EQ(label("Play"), nullptr);
    EXPECT_EQ(label("- You may not rewind"), nullptr);
    click_label("To Everyone");
    EXPECT_EQ(g.state, STATE_EDIT);

    open_share(0);
    click_label("Cancel");
    EXPECT_EQ(g.state, STATE_EDIT);
    open_share(1);
    h.key(KEY_ESCAPE);
    EXPECT_EQ(g.state, STATE_EDIT);
}
