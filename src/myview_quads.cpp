// The map view's quad batches (filled each frame, drawn one call per texture
// run) and its image cache (names to handles, textures and rectangles).
#include <GL/gl.h>
#include <json/json.h>

#include <cstdint>
#include <cstring>

#include "gfx.h"
#include "myview_internal.h"
#include "util.h"

// ---------------------------------------------------------------- batches

MyQuads* const myview_batches[MYVIEW_BATCHES] = {
    &_myview.quads, &_myview.pillars, &_myview.dquads, &_myview.floors, &_myview.shadow, &_myview.dark,
    &_myview.pits, &_myview.decals, &_myview.sprites, &_myview.s_sprites, &_myview.fire,
};
const char* const myview_batch_names[MYVIEW_BATCHES] = {
    "_quads", "_pillars", "_dquads", "_floors", "_shadow", "_dark",
    "_pits", "_decals", "_sprites", "_s_sprites", "_fire",
};

namespace {
enum { QUADS_FIRST_SIZE = 256, VERTS_PER_QUAD = 6 };
}

MyQuad* MyQuads::add() {
    if (n >= (int)_quads.size()) {
        size_t grown = _quads.empty() ? (size_t)QUADS_FIRST_SIZE : _quads.size() * 2;
        _quads.resize(grown);
        quads = _quads.data();
    }
    return &quads[n++];
}

static void _myview_vertex(MyTriangle& v, int tex, float nx, float ny, float nz, float u, float t,
                           float x, float y, float z) {
    v.tex = tex;
    v.z = 0;
    v.normal[0] = nx;
    v.normal[1] = ny;
    v.normal[2] = nz;
    v.coords[0] = u;
    v.coords[1] = t;
    v.verts[0] = x;
    v.verts[1] = y;
    v.verts[2] = z;
}

void MyQuads::tex_quad(int tex, float nx, float ny, float nz, float tx, float ty, float tw, float th,
                       float x1, float y1, float z1, float x2, float y2, float z2,
                       float x3, float y3, float z3, float x4, float y4, float z4, bool do_cull) {
    if (do_cull && cull(nx, ny, nz, (x1 + x4) / 2, (y1 + y4) / 2, (z1 + z4) / 2)) return;
    MyTriangle* v = add()->tris;
    _myview_vertex(v[0], tex, nx, ny, nz, tx, ty + th, x1, y1, z1);
    _myview_vertex(v[1], 0, nx, ny, nz, tx + tw, ty + th, x2, y2, z2);
    _myview_vertex(v[2], 0, nx, ny, nz, tx, ty, x3, y3, z3);
    _myview_vertex(v[3], 0, nx, ny, nz, tx + tw, ty, x4, y4, z4);
    v[4] = v[2];
    v[5] = v[1];
}

void MyQuads::img_quad(int img, float nx, float ny, float nz,
                       float x1, float y1, float z1, float x2, float y2, float z2,
                       float x3, float y3, float z3, float x4, float y4, float z4, bool do_cull) {
    const MyImage* im = myview_img_info(img);
    if (!im) return;
    tex_quad(im->tex, nx, ny, nz, im->tx, im->ty, im->tw, im->th,
             x1, y1, z1, x2, y2, z2, x3, y3, z3, x4, y4, z4, do_cull);
}

void MyQuads::body_quad(int img, float nx, float ny, float nz,
                        float x1, float y1, float z1, float x2, float y2, float z2,
                        float x3, float y3, float z3, float x4, float y4, float z4) {
    const MyImage* im = myview_img_info(img);
    if (!im) return;
    const float slack = 1e-3f;
    bool flat = myabs(x1 + x4 - x2 - x3) < slack && myabs(y1 + y4 - y2 - y3) < slack &&
                myabs(z1 + z4 - z2 - z3) < slack;
    if (!im->body || !flat) {
        tex_quad(im->tex, nx, ny, nz, im->tx, im->ty, im->tw, im->th,
                 x1, y1, z1, x2, y2, z2, x3, y3, z3, x4, y4, z4, false);
        return;
    }
    // Corner 3 is the picture's top left; across runs to corner 4, down to corner 1.
    float ax = x4 - x3, ay = y4 - y3, az = z4 - z3, dx = x1 - x3, dy = y1 - y3, dz = z1 - z3;
    float p[4][3];
    const float uv[4][2] = {{im->bx0, im->by1}, {im->bx1, im->by1}, {im->bx0, im->by0}, {im->bx1, im->by0}};
    for (int k = 0; k < 4; k++) {
        float u = uv[k][0], v = uv[k][1];
        p[k][0] = x3 + ax * u + dx * v, p[k][1] = y3 + ay * u + dy * v, p[k][2] = z3 + az * u + dz * v;
    }
    tex_quad(im->tex, nx, ny, nz, im->tx + im->tw * im->bx0, im->ty + im->th * im->by0,
             im->tw * (im->bx1 - im->bx0), im->th * (im->by1 - im->by0), p[0][0], p[0][1], p[0][2], p[1][0],
             p[1][1], p[1][2], p[2][0], p[2][1], p[2][2], p[3][0], p[3][1], p[3][2], false);
}

