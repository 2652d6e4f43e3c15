// Tests of the bitmap fonts: wrapping, measuring, alignment, caret geometry
// and the word filter over a font of 10-wide glyphs, and real text drawn
// into a window.
#include <gtest/gtest.h>
#include <json/json.h>

#include <cstring>
#include <string>

#include "gfx_window.h"
#include "log.h"

namespace {

const int GLYPH_W = 10, LINE_H = 20;

// Fonts with every glyph GLYPH_W wide and LINE_H high ("even"), and one whose
// "W" is wider than any wrap width used below ("wide").
class FontTest : public testing::Test {
protected:
    void SetUp() override {
        font_init();
        Json::Value root(Json::objectValue);
        root["even"] = font_json(GLYPH_W);
        Json::Value wide = font_json(GLYPH_W);
        wide["chars"]['W']["w"] = 500;
        root["wide"] = wide;
        _font_json_set(root);
        fid = font_load("even");
        wide_fid = font_load("wide");
        ASSERT_NE(fid, 0);
    }
    void TearDown() override { font_deinit(); }

    static Json::Value font_json(int w) {
        Json::Value f(Json::objectValue);
        f["height"] = LINE_H;
        f["texture"] = "none";
        Json::Value r(Json::objectValue);
        r["x"] = 0;
        r["y"] = 0;
        r["w"] = 256;
        r["h"] = 256;
        f["rect"] = r;
        Json::Value chars(Json::arrayValue);
        for (int i = 0; i < FONT_CHARS; i++) {
            Json::Value c(Json::objectValue);
            c["x"] = 0;
            c["y"] = 0;
            c["w"] = w;
            c["h"] = LINE_H;
            chars.append(c);
        }
        f["chars"] = chars;
        return f;
    }

    FontWrap wrap(const char* s, float w, int id = 0) {
        FontWrap out;
        _font_wrap_calc(id ? id : fid, s, w, &out);
        return out;
    }

    int fid = 0, wide_fid = 0;
};

void expect_line(const FontWrap& w, int i, int start, int end, int width) {
    SCOPED_TRACE(i);
    ASSERT_LT(i, w.total);
    EXPECT_EQ(w.lines[i][0], start);
    EXPECT_EQ(w.lines[i][1], end);
    EXPECT_EQ(w.lines[i][2], width);
}

}  // namespace

TEST_F(FontTest, WrapsAtTheLastSpaceThatFits) {
    // Fifty units hold five glyphs; the second b does not fit, so the line
    // breaks at the space, which belongs to neither line.
    FontWrap w = wrap("aaa bbb", 50);
    ASSERT_EQ(w.total, 2);
    expect_line(w, 0, 0, 3, 30);
    expect_line(w, 1, 4, 7, 30);

    // A word longer than the width is split between characters.
    w = wrap("abcdefgh", 50);
    ASSERT_EQ(w.total, 2);
    expect_line(w, 0, 0, 5, 50);
    expect_line(w, 1, 5, 8, 30);

    // A space at the very start is never a break point.
    w = wrap(" abcdef", 50);
    expect_line(w, 0, 0, 5, 50);

    // Without a width only newlines break.
    w = wrap("aaa bbb ccc ddd", 0);
    ASSERT_EQ(w.total, 1);
    expect_line(w, 0, 0, 15, 150);
}

TEST_F(FontTest, NewlinesEndLinesAndEmptyTextIsOneLine) {
    FontWrap w = wrap("ab\n\ncd", 0);
    ASSERT_EQ(w.total, 3);
    expect_line(w, 0, 0, 2, 20);
    expect_line(w, 1, 3, 3, 0);
    expect_line(w, 2, 4, 6, 20);

    w = wrap("ab\ncd", 1000);
    ASSERT_EQ(w.total, 2);
    expect_line(w, 1, 3, 5, 20);

    w = wrap("", 50);
    ASSERT_EQ(w.total, 1);
    expect_line(w, 0, 0, 0, 0);
    w = wrap(nullptr, 50);
    EXPECT_EQ(w.total, 1);
}

