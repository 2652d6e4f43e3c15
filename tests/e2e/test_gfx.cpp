// Tests of the 2D layer: catalogues and their limits, clipping arithmetic and
// the clip stack, nine-part frames, coordinate conversion, and pixels drawn
// into a real window.
#include <gtest/gtest.h>
#include <json/json.h>

#include <functional>
#include <string>
#include <vector>

#include "gfx_window.h"
#include "log.h"
#include "gui.h"

namespace {

int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

Json::Value rect_json(float x, float y, float w, float h) {
    Json::Value r(Json::objectValue);
    r["x"] = x;
    r["y"] = y;
    r["w"] = w;
    r["h"] = h;
    return r;
}

Json::Value image_json(const char* tex, float w, float h) {
    Json::Value v(Json::objectValue);
    v["texture"] = tex;
    v["rect"] = rect_json(0, 0, w, h);
    v["shape"] = rect_json(0, 0, w, h);
    return v;
}

Json::Value texture_json(const char* fname, float w, float h) {
    Json::Value v(Json::objectValue);
    v["fname"] = fname;
    v["rect"] = rect_json(0, 0, w, h);
    return v;
}

// A texture made here, two texels wide: red on the left, blue on the right.
GLuint red_blue_texture() {
    const unsigned char px[] = {255, 0, 0, 255, 0, 0, 255, 255};
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, px);
    return tex;
}

const unsigned int RED = 0xFF0000, BLUE = 0x0000FF, BLACK = 0;

}  // namespace

TEST(Gfx, ClipTestCropsTheTextureInProportion) {
    // The right half of a 100-wide blit is inside: the right half of the picture shows.
    GfxRect d(0, 0, 100, 50), s(0, 0, 1, 1);
    ASSERT_TRUE(_gfx_clip_test(&d, &s, GfxRect(50, -10, 200, 200)));
    EXPECT_FLOAT_EQ(d.x, 50);
    EXPECT_FLOAT_EQ(d.w, 50);
    EXPECT_FLOAT_EQ(s.x, 0.5f);
    EXPECT_FLOAT_EQ(s.w, 0.5f);
    EXPECT_FLOAT_EQ(s.h, 1);

    // Cut on all four sides of a texture sub-rectangle.
    d = GfxRect(10, 10, 40, 40);
    s = GfxRect(0.5f, 0.25f, 0.25f, 0.5f);
    ASSERT_TRUE(_gfx_clip_test(&d, &s, GfxRect(20, 30, 10, 10)));
    EXPECT_FLOAT_EQ(d.x, 20);
    EXPECT_FLOAT_EQ(d.y, 30);
    EXPECT_FLOAT_EQ(d.w, 10);
    EXPECT_FLOAT_EQ(d.h, 10);
    EXPECT_FLOAT_EQ(s.x, 0.5f + 0.25f * 10 / 40);
    EXPECT_FLOAT_EQ(s.w, 0.25f * 10 / 40);
    EXPECT_FLOAT_EQ(s.y, 0.25f + 0.5f * 20 / 40);
    EXPECT_FLOAT_EQ(s.h, 0.5f * 10 / 40);

    GfxRect outside(300, 0, 10, 10), empty(0, 0, 0, 10), flat(0, 0, 10, -1);
    EXPECT_FALSE(_gfx_clip_test(&outside, nullptr, GfxRect(0, 0, 100, 100)));
    EXPECT_FALSE(_gfx_clip_test(&empty, nullptr, GfxRect(0, 0, 100, 100)));
    EXPECT_FALSE(_gfx_clip_test(&flat, nullptr, GfxRect(0, 0, 100, 100)));
    GfxRect touching(100, 0, 10, 10);
    EXPECT_FALSE(_gfx_clip_test(&touching, nullptr, GfxRect(0, 0, 100, 100)));
}