bool MyQuads::cull(float nx, float ny, float nz, float x, float y, float z) {
    const CVector3& e = _myview.eye;
    return (e.x - x) * nx + (e.y - y) * ny + (e.z - z) * nz < 0;
}

void MyQuads::draw(const char* name) {
    (void)name;
    const GLsizei stride = sizeof(MyTriangle);
    int i = 0;
    while (i < n) {
        int tex = tex_of(i);
        int j = i + 1;
        while (j < n && tex_of(j) == tex) j++;
        const MyTriangle* v = quads[i].tris;
        glBindTexture(GL_TEXTURE_2D, (GLuint)tex);
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, stride, v->normal);
        glTexCoordPointer(2, GL_FLOAT, stride, v->coords);
        glVertexPointer(3, GL_FLOAT, stride, v->verts);
        glDrawArrays(GL_TRIANGLES, 0, VERTS_PER_QUAD * (j - i));
        glDisableClientState(GL_NORMAL_ARRAY);
        i = j;
    }
}

// ---------------------------------------------------------------- image cache

namespace {

enum {
    NAME_MAX = 48,     // longest image name kept in the table, terminator included
    NAME_SLOTS = 1024, // open-addressing table of names; a power of two
    NAME_FILL = NAME_SLOTS * 3 / 4,
};

struct NameSlot {
    char name[NAME_MAX] = {};
    int img = 0;
    bool used = false;
};

struct ImageCache {
    NameSlot names[NAME_SLOTS];
    int names_n = 0;
    MyImage info[GFX_IMG_MAX] = {};
    bool known[GFX_IMG_MAX] = {};
    int fake_next = GFX_IMG_MAX - 1;  // made-up images count down from the top

    bool catalog_read = false;
    Json::Value images, textures;     // image.txt and texture.txt, for the rectangles
};

ImageCache& _cache() {
    static ImageCache c;
    return c;
}

uint32_t _hash(const char* s) {
    uint32_t h = 2166136261u;
    for (; *s; s++) h = (h ^ (unsigned char)*s) * 16777619u;
    return h;
}

void _clear_names(ImageCache& c) {
    for (NameSlot& s : c.names) s.used = false;
    c.names_n = 0;
}

// The map is seen through a field of view of 10 degrees, so the ground has
// nearly one scale across the screen and blending two mipmap levels (the
// driver's default) shows nothing; sampling one level costs about a third of
// a frame less under a software renderer. Textures without mipmaps are left
// as they are.
void _map_filter(int tex) {
    if (tex <= 0) return;
    glBindTexture(GL_TEXTURE_2D, (GLuint)tex);
    GLint min = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
    if (min == GL_LINEAR_MIPMAP_LINEAR)
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
}

// Slot holding `name`, or the empty slot where it belongs.
NameSlot& _slot(ImageCache& c, const char* name) {
    uint32_t i = _hash(name) & (NAME_SLOTS - 1);
    while (c.names[i].used && strcmp(c.names[i].name, name) != 0) i = (i + 1) & (NAME_SLOTS - 1);
    return c.names[i];
}

void _remember(ImageCache& c, const char* name, int img) {
    if (strlen(name) >= NAME_MAX) return;
    if (c.names_n >= NAME_FILL) _clear_names(c);  // handles stay valid; names are asked again
    NameSlot& s = _slot(c, name);
    if (!s.used) {
        s.used = true;
        mystrcpy(s.name, sizeof(s.name), name);
        c.names_n++;
    }
    s.img = img;
}

// Where image `name` lies in its texture, in texture coordinates, read the
// way the 2D layer reads the same catalogue (the layer keeps its rectangles to
// itself). False when the texture has no size to divide by: the 2D layer
// draws nothing for such an image, and neither does the view.
bool _image_rect(ImageCache& c, const char* name, MyImage& im) {
    if (!c.catalog_read) {
        _gfx_json_load("image.txt", &c.images);
        _gfx_json_load("texture.txt", &c.textures);
        c.catalog_read = true;
    }
    const Json::Value& img = _gfx_json_get(c.images, name);
    const Json::Value& tname = _gfx_json_get(img, "texture");
    if (!tname.isString()) return false;
    GfxRect tr = _gfx_json_rect(_gfx_json_get(_gfx_json_get(c.textures, tname.asCString()), "rect"));
    GfxRect ir = _gfx_json_rect(_gfx_json_get(img, "rect"));
    if (tr.w == 0 || tr.h == 0) return false;
    im.tx = ir.x / tr.w;
    im.ty = ir.y / tr.h;
    im.tw = ir.w / tr.w;
    im.th = ir.h / tr.h;
    im.body = false;
    const Json::Value& body = _gfx_json_get(img, "body");
    if (body.isObject() && ir.w > 0 && ir.h > 0) {
        GfxRect br = _gfx_json_rect(body);
        im.bx0 = mymax(0.0f, br.x / ir.w), im.by0 = mymax(0.0f, br.y / ir.h);
        im.bx1 = mymin(1.0f, (br.x + br.w) / ir.w), im.by1 = mymin(1.0f, (br.y + br.h) / ir.h);
        im.body = im.bx1 > im.bx0 && im.by1 > im.by0;
    }
    return true;
}

}  // namespace

