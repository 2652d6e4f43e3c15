// The map view's art: the catalogue holds every image the view and the rules
// ask for, sprites stand on the ground where the view puts it, textures tile
// and arrows point the way the rules walk.
#include <SDL/SDL.h>
#include <SDL/SDL_image.h>
#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "mapart.h"
#include "game.h"
#include "logic.h"

namespace {

bool read_json(const std::string& path, Json::Value* out) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    Json::Reader reader;
    return in && reader.parse(text.str(), *out);
}

// Alpha of every pixel of a loaded PNG, top row first.
std::vector<unsigned char> png_alpha(const std::string& path, int* w, int* h) {
    std::vector<unsigned char> out;
    SDL_Surface* s = IMG_Load(path.c_str());
    if (!s) return out;
    *w = s->w;
    *h = s->h;
    out.resize((size_t)s->w * s->h);
    SDL_LockSurface(s);
    for (int y = 0; y < s->h; y++) {
        for (int x = 0; x < s->w; x++) {
            const Uint8* p = (const Uint8*)s->pixels + y * s->pitch + x * s->format->BytesPerPixel;
            Uint32 v = 0;
            memcpy(&v, p, s->format->BytesPerPixel);
            Uint8 r, g, b, a;
            SDL_GetRGBA(v, s->format, &r, &g, &b, &a);
            out[(size_t)y * s->w + x] = a;
        }
    }
    SDL_UnlockSurface(s);
    SDL_FreeSurface(s);
    return out;
}

bool pow2(int v) { return v > 0 && (v & (v - 1)) == 0; }

// Alpha-weighted centre of a canvas, relative to its middle.
void centroid(const ArtCanvas& c, float* x, float* y) {
    double sx = 0, sy = 0, sa = 0;
    for (int j = 0; j < c.h; j++) {
        for (int i = 0; i < c.w; i++) {
            float a = c.at(i, j)[3];
            sx += a * (i + 0.5);
            sy += a * (j + 0.5);
            sa += a;
        }
    }
    *x = (float)(sx / sa - c.w / 2.0);
    *y = (float)(sy / sa - c.h / 2.0);
}

// Along (dx, dy): where the arrow is widest, relative to its middle. An
// arrow's head is wider than its shaft, so this is ahead of the middle.
float widest_at(const ArtCanvas& c, float dx, float dy) {
    float l = std::hypot(dx, dy), ax = dx / l, ay = dy / l;
    float best = -1, at = 0;
    for (int j = 0; j < c.h; j++) {
        for (int i = 0; i < c.w; i++) {
            if (c.at(i, j)[3] < 0.5f) continue;
            float x = i + 0.5f - c.w / 2.0f, y = j + 0.5f - c.h / 2.0f;
            float side = std::fabs(-ay * x + ax * y);
            if (side > best) {
                best = side;
                at = ax * x + ay * y;
            }
        }
    }
    return at / c.w;
}

// Mean colour difference between two columns (or rows) of a texture.
double line_gap(const ArtCanvas& c, int a, int b, bool columns) {
    double sum = 0;
    int n = columns ? c.h : c.w;
    for (int k = 0; k < n; k++) {
        const float* p = columns ? c.at(a, k) : c.at(k, a);
        const float* q = columns ? c.at(b, k) : c.at(k, b);
        for (int ch = 0; ch < 3; ch++) sum += std::fabs(p[ch] - q[ch]);
    }
    return sum / n;
}

void expect_seamless(const ArtCanvas& c, const char* what) {
    for (bool columns : {true, false}) {
        int n = columns ? c.w : c.h;
        double inner = 0;
        for (int k = 0; k + 1 < n; k++) inner += line_gap(c, k, k + 1, columns);
        inner /= n - 1;
        double wrap = line_gap(c, n - 1, 0, columns);
        EXPECT_LE(wrap, 2.5 * inner + 0.01) << what << (columns ? ": last column to first" : ": last row to first");
    }
}

}  // namespace