TEST(Gfx, NinePartFrameTilesItsCellsWithoutStretching) {
    std::vector<GfxBoxPart> parts;
    auto collect = [&parts](const GfxBoxPart& p) { parts.push_back(p); };
    const float third = 1.0f / 3;

    // 3.5 corner sizes wide, one high: left cell, a full middle cell, half a
    // middle cell, and the right cell anchored to the right edge.
    _gfx_box_layout(100, 50, 35, 10, 10, collect);
    ASSERT_EQ(parts.size(), 4u);
    const float dx[] = {100, 110, 120, 125}, dw[] = {10, 10, 5, 10};
    const float sx[] = {0, third, third, 2 * third}, sw[] = {third, third, third / 2, third};
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(parts[i].dst.x, dx[i]);
        EXPECT_FLOAT_EQ(parts[i].dst.w, dw[i]);
        EXPECT_FLOAT_EQ(parts[i].src.x, sx[i]);
        EXPECT_FLOAT_EQ(parts[i].src.w, sw[i]);
        // No taller than a cell: one row from the middle of the grid, on the bottom edge.
        EXPECT_FLOAT_EQ(parts[i].dst.y, 50);
        EXPECT_FLOAT_EQ(parts[i].dst.h, 10);
        EXPECT_FLOAT_EQ(parts[i].src.y, third);
    }

    // A 3 x 3 frame of exactly three cells each way is the grid itself.
    parts.clear();
    _gfx_box_layout(0, 0, 90, 90, 30, collect);
    ASSERT_EQ(parts.size(), 9u);
    for (int i = 0; i < 9; i++) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(parts[i].dst.x, 30.0f * (i % 3));
        EXPECT_FLOAT_EQ(parts[i].dst.y, 30.0f * (i / 3));
        EXPECT_FLOAT_EQ(parts[i].src.x, third * (i % 3));
        EXPECT_FLOAT_EQ(parts[i].src.y, third * (i / 3));
    }

    // A frame that is no multiple of the cell: the bottom row meets the bottom edge.
    parts.clear();
    _gfx_box_layout(0, 0, 60, 75, 20, collect);
    float bottom = 0;
    for (const GfxBoxPart& p : parts) bottom = std::max(bottom, p.dst.y + p.dst.h);
    EXPECT_FLOAT_EQ(bottom, 75);

    parts.clear();
    _gfx_box_layout(0, 0, 60, 60, 0, collect);
    EXPECT_TRUE(parts.empty()) << "a corner size of 0 has nothing to tile";
}

TEST(Gfx, CatalogueLoadsEachNameOnceAndSharesTextures) {
    GfxWindow win;
    Json::Value images(Json::objectValue), textures(Json::objectValue);
    images["a"] = image_json("sheet", 16, 8);
    images["b"] = image_json("sheet", 4, 4);
    images["lost"] = image_json("nowhere", 4, 4);
    textures["sheet"] = texture_json("font3.png", 256, 128);
    _gfx_catalog_set(images, textures);

    log_set_verbose(true);  // the lines below are the chatty ones
    testing::internal::CaptureStderr();
    int a = gfx_img_load("a");
    int again = gfx_img_load("a");
    int b = gfx_img_load("b");
    int missing = gfx_img_load("missing");
    int missing2 = gfx_img_load("missing");
    std::string log = testing::internal::GetCapturedStderr();

    EXPECT_NE(a, 0);
    EXPECT_EQ(again, a);
    EXPECT_EQ(count_of(log, "trying load img a\n"), 1);
    EXPECT_EQ(count_of(log, "doing load img a (1)\n"), 1);
    EXPECT_NE(b, a);
    EXPECT_EQ(count_of(log, "doing load tex sheet"), 1) << "the second image reuses the texture";
    EXPECT_NE(gfx_img_get_tex(a), 0);
    EXPECT_EQ(gfx_img_get_tex(b), gfx_img_get_tex(a));
    EXPECT_EQ(gfx_img_get_width(a), 16);
    EXPECT_EQ(gfx_img_get_height(a), 8);
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(missing2, 0);
    EXPECT_EQ(count_of(log, "trying load img missing\n"), 2) << "an unknown name is not remembered";

    // An image on an unknown texture loads but has nothing to draw.
    int lost = gfx_img_load("lost");
    EXPECT_NE(lost, 0);
    EXPECT_EQ(gfx_img_get_tex(lost), 0);
    EXPECT_EQ(gfx_img_get_tex(0), 0);
    EXPECT_EQ(gfx_img_get_width(9999), 0);
    EXPECT_EQ(gfx_tex_get_id(-1), 0);
}