int myview_img(const char* name) {
    if (!name || !name[0]) return 0;
    ImageCache& c = _cache();
    if (strlen(name) < NAME_MAX) {
        NameSlot& s = _slot(c, name);
        if (s.used) return s.img;
    }
    int img = gfx_img_load(name);
    if (img <= 0 || img >= GFX_IMG_MAX) img = 0;
    if (img && !c.known[img]) {
        MyImage& im = c.info[img];
        im.tex = gfx_img_get_tex(img);
        im.w = gfx_img_get_width(img);
        im.h = gfx_img_get_height(img);
        _map_filter(im.tex);
        if (!_image_rect(c, name, im)) img = 0;
        else c.known[img] = true;
    }
    _remember(c, name, img);
    return img;
}

const MyImage* myview_img_info(int img) {
    if (img <= 0 || img >= GFX_IMG_MAX) return nullptr;
    ImageCache& c = _cache();
    return c.known[img] ? &c.info[img] : nullptr;
}

int myview_img_fake(const char* name, int tex, int w, int h) {
    ImageCache& c = _cache();
    if (!name || !name[0] || strlen(name) >= NAME_MAX || c.fake_next <= 0 || c.known[c.fake_next])
        return 0;
    int img = c.fake_next--;
    MyImage& im = c.info[img];
    im.tex = tex;
    im.tx = im.ty = 0;
    im.tw = im.th = 1;
    im.w = w;
    im.h = h;
    im.body = false;
    c.known[img] = true;
    _remember(c, name, img);
    return img;
}

void myview_flush() {
    ImageCache& c = _cache();
    _clear_names(c);
    for (bool& k : c.known) k = false;
    c.fake_next = GFX_IMG_MAX - 1;
}

// ---------------------------------------------------------------- coloured quads

namespace {

struct PaintVertex {
    float x, y, z, u, v;
    unsigned char rgba[4];
};
enum { PAINT_VERTICES_MAX = 32768 };
PaintVertex _paint[PAINT_VERTICES_MAX];
int _paint_n = 0, _paint_tex = 0;
unsigned char _paint_rgba[4] = {255, 255, 255, 255};

unsigned char _byte(float v) { return (unsigned char)(v <= 0 ? 0 : v >= 1 ? 255 : v * 255 + 0.5f); }

}  // namespace

void myview_paint_begin(int tex) {
    _paint_n = 0;
    _paint_tex = tex;
}

void myview_paint_colour(float r, float g, float b, float a) {
    _paint_rgba[0] = _byte(r), _paint_rgba[1] = _byte(g), _paint_rgba[2] = _byte(b), _paint_rgba[3] = _byte(a);
}

void myview_paint_vertex(float x, float y, float z, float u, float v) {
    if (_paint_n >= PAINT_VERTICES_MAX) return;
    PaintVertex& p = _paint[_paint_n++];
    p.x = x, p.y = y, p.z = z, p.u = u, p.v = v;
    memcpy(p.rgba, _paint_rgba, 4);
}

void myview_paint_end() {
    int n = _paint_n - _paint_n % 4;  // whole quads only
    if (n <= 0 || _paint_tex <= 0) return;
    glBindTexture(GL_TEXTURE_2D, (GLuint)_paint_tex);
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(PaintVertex), _paint[0].rgba);
    glTexCoordPointer(2, GL_FLOAT, sizeof(PaintVertex), &_paint[0].u);
    glVertexPointer(3, GL_FLOAT, sizeof(PaintVertex), &_paint[0].x);
    glDrawArrays(GL_QUADS, 0, n);
    glDisableClientState(GL_COLOR_ARRAY);
    _paint_n = 0;
}