TEST(MapArt, CatalogueHoldsEveryImageOnSaneSheets) {
    Json::Value images, textures;
    ASSERT_TRUE(read_json("../data/image.txt", &images)) << "data/image.txt is made by the normal build";
    ASSERT_TRUE(read_json("../data/texture.txt", &textures));
    std::vector<ArtTile> tiles = mapart_tiles("../data/tiles.json");
    ASSERT_FALSE(tiles.empty());
    std::vector<std::string> names = mapart_names(tiles);
    // 9 surfaces and spots, 14 decals, 32 icons, 8 sprite tiles, 4 bombs,
    // 9 blasts, 2 standing actors and 5 x 64 + 8 animation frames.
    EXPECT_EQ(names.size(), 9u + 14 + 32 + 8 + 4 + 9 + 2 + 5 * 64 + 8);

    std::map<std::string, std::vector<unsigned char>> sheets;
    std::map<std::string, int> sheet_w, sheet_h;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(images.isMember(name));
        const Json::Value& im = images[name];
        std::string tex = im["texture"].asString();
        ASSERT_TRUE(textures.isMember(tex));
        const Json::Value& t = textures[tex];
        float tw = t["rect"]["w"].asFloat(), th = t["rect"]["h"].asFloat();
        float x = im["rect"]["x"].asFloat(), y = im["rect"]["y"].asFloat();
        float w = im["rect"]["w"].asFloat(), h = im["rect"]["h"].asFloat();
        EXPECT_GT(w, 0);
        EXPECT_GT(h, 0);
        EXPECT_GE(x, 0);
        EXPECT_GE(y, 0);
        EXPECT_LE(x + w, tw);
        EXPECT_LE(y + h, th);
        float sw = im["shape"]["w"].asFloat(), sh = im["shape"]["h"].asFloat();
        bool upright = name.rfind("player", 0) == 0 || name.rfind("guard", 0) == 0 || name.rfind("bomb", 0) == 0 ||
                       name.rfind("item-", 0) == 0 || name == "cartridge" || name == "plant" || name == "statue" ||
                       name == "barrel";
        if (name.rfind("icon-", 0) == 0) {
            EXPECT_EQ(sw, MAPART_ICON);
            EXPECT_EQ(sh, MAPART_ICON);
        } else if (name.rfind("blast-", 0) == 0) {
            // A whole number of units tall, reaching above the ground.
            EXPECT_EQ(std::fmod(sh, MAPART_ROW_PER_UNIT), 0);
            EXPECT_GT(sh / MAPART_ROW_PER_UNIT, MAPART_BLAST_DEPTH);
        } else if (upright) {
            EXPECT_EQ(sw, MAPART_SPRITE);
            EXPECT_EQ(sh, MAPART_SPRITE);
        }
        // The file is a power-of-two square or strip of at most 2048, holding
        // one or two pixels per declared pixel; the image is not blank.
        if (!sheets.count(tex)) {
            int fw = 0, fh = 0;
            sheets[tex] = png_alpha("../data/" + t["fname"].asString(), &fw, &fh);
            ASSERT_FALSE(sheets[tex].empty()) << t["fname"].asString() << ": " << IMG_GetError();
            EXPECT_TRUE(pow2(fw) && pow2(fh) && fw <= MAPART_ATLAS_MAX && fh <= MAPART_ATLAS_MAX) << fw << " x " << fh;
            EXPECT_TRUE(fw == tw || fw == 2 * tw) << fw << " for " << tw;
            EXPECT_EQ(fw * th, fh * tw);
            sheet_w[tex] = fw;
            sheet_h[tex] = fh;
        }
        int k = (int)(sheet_w[tex] / tw);
        int seen = 0;
        for (int j = (int)(y * k); j < (int)((y + h) * k); j++) {
            for (int i = (int)(x * k); i < (int)((x + w) * k); i++) seen += sheets[tex][(size_t)j * sheet_w[tex] + i] > 0;
        }
        EXPECT_GT(seen, 0);
    }
}