TEST(Gfx, FullTablesRefuseNewNames) {
    GfxWindow win;
    Json::Value images(Json::objectValue), textures(Json::objectValue);
    for (int i = 0; i < GFX_TEX_MAX + 5; i++)
        textures["t" + std::to_string(i)] = texture_json("no-such-file.png", 8, 8);
    for (int i = 0; i < GFX_IMG_MAX + 5; i++) images["i" + std::to_string(i)] = image_json("t0", 8, 8);
    _gfx_catalog_set(images, textures);

    testing::internal::CaptureStderr();
    int last_tex = 0;
    for (int i = 0; i < GFX_TEX_MAX - 1; i++) last_tex = gfx_tex_load(("t" + std::to_string(i)).c_str());
    int over_tex = gfx_tex_load(("t" + std::to_string(GFX_TEX_MAX)).c_str());
    int last_img = 0;
    for (int i = 0; i < GFX_IMG_MAX - 1; i++) last_img = gfx_img_load(("i" + std::to_string(i)).c_str());
    int over_img = gfx_img_load(("i" + std::to_string(GFX_IMG_MAX)).c_str());
    std::string log = testing::internal::GetCapturedStderr();

    EXPECT_EQ(last_tex, GFX_TEX_MAX - 1);
    EXPECT_EQ(over_tex, 0);
    EXPECT_EQ(gfx_tex_load("t7"), 8) << "names already loaded keep their handles";
    EXPECT_EQ(gfx_tex_get_id(last_tex), 0) << "a file that does not load leaves OpenGL name 0";
    EXPECT_EQ(last_img, GFX_IMG_MAX - 1);
    EXPECT_EQ(over_img, 0);
    EXPECT_EQ(gfx_img_load("i0"), 1);
    EXPECT_NE(log.find("texture table full"), std::string::npos);
    EXPECT_NE(log.find("image table full"), std::string::npos);
}

TEST(Gfx, ClipStackIntersectsAndHidesBeyondItsDepth) {
    GfxWindow win;
    GfxRect d(0, 0, 500, 500);
    EXPECT_TRUE(_gfx_clip_apply(&d, nullptr));
    EXPECT_FLOAT_EQ(d.w, 500) << "no clip draws everything";

    gfx_clip(100, 100, 200, 200);
    gfx_translate(150, 150);
    gfx_clip(0, 0, 400, 400);  // larger than its parent
    d = GfxRect(-200, -200, 1000, 1000);
    ASSERT_TRUE(_gfx_clip_apply(&d, nullptr));
    // Back in the translated coordinates: the parent ends at 300 - 150.
    EXPECT_FLOAT_EQ(d.x, 0);
    EXPECT_FLOAT_EQ(d.y, 0);
    EXPECT_FLOAT_EQ(d.w, 150);
    EXPECT_FLOAT_EQ(d.h, 150);

    // Depth 8 still clips; the ninth push hides everything until it is popped.
    for (int i = 2; i < GFX_CLIP_MAX; i++) gfx_clip(-1000, -1000, 5000, 5000);
    d = GfxRect(0, 0, 10, 10);
    EXPECT_TRUE(_gfx_clip_apply(&d, nullptr));
    gfx_clip(-1000, -1000, 5000, 5000);
    d = GfxRect(0, 0, 10, 10);
    EXPECT_FALSE(_gfx_clip_apply(&d, nullptr));
    gfx_clip(0, 0, 10, 10);
    gfx_unclip();
    d = GfxRect(0, 0, 10, 10);
    EXPECT_FALSE(_gfx_clip_apply(&d, nullptr)) << "still nine deep";
    gfx_unclip();
    d = GfxRect(0, 0, 10, 10);
    EXPECT_TRUE(_gfx_clip_apply(&d, nullptr));

    for (int i = 0; i < 20; i++) gfx_unclip();
    gfx_translate(-150, -150);
    gfx_clip(0, 0, 10, 10);
    d = GfxRect(0, 0, 100, 100);
    ASSERT_TRUE(_gfx_clip_apply(&d, nullptr)) << "popping past the bottom leaves an empty stack";
    EXPECT_FLOAT_EQ(d.w, 10);
    gfx_unclip();

    // Disjoint nested clips leave nothing visible.
    gfx_clip(0, 0, 10, 10);
    gfx_clip(50, 50, 10, 10);
    d = GfxRect(0, 0, 100, 100);
    EXPECT_FALSE(_gfx_clip_apply(&d, nullptr));
}

TEST(Gfx, HalfClippedBlitShowsExactlyItsInsideHalf) {
    GfxWindow win;
    GLuint tex = red_blue_texture();
    gfx_clip(200, 0, 400, 720);
    gfx_tex_blit2((int)tex, 0, 0, 1, 1, 100, 100, 200, 100);
    gfx_unclip();
    win.snap();
    EXPECT_EQ(win.at(150, 150), BLACK) << "the outside half is not drawn";
    EXPECT_EQ(win.at(205, 150), BLUE) << "the picture is cropped, not squeezed";
    EXPECT_EQ(win.at(295, 150), BLUE);
    EXPECT_EQ(win.at(305, 150), BLACK);

    // The same through a translation: the clip stays where it was pushed.
    win.begin();
    gfx_clip(200, 0, 400, 720);
    gfx_translate(100, 0);
    gfx_tex_blit2((int)tex, 0, 0, 1, 1, 0, 100, 200, 100);
    gfx_translate(-100, 0);
    gfx_unclip();
    win.snap();
    EXPECT_EQ(win.at(150, 150), BLACK);
    EXPECT_EQ(win.at(250, 150), BLUE);
    glDeleteTextures(1, &tex);
}

