// The title logo: the game's name in wide-set bold capitals, lit from above
// in cyan, with an ink outline and a soft glow, over a fading line that
// carries an amber diamond in its middle.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <vector>

#include "art.h"

namespace {

const char* const TITLE = "VELQUIST";
const char* const TITLE_FONT = "DejaVuSans-Bold.ttf";
// In logical units of the 600 x 150 logo.
const float LOGO_UNITS = 600;
const float TEXT_WIDTH = 540;  // the name's width, leaving room for the glow
const float TRACKING = 0.08f;  // extra space between letters, in ems
const float OUTLINE = 3;
const float GLOW = 12;
const float RULE_GAP = 30;  // from the baseline to the line, clear of the Q's tail
const float RULE_HALF = 1.1f;
const float DIAMOND = 6;

float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

// Width of the title in pixels at the face's current size.
float title_width(FT_Face face, float tracking_px) {
    float w = 0;
    FT_UInt prev = 0;
    for (const char* p = TITLE; *p; p++) {
        FT_UInt gi = FT_Get_Char_Index(face, (FT_ULong)*p);
        if (prev) {
            FT_Vector k;
            FT_Get_Kerning(face, prev, gi, FT_KERNING_UNFITTED, &k);
            w += (float)k.x / 64;
        }
        if (FT_Load_Glyph(face, gi, FT_LOAD_NO_HINTING)) continue;
        w += (float)face->glyph->advance.x / 64;
        if (p[1]) w += tracking_px;
        prev = gi;
    }
    return w;
}

// Renders the title's coverage into mask (w x h) with its left end at x0 and
// its baseline at y0.
void render_title(FT_Face face, float tracking_px, float x0, float y0, int w, int h, std::vector<float>& mask) {
    float pen = x0;
    FT_UInt prev = 0;
    for (const char* p = TITLE; *p; p++) {
        FT_UInt gi = FT_Get_Char_Index(face, (FT_ULong)*p);
        if (prev) {
            FT_Vector k;
            FT_Get_Kerning(face, prev, gi, FT_KERNING_UNFITTED, &k);
            pen += (float)k.x / 64;
        }
        prev = gi;
        // Place the glyph at its fractional pen position.
        FT_Vector shift = {(FT_Pos)std::lround((pen - std::floor(pen)) * 64), 0};
        FT_Set_Transform(face, nullptr, &shift);
        if (FT_Load_Glyph(face, gi, FT_LOAD_NO_HINTING | FT_LOAD_RENDER)) continue;
        const FT_GlyphSlot g = face->glyph;
        int gx = (int)std::floor(pen) + g->bitmap_left, gy = (int)std::lround(y0) - g->bitmap_top;
        for (int r = 0; r < (int)g->bitmap.rows; r++)
            for (int c = 0; c < (int)g->bitmap.width; c++) {
                int x = gx + c, y = gy + r;
                if (x < 0 || y < 0 || x >= w || y >= h) continue;
                float v = g->bitmap.buffer[r * g->bitmap.pitch + c] / 255.0f;
                float& m = mask[(size_t)y * w + x];
                if (v > m) m = v;
            }
        pen += (float)g->advance.x / 64 + tracking_px;
    }
    FT_Set_Transform(face, nullptr, nullptr);
}

}  // namespace

bool art_logo(const std::string& font_dir, int w, int h, Canvas* out) {
    FT_Library lib;
    FT_Face face;
    std::string path = font_dir + "/" + TITLE_FONT;
    if (FT_Init_FreeType(&lib)) return false;
    if (FT_New_Face(lib, path.c_str(), 0, &face)) {
        fprintf(stderr, "uiart: cannot open %s\n", path.c_str());
        FT_Done_FreeType(lib);
        return false;
    }
    Canvas c(w, h, LOGO_UNITS);
    const float s = c.scale();
    // Size the type so that the name, letter spacing included, is TEXT_WIDTH wide.
    float em = 100 * s;
    FT_Set_Char_Size(face, 0, (FT_F26Dot6)std::lround(em * 64), 72, 72);
    em *= TEXT_WIDTH * s / title_width(face, TRACKING * em);
    FT_Set_Char_Size(face, 0, (FT_F26Dot6)std::lround(em * 64), 72, 72);
    const float tracking = TRACKING * em;
    const float text_w = title_width(face, tracking);
    // Cap height: the top of a flat-topped capital above the baseline.
    float cap = em * 0.73f;
    if (!FT_Load_Char(face, 'E', FT_LOAD_NO_HINTING)) cap = (float)face->glyph->metrics.horiBearingY / 64;
    // The letters and the line under them, centred as one group.
    const float group = cap + (RULE_GAP + DIAMOND) * s;
    const float baseline = ((float)h - group) / 2 + cap;
    std::vector<float> mask((size_t)w * h, 0.0f);
    render_title(face, tracking, ((float)w - text_w) / 2, baseline, w, h, mask);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);

    // Glow and outline from the distance to the letters.
    std::vector<float> dist = distance_field(mask, w, h);
    const float outline_px = OUTLINE * s, glow_px = GLOW * s;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float d = dist[(size_t)y * w + x] - outline_px;
            if (d > 0 && d < glow_px) {
                float t = 1 - d / glow_px;
                c.blend(x, y, rgb(pal::CYAN), 0.32f * t * t);
            }
            c.blend(x, y, rgb(pal::INK), clamp01(outline_px + 0.5f - dist[(size_t)y * w + x]));
        }
    const float top = baseline - cap;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float m = mask[(size_t)y * w + x];
            if (m <= 0) continue;
            float t = clamp01(((float)y - top) / cap);
            Rgba col = t < 0.5f ? mix(rgb(0xF4FEFF), rgb(pal::CYAN_LIGHT), t * 2)
                                : mix(rgb(pal::CYAN_LIGHT), rgb(0x34C4DE), (t - 0.5f) * 2);
            c.blend(x, y, col, m);
        }

    // The line, fading towards both ends, and the diamond in its middle.
    const float ry = baseline / s + RULE_GAP, mid = LOGO_UNITS / 2, reach = TEXT_WIDTH / 2;
    Sdf rule = sdf::segment(mid - reach, ry, mid + reach, ry, RULE_HALF);
    Sdf diamond = sdf::polygon({mid, ry - DIAMOND, mid + DIAMOND, ry, mid, ry + DIAMOND, mid - DIAMOND, ry});
    auto fade = [=](const Rgba& col) {
        return [=](float x, float) {
            Rgba k = col;
            float t = 1 - std::fabs(x - mid) / reach;
            k.a *= clamp01(t * 1.6f);
            return k;
        };
    };
    c.fill(sdf::grow(rule, 1.5f), fade(rgb(pal::INK, 0.9f)));
    c.fill(rule, fade(rgb(pal::CYAN)));
    c.fill(sdf::grow(diamond, 1.8f), rgb(pal::INK));
    c.fill(diamond, vgrad(ry - DIAMOND, rgb(pal::AMBER_LIGHT), ry + DIAMOND, rgb(pal::AMBER)));
    *out = c;
    return true;
}