TEST(MapArt, BillboardProjectionMatchesTheGameCamera) {
    // Feet on the ground at the billboard's plane land on the ground row, a
    // unit up is 24 rows higher.
    const float lead = 0.3f;
    ArtView v = mapart_view_billboard(MAPART_SPRITE, MAPART_GROUND_ROW, MAPART_COL_PER_UNIT, lead, 1);
    EXPECT_NEAR(mapart_project(v, 0, 0, lead).row, 72, 1e-4);
    EXPECT_NEAR(mapart_project(v, 0, 1, lead).row, 48, 1e-4);
    EXPECT_NEAR(mapart_project(v, 0, 3, lead).row, 0, 1e-4);
    EXPECT_NEAR(mapart_project(v, 1, 0, lead).col, 48 + MAPART_COL_PER_UNIT, 1e-4);

    // Any point of a model must appear where the eye sees it: follow the ray
    // from the point towards the game's eye back to the upright billboard
    // (the plane t = lead of the camera frame) and read the picture there.
    float e = mapart_elevation();
    EXPECT_NEAR(e * 180 / 3.14159265f, 49.4, 0.1);
    const float pts[][3] = {{0.3f, 1.2f, -0.4f}, {-0.5f, 0.1f, 0.2f}, {0.1f, 2.0f, 0.9f}, {0.8f, 0.6f, -1.5f}};
    for (const auto& p : pts) {
        // Towards the eye: (0, sin e, cos e) in (r, y, t).
        float s = (lead - p[2]) / std::cos(e);
        float height = p[1] + s * std::sin(e);
        ArtPoint q = mapart_project(v, p[0], p[1], p[2]);
        EXPECT_NEAR(q.row, MAPART_GROUND_ROW - MAPART_ROW_PER_UNIT * height, 1e-3);
        EXPECT_NEAR(q.col, MAPART_SPRITE / 2 + MAPART_COL_PER_UNIT * p[0], 1e-3);
    }
    // The view's billboard: half-width 1.25 turned 45 degrees.
    EXPECT_NEAR(MAPART_SPRITE / MAPART_COL_PER_UNIT, 2 * 1.25 * std::sqrt(2.0), 1e-4);
}