TEST(Gfx, FillsAndImagesReachTheWindow) {
    GfxWindow win;
    gfx_fill(0x336699, 10, 20, 100, 50);
    int white = gfx_img_load("white");
    ASSERT_NE(white, 0);
    glColor4f(1, 0.5f, 0, 1);
    gfx_img_blit(white, 200, 300, 40, 40);
    glColor4f(1, 1, 1, 1);
    gfx_img_blit(0, 400, 300, 40, 40);
    gfx_clip(0, 0, 960, 720);
    for (int i = 0; i < GFX_CLIP_MAX; i++) gfx_clip(0, 0, 960, 720);
    gfx_fill(0xFFFFFF, 500, 500, 50, 50);
    for (int i = 0; i <= GFX_CLIP_MAX; i++) gfx_unclip();
    win.snap();
    EXPECT_EQ(win.at(15, 25), 0x336699u);
    EXPECT_EQ(win.at(105, 65), 0x336699u);
    EXPECT_EQ(win.at(115, 25), BLACK);
    EXPECT_EQ(win.at(5, 25), BLACK);
    unsigned int tinted = win.at(220, 320);
    EXPECT_EQ(tinted >> 16, 0xFFu);
    EXPECT_NEAR((int)((tinted >> 8) & 0xFF), 0x80, 2);
    EXPECT_EQ(tinted & 0xFF, 0u);
    EXPECT_EQ(win.at(245, 320), BLACK);
    EXPECT_EQ(win.at(420, 320), BLACK) << "handle 0 draws nothing";
    EXPECT_EQ(win.at(520, 520), BLACK) << "clipped drawing below depth 8 is hidden";
}

TEST(Gfx, NinePartFrameDrawsItsCorners) {
    GfxWindow win;
    GLuint tex = red_blue_texture();
    // Of a two-texel texture, the left column of the grid is red, the right blue.
    glBindTexture(GL_TEXTURE_2D, tex);
    gfx_tex_box((int)tex, 100, 100, 105, 60, 30);
    win.snap();
    EXPECT_EQ(win.at(105, 130), RED);
    EXPECT_EQ(win.at(200, 130), BLUE) << "the right column is anchored to the right edge";
    EXPECT_EQ(win.at(210, 130), BLACK);
    glDeleteTextures(1, &tex);
}

TEST(Gfx, PointerEventsArriveOnTheCanvas) {
    GfxWindow win;
    driver_set_size(1920, 1080);
    Event e(EVT_DOWN);
    e.x = 960;
    e.y = 540;
    gfx_event_correct(&e);
    EXPECT_FLOAT_EQ(e.x, 480);
    EXPECT_FLOAT_EQ(e.y, 360);
    EXPECT_FLOAT_EQ(e._x, 960);
    EXPECT_FLOAT_EQ(e._y, 540);

    Event m(EVT_MOTION);
    m.x = 100;
    m.y = 90;
    m.dx = 20;
    m.dy = -30;
    gfx_event_correct(&m);
    EXPECT_FLOAT_EQ(m.dx, 20 / 1.5f) << "motion is scaled like positions, the same both ways";
    EXPECT_FLOAT_EQ(m.dy, -20);
    // The canvas keeps its shape, centred: a 16:9 window shows 160 units more on either side.
    GfxRect corner = gfx_hwpos_to_pos(GfxRect(0, 0, 0, 0));
    EXPECT_FLOAT_EQ(corner.x, -160);
    EXPECT_FLOAT_EQ(corner.y, 0);
    GfxRect view = gfx_get_view();
    EXPECT_FLOAT_EQ(view.x, -160);
    EXPECT_FLOAT_EQ(view.w, 1280);
    EXPECT_FLOAT_EQ(view.h, 720);

    Event w(EVT_WHEEL);
    w.x = 960;
    w.dy = 1;
    gfx_event_correct(&w);
    EXPECT_FLOAT_EQ(w.x, 960) << "wheel events keep window pixels";
    EXPECT_FLOAT_EQ(w.dy, 1);

    // A turned canvas: the conversion and its inverse meet again.
    gfx_set_orient(30);
    GfxRect p = gfx_hwpos_to_pos(GfxRect(300, 200, 7, 9));
    GfxRect back = gfx_pos_to_hwpos(p);
    EXPECT_NEAR(back.x, 300, 1e-3);
    EXPECT_NEAR(back.y, 200, 1e-3);
    EXPECT_FLOAT_EQ(back.w, 7);
    GfxRect centre = gfx_hwpos_to_pos(GfxRect(960, 540, 0, 0));
    EXPECT_NEAR(centre.x, 480, 1e-3) << "the canvas turns about its centre";
    EXPECT_NEAR(centre.y, 360, 1e-3);

    // A sideways display swaps the axes both ways.
    gfx_set_orient(0);
    driver_set_orient(90);
    p = gfx_hwpos_to_pos(GfxRect(100, 300, 0, 0));
    back = gfx_pos_to_hwpos(p);
    EXPECT_NEAR(back.x, 100, 1e-3);
    EXPECT_NEAR(back.y, 300, 1e-3);
    driver_set_orient(0);
}