TEST_F(FontTest, WrappingStopsAfterThirtyTwoLines) {
    std::string many;
    for (int i = 0; i < 40; i++) many += "x\n";
    FontWrap w = wrap(many.c_str(), 0);
    EXPECT_EQ(w.total, FONT_LINES_MAX);
    expect_line(w, FONT_LINES_MAX - 1, 62, 63, 10);
    EXPECT_EQ(font_get_height(fid, many.c_str(), 100), FONT_LINES_MAX * LINE_H);

    // A glyph wider than the width never fits: empty lines up to the limit.
    w = wrap("W", 50, wide_fid);
    EXPECT_EQ(w.total, FONT_LINES_MAX);
    expect_line(w, 0, 0, 0, 0);
    expect_line(w, FONT_LINES_MAX - 1, 0, 0, 0);
}

TEST_F(FontTest, MeasuresFilteredTextAndCutsItAtTheFilterLimit) {
    EXPECT_EQ(font_get_width(fid, "abc"), 30);
    EXPECT_EQ(font_get_width(fid, "a\nb"), 30) << "a newline counts its own advance";
    EXPECT_EQ(font_get_width(fid, ""), 0);
    EXPECT_EQ(font_get_width(fid, nullptr), 0);
    std::string huge(5000, 'a');
    EXPECT_EQ(font_get_width(fid, huge.c_str()), FONT_FILTER_MAX * GLYPH_W);

    EXPECT_EQ(font_get_height(fid, "aaa bbb", 50), 2 * LINE_H);
    EXPECT_EQ(font_get_height(fid, "aaa bbb", 0), LINE_H) << "no width: one line";
    EXPECT_EQ(font_get_height(fid, nullptr, 50), LINE_H);
}

TEST_F(FontTest, UnknownFontsMeasureAsNothing) {
    log_set_verbose(true);  // the lines below are the chatty ones
    testing::internal::CaptureStderr();
    int none = font_load("no-such-font");
    int again = font_load("even");
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(none, 0);
    EXPECT_EQ(again, fid);
    EXPECT_NE(log.find("trying load font no-such-font\n"), std::string::npos);
    EXPECT_EQ(log.find("trying load font even"), std::string::npos) << "a loaded font is not tried again";
    EXPECT_EQ(font_get_width(0, "abc"), 0);
    EXPECT_EQ(font_get_height(0, "abc", 100), 0);
    EXPECT_EQ(font_get_width(12345, "abc"), 0);
    font_draw(0, "abc", 0, 0, 0, -1);  // draws nothing, and needs no window for it
}

TEST_F(FontTest, LinesAreAlignedWithinTheWidth) {
    // A 60-wide line in 100 units: left at 0, centred at 20, right at 40.
    EXPECT_FLOAT_EQ(font_crect(fid, "abcdef", 0, 100, -1).x, 0);
    EXPECT_FLOAT_EQ(font_crect(fid, "abcdef", 0, 100, 0).x, 20);
    EXPECT_FLOAT_EQ(font_crect(fid, "abcdef", 0, 100, 1).x, 40);
    EXPECT_FLOAT_EQ(font_crect(fid, "abcdef", 0, 0, 1).x, 0) << "no width, nothing to align in";

    // Each wrapped line has its own offset.
    GfxRect second = font_crect(fid, "aaaa bb", 5, 50, 1);
    EXPECT_FLOAT_EQ(second.x, 30);
    EXPECT_FLOAT_EQ(second.y, LINE_H);
}