TEST(MapArt, FiguresStandOnTheGroundRowAndStayInTheirFrame) {
    // The billboard's plane stands a little in front of the figure, so its
    // soles sit a few rows above the ground row and its toes reach it.
    float e = mapart_elevation();
    float soles = MAPART_GROUND_ROW - MAPART_ROW_PER_UNIT * MAPART_ACTOR_LEAD * std::tan(e);
    for (ArtActor who : {ART_PLAYER, ART_GUARD}) {
        ArtMesh m = mapart_figure(who, ART_STAND, 0, art_vec(0, 0, -1));
        ArtView v = mapart_view_billboard(MAPART_SPRITE, MAPART_GROUND_ROW, MAPART_COL_PER_UNIT, MAPART_ACTOR_LEAD, 1);
        float low = 1e9f;
        for (const ArtTri& t : m.tris) {
            for (const ArtVec& p : t.p) low = std::min(low, p.y);
        }
        EXPECT_NEAR(low, 0, 0.01f) << who;
        EXPECT_NEAR(mapart_project(v, 0, low, 0).row, soles, 0.3f) << who;

        ArtCanvas c = mapart_actor_frame(who, ART_STAND, 2, 0);
        ASSERT_EQ(c.w, MAPART_SPRITE * MAPART_SCALE);
        int top = c.h, bottom = -1;
        for (int y = 0; y < c.h; y++) {
            for (int x = 0; x < c.w; x++) {
                if (c.at(x, y)[3] < 0.5f) continue;
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
        float feet = (bottom + 1) / (float)MAPART_SCALE, head = top / (float)MAPART_SCALE;
        EXPECT_GE(feet, soles) << who;
        EXPECT_LE(feet, MAPART_GROUND_ROW + 1.5f) << who;
        // About 1.7 units tall; the back of the head, seen over the top, and
        // a guard's cap add a little.
        EXPECT_NEAR((soles - head) / MAPART_ROW_PER_UNIT, 1.9f, 0.12f) << who;
        float cx, cy;
        centroid(c, &cx, &cy);
        EXPECT_NEAR(cx / MAPART_SCALE, 0, 2.5f) << who;
    }
    // The view draws only the part of a standing or moving figure's picture
    // from 12 % to 88 % of its width and from 4 % of its height down (a gun
    // raised away from the viewer reaches that high).
    for (ArtActor who : {ART_PLAYER, ART_GUARD}) {
        for (ArtMove move : {ART_WALK, ART_RUN, ART_SHOOT}) {
            for (int dir : {4, 6, 8}) {
                for (int f : {0, 2, 4, 6}) {
                    ArtCanvas c = mapart_actor_frame(who, move, dir, f);
                    int left = c.w, right = -1, top = c.h;
                    for (int y = 0; y < c.h; y++)
                        for (int x = 0; x < c.w; x++)
                            if (c.at(x, y)[3] > 0.1f) left = std::min(left, x), right = std::max(right, x), top = std::min(top, y);
                    EXPECT_GE(left, 0.12f * c.w) << who << " " << move << " " << dir << " " << f;
                    EXPECT_LE(right, 0.88f * c.w) << who << " " << move << " " << dir << " " << f;
                    EXPECT_GE(top, 0.04f * c.h) << who << " " << move << " " << dir << " " << f;
                }
            }
        }
    }
    // A body lying at the end of the fall stays inside the picture and above
    // the ground row, where the floor in front would hide it.
    for (int dir : MAPART_DIRS) {
        ArtCanvas c = mapart_actor_frame(ART_PLAYER, ART_DIE, dir, MAPART_FRAMES - 1);
        double inside = 0, below = 0, edge = 0;
        for (int y = 0; y < c.h; y++) {
            for (int x = 0; x < c.w; x++) {
                float a = c.at(x, y)[3];
                inside += a;
                if (y >= (MAPART_GROUND_ROW + 2) * MAPART_SCALE) below += a;
                if (x == 0 || y == 0 || x == c.w - 1 || y == c.h - 1) edge += a;
            }
        }
        EXPECT_GT(inside, 0) << dir;
        EXPECT_EQ(edge, 0) << dir;
        EXPECT_LT(below / inside, 0.03) << dir;
    }
}

TEST(MapArt, FloorAndWallsTileSeamlessly) {
    const int size = 160;
    ArtCanvas floor = mapart_floor(size), walls = mapart_walls(size);
    expect_seamless(floor, "floor");
    expect_seamless(walls, "walls");
    // So do the ground around the map and the crater floor, which repeat the same way.
    expect_seamless(mapart_ground(size), "ground");
    expect_seamless(mapart_crater(size), "crater");
    // The east faces (lower half) are the same masonry, darker.
    double upper = 0, lower = 0;
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            const float* p = walls.at(x, y);
            (y < size / 2 ? upper : lower) += p[0] + p[1] + p[2];
        }
    }
    EXPECT_LT(lower, upper * 0.95);
    // Side faces start every fifth of the width: their edges repeat too.
    for (int step = 1; step < MAPART_TILING; step++) {
        int x = step * size / MAPART_TILING;
        EXPECT_LE(line_gap(walls, x - 1, x, true), 4 * line_gap(walls, 0, 1, true) + 0.2);
    }
}