TEST(Gfx, FocusedFieldStaysAboveTheKeyboard) {
    GfxWindow win;
    // With no on-screen keyboard, nothing needs to move.
    gfx_focus(GfxRect(0, 650, 100, 60));
    gfx_ortho();
    GfxRect p = gfx_hwpos_to_pos(GfxRect(480, 360, 0, 0));
    EXPECT_FLOAT_EQ(p.y, 360);
    gfx_blur();
    EXPECT_FLOAT_EQ(gfx_get_aspect(), 960.0f / 720);
}

// A fingerprint tells apart every change of what would be drawn (place,
// colour, picture, text, translation, blending) and draws nothing itself.
TEST(Gfx, FingerprintsTellFramesApartWithoutDrawing) {
    GfxWindow win;
    int white = gfx_img_load("white");
    Font f(font_load("font1"));
    ASSERT_NE(white, 0);
    ASSERT_NE(f.fid, 0);
    const std::vector<std::function<void()>> frames = {
        [] { gfx_fill(0x336699, 10, 20, 100, 50); },
        [] { gfx_fill(0x336699, 11, 20, 100, 50); },
        [] { gfx_fill(0x336698, 10, 20, 100, 50); },
        [=] { gfx_img_blit(white, 10, 20, 100, 50); },
        [=] {
            glColor4f(1, 1, 1, 0.5f);
            gfx_img_blit(white, 10, 20, 100, 50);
            glColor4f(1, 1, 1, 1);
        },
        [=] { f.draw("Play", 10, 20); },
        [=] { f.draw("Plan", 10, 20); },
        [] {
            gfx_translate(5, 0);
            gfx_fill(0x336699, 10, 20, 100, 50);
            gfx_translate(-5, 0);
        },
        [] {
            glDisable(GL_BLEND);
            gfx_fill(0x336699, 10, 20, 100, 50);
            glEnable(GL_BLEND);
        },
    };
    std::vector<uint64_t> prints;
    for (const auto& draw : frames) {
        uint64_t p[2];
        for (uint64_t& one : p) {
            gfx_fingerprint_begin();
            draw();
            one = gfx_fingerprint_end();
        }
        EXPECT_EQ(p[0], p[1]) << "frame " << prints.size() << " drawn twice";
        for (size_t i = 0; i < prints.size(); i++) EXPECT_NE(prints[i], p[0]) << "frames " << i << " and " << prints.size();
        prints.push_back(p[0]);
    }
    EXPECT_FALSE(gfx_fingerprinting());
    EXPECT_EQ(win.lit(0, 0, 200, 100), 0) << "a fingerprint draws nothing";
    frames[0]();
    EXPECT_EQ(win.pixel(15, 25), 0x336699u) << "and drawing goes on after it";
}

// A frame that follows 2D drawing (depth writes off) still starts with an
// empty depth buffer, or a map drawn in it would hide behind older frames.
TEST(Gfx, ClearEmptiesTheDepthBufferAfter2DDrawing) {
    GfxWindow win;  // set up for 2D: depth writes off, as the screens leave them
    glDepthMask(GL_TRUE);
    glClearDepth(0.25);
    glClear(GL_DEPTH_BUFFER_BIT);
    glDepthMask(GL_FALSE);
    gfx_clear();
    float depth = 0;
    glReadPixels(10, 10, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_FLOAT_EQ(depth, 1.0f);
}
