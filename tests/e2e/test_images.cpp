// Every image and font that the game asks for by name is in the shipped
// catalogues and loads. Whoever adds art or a screen that asks for a new name
// adds the name to the table below.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfx_window.h"
#include "pngout.h"

namespace {

// Images the game loads by name.
const char* const IMAGES[] = {
    // plain fills and the empty picture
    "white", "black", "blank",
    // frames of buttons, fields, highlights and message bars
    "box", "box1", "box2", "box3", "bar1",
    // title, ratings and the heads-up display
    "logo", "stars", "skulls",
    "icon-arrow4", "icon-arrow6", "icon-arrow8",
    "icon-bomb1", "icon-bomb2", "icon-bomb3", "icon-bomb4",
};

// Fonts the game loads by name.
const char* const FONTS[] = {"font1", "font2", "font3"};

}  // namespace

TEST(Images, EveryNamedImageLoads) {
    GfxWindow win;
    for (const char* name : IMAGES) {
        SCOPED_TRACE(name);
        int img = gfx_img_load(name);
        ASSERT_NE(img, 0) << "not in image.txt";
        EXPECT_NE(gfx_img_get_tex(img), 0) << "its texture file does not load";
        EXPECT_GT(gfx_img_get_width(img), 0);
        EXPECT_GT(gfx_img_get_height(img), 0);
    }
}

TEST(Images, EveryNamedFontLoads) {
    GfxWindow win;
    for (const char* name : FONTS) {
        SCOPED_TRACE(name);
        int fid = font_load(name);
        ASSERT_NE(fid, 0) << "not in font.txt";
        EXPECT_GT(font_get_height(fid, nullptr, 0), 0);
        EXPECT_GT(font_get_width(fid, "Velquist"), 0);
        EXPECT_GT(font_get_width(fid, " "), 0) << "a space has an advance";
    }
}

// A sheet of the interface art as the game shows it: frames at the corner
// sizes that the widgets use, icons at their sizes, text in every font. Each
// picture must change the ground it is drawn on, except "blank". With
// VELQUIST_SNAPSHOT set to a file name, the sheet is also saved there.
TEST(Images, ArtSheetShowsEveryPicture) {
    GfxWindow win(1920, 1080);
    const unsigned int ground = 0x182234;
    gfx_fill(ground, 0, 0, 960, 720);
    struct Placed {
        const char* name;
        int x, y, w, h, corner;  // corner 0: an image blit
    };
    const Placed sheet[] = {
        {"logo", 180, 10, 600, 150, 0},
        {"box3", 20, 180, 320, 60, 30}, {"box1", 340, 180, 320, 60, 30}, {"box", 660, 180, 280, 60, 30},
        {"box", 20, 250, 480, 40, 20},  {"box2", 520, 250, 200, 60, 30}, {"box", 740, 250, 200, 30, 15},
        {"bar1", 20, 300, 600, 90, 40}, {"box2", 640, 300, 40, 90, 15},  {"box", 700, 300, 120, 60, 16},
        {"stars", 20, 400, 60, 60, 0},  {"skulls", 90, 400, 60, 60, 0},  {"stars", 160, 417, 26, 26, 0},
        {"skulls", 190, 417, 26, 26, 0}, {"icon-arrow4", 230, 400, 56, 56, 0},
        {"icon-arrow6", 300, 400, 56, 56, 0}, {"icon-arrow8", 370, 404, 48, 48, 0},
        {"icon-bomb1", 430, 390, 96, 96, 0}, {"icon-bomb2", 530, 390, 96, 96, 0},
        {"icon-bomb3", 630, 390, 96, 96, 0}, {"icon-bomb4", 730, 390, 96, 96, 0},
        {"white", 840, 400, 40, 40, 0}, {"black", 890, 400, 40, 40, 0}, {"blank", 840, 450, 90, 30, 0},
    };
    for (const Placed& p : sheet) {
        int img = gfx_img_load(p.name);
        ASSERT_NE(img, 0) << p.name;
        if (p.corner) gfx_tex_box(gfx_img_get_tex(img), p.x, p.y, p.w, p.h, p.corner);
        else gfx_img_blit(img, p.x, p.y, p.w, p.h);
    }
    const char* fonts[] = {"font2", "font1", "font3"};
    for (int i = 0; i < 3; i++) {
        int fid = font_load(fonts[i]);
        float y = 500 + i * 40.0f;
        font_draw(fid, "Velquist: lead the thief past the guards, 0123456789 !?", 20, y, 0, -1);
        font_draw(fid, "Awesomeness  Difficulty  Tutorial  Play  Build", 20, y + 18, 0, -1);
    }
    font_draw(font_load("font2"), "Play", 20, 180 + 22, 320, 0);
    font_draw(font_load("font2"), "Settings", 340, 180 + 22, 320, 0);
    win.snap();
    for (const Placed& p : sheet) {
        SCOPED_TRACE(p.name);
        unsigned int centre = win.at(p.x + p.w / 2.0f, p.y + p.h / 2.0f);
        unsigned int rim = win.at(p.x + p.w / 2.0f, p.y + 1.5f);
        bool changed = centre != ground || rim != ground;
        EXPECT_EQ(changed, std::string(p.name) != "blank");
    }
    if (const char* path = getenv("VELQUIST_SNAPSHOT")) {
        int w = 0, h = 0;
        driver_get_size(&w, &h);
        std::vector<unsigned char> px((size_t)w * h * 4), flipped(px.size());
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        for (int y = 0; y < h; y++)
            memcpy(&flipped[(size_t)y * w * 4], &px[(size_t)(h - 1 - y) * w * 4], (size_t)w * 4);
        EXPECT_TRUE(pngout_write(path, w, h, flipped.data()));
    }
}