TEST(MapArt, ArrowsPointWhereTheRulesWalk) {
    std::unique_ptr<Game> game(new Game());
    game->level.rotate = 0;
    for (int code : {1, 2, 3, 4, 6, 7, 8, 9}) {
        SCOPED_TRACE(code);
        int dx = 0, dy = 0;
        ASSERT_TRUE(mapart_arrow_step(code, &dx, &dy));
        EXPECT_EQ(dx, logic_arrow_decode[code][0]);
        EXPECT_EQ(dy, logic_arrow_decode[code][1]);
        ArtTile t;
        t.name = "arrow";
        t.type = "arrow";
        t.view = "decal";
        t.value = code;
        // A flat decal lays image x along map x and image y along map y.
        ArtCanvas decal = mapart_decal(t, 128);
        EXPECT_GT(widest_at(decal, (float)dx, (float)dy), 0.015f);
        EXPECT_LT(widest_at(decal, (float)-dx, (float)-dy), -0.015f);

        // From the default camera the map step is a screen direction; the
        // palette arrow and the sprite direction of the rules both follow it.
        ArtMesh step;
        step.tris.resize(1);
        step.tris[0].p[0] = art_vec((float)dx, 0, (float)dy);
        ArtVec screen = mapart_world_to_camera(step).tris[0].p[0];  // r right, t down the screen
        ArtCanvas floor(8, 8), walls(8, 8);
        ArtCanvas icon = mapart_icon(t, MAPART_ICON * MAPART_SCALE, floor, walls);
        EXPECT_GT(widest_at(icon, screen.x, screen.z), 0.015f);
        float sl = std::hypot(screen.x, screen.z);
        float fr = 0, ft = 0;
        ASSERT_TRUE(mapart_sprite_facing(logic_arrow(*game, code, 0), &fr, &ft));
        EXPECT_NEAR(fr, screen.x / sl, 1e-4);
        EXPECT_NEAR(ft, screen.z / sl, 1e-4);
    }
}

TEST(MapArt, SheetsPackWithoutOverlapInPowersOfTwo) {
    // More frames than one sheet holds, and a few odd sizes.
    std::vector<ArtImage> images;
    for (int i = 0; i < 130; i++) {
        ArtImage im;
        im.name = "frame" + std::to_string(i);
        im.pixels = ArtCanvas(192, 192);
        mapart_put(im.pixels, 0, 0, ArtColor{1, 0, 0, 1});
        im.shape_w = im.shape_h = 96;
        images.push_back(im);
    }
    for (int s : {76, 128, 384}) {
        ArtImage im;
        im.name = "odd" + std::to_string(s);
        im.pixels = ArtCanvas(s, s + 2);
        im.shape_w = im.shape_h = 1;
        images.push_back(im);
    }
    std::vector<ArtSheet> sheets;
    std::vector<ArtPlaced> placed;
    mapart_pack(images, "test", 4, 2, &sheets, &placed);
    ASSERT_EQ(placed.size(), images.size());
    ASSERT_EQ(sheets.size(), 2u);
    std::map<std::string, const ArtSheet*> by_name;
    for (const ArtSheet& s : sheets) {
        EXPECT_TRUE(pow2(s.w) && pow2(s.h) && s.w <= MAPART_ATLAS_MAX && s.h <= MAPART_ATLAS_MAX);
        EXPECT_EQ(s.pixels.w, s.w);
        by_name[s.texture] = &s;
    }
    for (size_t i = 0; i < placed.size(); i++) {
        const ArtPlaced& a = placed[i];
        ASSERT_TRUE(by_name.count(a.texture));
        const ArtSheet& s = *by_name[a.texture];
        EXPECT_LE((a.x + a.w) * 2, s.w);
        EXPECT_LE((a.y + a.h) * 2, s.h);
        if (a.name.rfind("frame", 0) == 0) {
            EXPECT_EQ(a.w, 96);
            EXPECT_GT(s.pixels.at(a.x * 2, a.y * 2)[0], 0.5f) << a.name;
            // The body: the one coloured pixel and a unit to spare, cut at the image's edge.
            EXPECT_EQ(std::vector<int>({0, 0, 2, 2}), std::vector<int>({a.body_x, a.body_y, a.body_w, a.body_h}));
        } else {
            EXPECT_EQ(0, a.body_w * a.body_h) << a.name << " is clear: nothing to draw";
        }
        for (size_t j = 0; j < i; j++) {
            const ArtPlaced& b = placed[j];
            if (a.texture != b.texture) continue;
            bool apart = a.x + a.w <= b.x || b.x + b.w <= a.x || a.y + a.h <= b.y || b.y + b.h <= a.y;
            EXPECT_TRUE(apart) << a.name << " overlaps " << b.name;
        }
    }
}

