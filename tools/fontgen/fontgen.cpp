// Renders the game's bitmap fonts from DejaVu TrueType files: one glyph
// texture per font (white glyphs whose alpha is their coverage), font.txt
// with the glyph rectangles, and the texture catalogue piece that names them.
//
// usage: velquist_fontgen FONT_DIR DATA_DIR IMAGES_PIECE TEXTURES_PIECE
//
// Glyphs are rendered at SCALE times their logical size and addressed in
// logical units (the texture's declared size is its real size / SCALE), so
// text stays sharp on a window larger than the 960 x 720 canvas.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <json/json.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "jsonout.h"
#include "pngout.h"

namespace {

enum {
    SCALE = 2,           // real texture pixels per logical unit
    CHARS = 256,         // one glyph cell per byte value
    TEX_W = 512,         // real texture width; the height grows as needed
    PAD = 4,             // real pixels between cells, so mipmaps do not mix glyphs
    TEX_MAX = 2048,      // largest texture the game loads
    PRINTABLE_LO = 32,   // space
    PRINTABLE_HI = 126,  // tilde
    LATIN1_LO = 160,     // no-break space
    LARGE_LINE = 20,     // a font with taller lines is large type
    NBSP = 160,
};

struct FontSpec {
    const char* name;     // name in font.txt and of the texture
    const char* file;     // TrueType file in the font folder
    int height;           // line height in logical units
    float em;             // type size in logical units
};

// Line heights keep a 60-high button with a "font2" label inside its margins.
const FontSpec FONTS[] = {
    {"font1", "DejaVuSans.ttf", 14, 12.0f},       // body text
    {"font2", "DejaVuSans-Bold.ttf", 16, 13.5f},  // titles and buttons
    {"font3", "DejaVuSans.ttf", 12, 10.0f},       // small print
    // The type scale's upper levels: a screen's title ("Escaped", what
    // killed the player) and its headings (counts on the bomb buttons).
    {"title", "DejaVuSans-Bold.ttf", 40, 32.0f},
    {"heading", "DejaVuSans-Bold.ttf", 24, 19.0f},
};

bool has_glyph(int c) {
    return (c >= PRINTABLE_LO && c <= PRINTABLE_HI) || c >= LATIN1_LO;
}

struct Cell {
    int x = 0, y = 0, w = 0;  // real pixels (x, y even); every cell is one line high
};

struct Sheet {
    int w = TEX_W, h = 0;
    std::vector<unsigned char> alpha;
};

int next_pow2(int v) {
    int p = 1;
    while (p < v) p <<= 1;
    return p;
}

int even_up(int v) { return (v + 1) & ~1; }

// Copies the rendered glyph into its cell, cut to the cell.
void blit_glyph(Sheet& sheet, const Cell& cell, int line_h, const FT_GlyphSlot g, int baseline) {
    const FT_Bitmap& bm = g->bitmap;
    for (int r = 0; r < (int)bm.rows; r++) {
        int y = baseline - g->bitmap_top + r;
        if (y < 0 || y >= line_h) continue;
        for (int c = 0; c < (int)bm.width; c++) {
            int x = g->bitmap_left + c;
            if (x < 0 || x >= cell.w) continue;
            unsigned char v = bm.buffer[r * bm.pitch + c];
            unsigned char& dst = sheet.alpha[(size_t)(cell.y + y) * sheet.w + cell.x + x];
            if (v > dst) dst = v;
        }
    }
}

bool render_font(const FT_Library lib, const std::string& dir, const FontSpec& font,
                 Sheet* sheet, Cell* cells) {
    FT_Face face;
    std::string path = dir + "/" + font.file;
    if (FT_New_Face(lib, path.c_str(), 0, &face)) {
        fprintf(stderr, "fontgen: cannot open %s\n", path.c_str());
        return false;
    }
    FT_Set_Char_Size(face, 0, (FT_F26Dot6)std::lround(font.em * SCALE * 64), 72, 72);
    const int line_h = font.height * SCALE;
    const double asc = face->size->metrics.ascender / 64.0;
    const double desc = -face->size->metrics.descender / 64.0;
    // Centre the font's full height (accents to descenders) in the line.
    const int baseline = (int)std::lround((line_h - (asc + desc)) / 2 + asc);
    const FT_Int32 flags = FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT;

    // Lay the cells out in rows first, then render into the finished sheet.
    int x = PAD, y = PAD;
    for (int c = 0; c < CHARS; c++) {
        cells[c] = Cell();
        if (!has_glyph(c)) continue;
        int code = c == NBSP ? ' ' : c;
        if (FT_Load_Char(face, (FT_ULong)code, FT_LOAD_TARGET_LIGHT)) continue;
        int adv = (int)((face->glyph->advance.x + 32) >> 6);
        if (x + adv + PAD > sheet->w) {
            x = PAD;
            y += line_h + PAD;
        }
        cells[c].x = x;
        cells[c].y = y;
        cells[c].w = adv;
        // Cells start on even pixels, whole logical units.
        x += even_up(adv + PAD);
    }
    sheet->h = next_pow2(y + line_h + PAD);
    if (sheet->h > TEX_MAX) {
        fprintf(stderr, "fontgen: %s does not fit a %d-high texture\n", font.name, TEX_MAX);
        FT_Done_Face(face);
        return false;
    }
    sheet->alpha.assign((size_t)sheet->w * sheet->h, 0);
    for (int c = 0; c < CHARS; c++) {
        if (cells[c].w == 0 || c == NBSP || c == ' ') continue;
        if (FT_Load_Char(face, (FT_ULong)c, flags)) continue;
        blit_glyph(*sheet, cells[c], line_h, face->glyph, baseline);
    }
    FT_Done_Face(face);
    return true;
}

bool write_png(const std::string& path, const Sheet& sheet) {
    std::vector<unsigned char> rgba((size_t)sheet.w * sheet.h * 4);
    for (size_t i = 0; i < sheet.alpha.size(); i++) {
        rgba[i * 4 + 0] = rgba[i * 4 + 1] = rgba[i * 4 + 2] = 255;
        rgba[i * 4 + 3] = sheet.alpha[i];
    }
    if (!pngout_write(path.c_str(), sheet.w, sheet.h, rgba.data())) {
        fprintf(stderr, "fontgen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: velquist_fontgen FONT_DIR DATA_DIR IMAGES_PIECE TEXTURES_PIECE\n");
        return 2;
    }
    const std::string font_dir = argv[1], data_dir = argv[2];
    FT_Library lib;
    if (FT_Init_FreeType(&lib)) {
        fprintf(stderr, "fontgen: FreeType does not start\n");
        return 1;
    }
    Json::Value fonts(Json::objectValue), textures(Json::objectValue);
    bool ok = true;
    for (const FontSpec& font : FONTS) {
        Sheet sheet;
        // Large type gets a wider sheet, so that it stays within the height.
        if (font.height > LARGE_LINE) sheet.w = 2 * TEX_W;
        Cell cells[CHARS];
        if (!render_font(lib, font_dir, font, &sheet, cells)) {
            ok = false;
            continue;
        }
        std::string fname = std::string(font.name) + ".png";
        ok = write_png(data_dir + "/" + fname, sheet) && ok;
        std::string tex = std::string(font.name) + "-glyphs";
        Json::Value t(Json::objectValue);
        t["fname"] = fname;
        t["rect"] = jsonout_rect(0, 0, sheet.w / SCALE, sheet.h / SCALE);
        textures[tex] = t;
        Json::Value f(Json::objectValue);
        f["height"] = font.height;
        f["texture"] = tex;
        f["rect"] = jsonout_rect(0, 0, sheet.w / SCALE, sheet.h / SCALE);
        Json::Value chars(Json::arrayValue);
        for (int c = 0; c < CHARS; c++) {
            const Cell& cell = cells[c];
            chars.append(cell.w ? jsonout_rect(cell.x / SCALE, cell.y / SCALE, (double)cell.w / SCALE, font.height)
                                : jsonout_rect(0, 0, 0, 0));
        }
        f["chars"] = chars;
        fonts[font.name] = f;
    }
    FT_Done_FreeType(lib);
    ok = jsonout_write(data_dir + "/font.txt", fonts, "fontgen") && ok;
    ok = jsonout_write(argv[3], Json::Value(Json::objectValue), "fontgen") && ok;
    ok = jsonout_write(argv[4], textures, "fontgen") && ok;
    return ok ? 0 : 1;
}