TEST_F(FontTest, CaretRectanglesAndNearestPositions) {
    GfxRect r = font_crect(fid, "abc", 2, 0, -1);
    EXPECT_FLOAT_EQ(r.x, 20);
    EXPECT_FLOAT_EQ(r.y, 0);
    EXPECT_FLOAT_EQ(r.w, GLYPH_W);
    EXPECT_FLOAT_EQ(r.h, LINE_H);
    r = font_crect(fid, "abc", 3, 0, -1);
    EXPECT_FLOAT_EQ(r.x, 30) << "the terminator is a caret position";
    r = font_crect(fid, "abc", 99, 0, -1);
    EXPECT_FLOAT_EQ(r.x, 40) << "past the end: after the last line";
    EXPECT_FLOAT_EQ(r.y, 0);
    EXPECT_FLOAT_EQ(r.w, 0);

    // Clicking right of a line's last glyph selects its break character.
    EXPECT_EQ(font_cnear(fid, "aaa bbb", 45, 5, 50, -1), 3);
    EXPECT_EQ(font_cnear(fid, "aaa bbb", 200, 25, 50, -1), 7);
    EXPECT_EQ(font_cnear(fid, "aaa bbb", 12, 25, 50, -1), 5);
    EXPECT_EQ(font_cnear(fid, "aaa bbb", 0, -100, 50, -1), 0) << "above the text: the first line";
    EXPECT_EQ(font_cnear(fid, "aaa bbb", 14, 900, 50, -1), 5) << "below the text: the last line";
    // Ties go to the first position: the left edges at 10 and 20 from 15.
    EXPECT_EQ(font_cnear(fid, "abc", 15, 5, 0, -1), 1);
}

TEST(FontFilter, MasksListedWordsInAnyCase) {
    EXPECT_STREQ(_font_filter("You ShIt head"), "You **** head");
    EXPECT_STREQ(_font_filter("BASTARDS!"), "*******S!");
    EXPECT_STREQ(_font_filter("a $hit b"), "a **** b");
    EXPECT_STREQ(_font_filter("fuckfuck"), "********") << "every occurrence";
    EXPECT_STREQ(_font_filter("Stealth puzzle"), "Stealth puzzle");
    EXPECT_STREQ(_font_filter(nullptr), "");
    std::string huge(3000, 'x');
    huge += "shit";
    EXPECT_EQ(strlen(_font_filter(huge.c_str())), (size_t)FONT_FILTER_MAX);
    // A word cut by the limit is masked as far as it goes only if whole.
    std::string edge(FONT_FILTER_MAX - 2, 'x');
    edge += "shit";
    EXPECT_EQ(std::string(_font_filter(edge.c_str())).substr(FONT_FILTER_MAX - 2), "sh");
}

TEST(FontDraw, TextReachesTheWindow) {
    GfxWindow win;
    int f1 = font_load("font1");
    ASSERT_NE(f1, 0);
    int h = font_get_height(f1, "", 0);
    EXPECT_GT(h, 0);
    font_draw(f1, "HHHH WWWW", 100, 100, 0, -1);
    int w = font_get_width(f1, "HHHH WWWW");
    EXPECT_GT(w, 50);
    EXPECT_GT(win.lit(100, 100, w, h), w * h / 10) << "glyphs are drawn inside the text's box";
    EXPECT_EQ(win.lit(100 + w + 2, 95, 40, h + 10), 0);
    EXPECT_EQ(win.lit(90, 100 + h + 1, w + 20, 20), 0);

    // Clipped to its lower half, the line shows nothing above the clip.
    win.begin();
    gfx_clip(0, 100 + h / 2, 960, 720);
    font_draw(f1, "HHHH", 100, 100, 0, -1);
    gfx_unclip();
    win.snap();
    EXPECT_EQ(win.lit(100, 100, w, h / 2 - 1), 0);
    EXPECT_GT(win.lit(100, 100 + h / 2, w, h / 2), 0);

    // A line of more glyphs than one draw call holds is drawn to its end.
    win.begin();
    std::string line(600, 'I');
    font_draw(f1, line.c_str(), -(float)font_get_width(f1, line.c_str()) + 500, 300, 0, -1);
    EXPECT_GT(win.lit(400, 300, 100, h), 0);
    EXPECT_EQ(win.lit(520, 300, 100, h), 0);
}