TEST(MapArt, TransparentPixelsAreClearAndCarryTheirNeighboursColour) {
    ArtCanvas c(16, 16);
    for (int y = 4; y < 8; y++) {
        for (int x = 4; x < 8; x++) mapart_put(c, x, y, ArtColor{1, 0.5f, 0, 1});
    }
    mapart_put(c, 12, 12, ArtColor{0, 1, 0, 0.001f});  // too faint to keep
    mapart_settle(c);
    std::vector<unsigned char> px = mapart_bytes(c);
    auto at = [&px](int x, int y) { return &px[(size_t)(y * 16 + x) * 4]; };
    EXPECT_EQ(at(5, 5)[3], 255);
    EXPECT_EQ(at(5, 5)[0], 255);
    // Next to the square: clear, with the square's colour for filtering.
    EXPECT_EQ(at(8, 5)[3], 0);
    EXPECT_EQ(at(8, 5)[0], 255);
    EXPECT_EQ(at(8, 5)[1], 128);
    EXPECT_EQ(at(12, 12)[3], 0);
    EXPECT_EQ(at(0, 15)[3], 0);
}

TEST(MapArt, BlastsGrowThenFadeAboveTheirDepth) {
    double light[MAPART_BLAST_STAGES];
    int last_w = 0;
    for (int st = 0; st < MAPART_BLAST_STAGES; st++) {
        int w, h;
        mapart_blast_shape(st, &w, &h);
        EXPECT_EQ(h % (int)MAPART_ROW_PER_UNIT, 0);
        EXPECT_GE(w, last_w);
        last_w = w;
        ArtCanvas c = mapart_blast(st);
        ASSERT_EQ(c.w, w * MAPART_BLAST_SCALE);
        ASSERT_EQ(c.h, h * MAPART_BLAST_SCALE);
        // Additive light is colour times alpha. The fireball sits on the
        // ground, 5 units above the bottom, not down in the crater; it starts
        // as a flash at ground level and rises as it grows.
        light[st] = 0;
        float best = -1;
        int best_row = 0;
        for (int y = 0; y < c.h; y++) {
            for (int x = 0; x < c.w; x++) {
                const float* p = c.at(x, y);
                float l = p[0] + p[1] + p[2];
                light[st] += l;
                if (l > best) {
                    best = l;
                    best_row = y;
                }
            }
        }
        float above = (h - MAPART_BLAST_DEPTH * MAPART_ROW_PER_UNIT) - best_row / (float)MAPART_BLAST_SCALE;
        EXPECT_GT(above / MAPART_ROW_PER_UNIT, -0.5f) << st;
        if (st == 0) {
            EXPECT_LT(above / MAPART_ROW_PER_UNIT, 1.0f);
        }
    }
    int peak = (int)(std::max_element(light, light + MAPART_BLAST_STAGES) - light);
    EXPECT_GE(peak, 2);
    EXPECT_LE(peak, 6);
    EXPECT_LT(light[MAPART_BLAST_STAGES - 1], light[peak] * 0.5);
    EXPECT_LT(light[0], light[peak] * 0.5);
}
