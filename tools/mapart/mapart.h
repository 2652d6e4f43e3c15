// The map view's art generator: floor and wall textures, decals, palette icons,
// props, bombs, blasts and the animated actors, packed into atlases.
//
// Sections: billboard geometry (inline, shared with the tests), canvas
// (mapart_canvas.cpp), 3D renderer (mapart_render.cpp), actors
// (mapart_figure.cpp), props and bombs (mapart_props.cpp), surfaces and
// effects (mapart_surface.cpp), decals and icons (mapart_marks.cpp), atlases
// and catalogue pieces (mapart_atlas.cpp), ground, crater and smoke
// (mapart_world.cpp).
#pragma once

#include <cmath>
#include <functional>
#include <string>
#include <vector>

// ---- billboard geometry ---------------------------------------------------
// The view stands a sprite image upright, facing the camera, 4 units tall
// from 1 unit below the ground; its horizontal half-axis is the half-width
// 1.25 turned by 45 degrees, (cos s - sin s, sin s + cos s) times 1.25, which
// is sqrt(2) x 1.25 long. Images are addressed in logical pixels; the files
// hold twice as many.

constexpr int MAPART_SPRITE = 96;             // logical size of a sprite image
constexpr float MAPART_GROUND_ROW = 72.0f;    // row of the ground (y = 0) in a sprite
constexpr float MAPART_ROW_PER_UNIT = 24.0f;  // 96 rows over 4 units
constexpr float MAPART_SQRT2 = 1.41421356f;
constexpr float MAPART_HALF_WIDTH = 1.25f * MAPART_SQRT2;  // world half-width of a sprite billboard
constexpr float MAPART_COL_PER_UNIT = MAPART_SPRITE / 2 / MAPART_HALF_WIDTH;
// Blasts stand 5 units deep and are 1.5 times wider per logical pixel.
constexpr float MAPART_BLAST_WIDEN = 1.5f;
constexpr float MAPART_BLAST_COL_PER_UNIT = MAPART_COL_PER_UNIT / MAPART_BLAST_WIDEN;
constexpr float MAPART_BLAST_DEPTH = 5.0f;
// The game's eye: 1.65 d above the ground at a horizontal distance d sqrt(2).
constexpr float MAPART_EYE_RISE = 1.65f;
constexpr int MAPART_SCALE = 2;  // file pixels per logical pixel

inline float mapart_elevation() { return std::atan2(MAPART_EYE_RISE, MAPART_SQRT2); }

// Maps a point of the camera frame (r to the right on screen, y up, t towards
// the viewer, in world units) to image coordinates. A billboard view stretches
// rows so that the picture, stood upright and seen at the game's elevation,
// looks like the solid it was rendered from; points on the billboard's plane
// (t = lead) land exactly on row ground - rows_per_unit x y.
struct ArtView {
    float col0 = 0, row0 = 0;  // image position of the origin (ground, centre)
    float col_per_unit = 0, row_per_unit = 0;
    float ky = 1, kt = 0;      // screen-vertical weight of height and of distance
    float lead = 0;            // the billboard's plane stands this far towards the viewer
    float depth_y = 0, depth_t = 0;  // closeness to the eye of height and of distance
};

struct ArtPoint {
    float col, row, depth;  // depth grows towards the eye
};

inline ArtPoint mapart_project(const ArtView& v, float r, float y, float t) {
    ArtPoint p;
    p.col = v.col0 + r * v.col_per_unit;
    p.row = v.row0 - v.row_per_unit * (y * v.ky + (v.lead - t) * v.kt);
    p.depth = y * v.depth_y + t * v.depth_t;
    return p;
}

// A billboard view for an image `width` logical pixels wide (ground on row
// `ground_row`), at `scale` image pixels per logical pixel.
inline ArtView mapart_view_billboard(float width, float ground_row, float col_per_unit, float lead, float scale) {
    float e = mapart_elevation();
    ArtView v;
    v.col0 = width / 2 * scale;
    v.row0 = ground_row * scale;
    v.col_per_unit = col_per_unit * scale;
    v.row_per_unit = MAPART_ROW_PER_UNIT * scale;
    v.ky = 1;
    v.kt = std::tan(e);
    v.lead = lead;
    v.depth_y = std::sin(e);
    v.depth_t = std::cos(e);
    return v;
}

// A plain orthographic view from the game's elevation, `ppu` image pixels a unit.
inline ArtView mapart_view_ortho(float col0, float row0, float ppu) {
    float e = mapart_elevation();
    ArtView v;
    v.col0 = col0;
    v.row0 = row0;
    v.col_per_unit = ppu;
    v.row_per_unit = ppu;
    v.ky = std::cos(e);
    v.kt = std::sin(e);
    v.depth_y = std::sin(e);
    v.depth_t = std::cos(e);
    return v;
}

// Screen direction of a sprite direction code (keypad digit as seen on
// screen: 8 away from the viewer, 2 towards, 6 right, 4 left) in the camera
// frame (r, t); false for codes that are not one of the eight.
bool mapart_sprite_facing(int dir, float* fr, float* ft);

// ---- canvas (mapart_canvas.cpp) --------------------------------------------
struct ArtColor {
    float r = 0, g = 0, b = 0, a = 1;
};
ArtColor mapart_rgb(unsigned int hex, float a = 1);
ArtColor mapart_mix(ArtColor a, ArtColor b, float t);
ArtColor mapart_scale(ArtColor c, float k);

// Premultiplied RGBA in floats, top row first.
struct ArtCanvas {
    int w = 0, h = 0;
    std::vector<float> px;  // 4 floats a pixel
    ArtCanvas() = default;
    ArtCanvas(int w_, int h_) : w(w_), h(h_), px((size_t)w_ * h_ * 4, 0.0f) {}
    float* at(int x, int y) { return &px[((size_t)y * w + x) * 4]; }
    const float* at(int x, int y) const { return &px[((size_t)y * w + x) * 4]; }
};

// Straight (not premultiplied) colour of a pixel.
ArtColor mapart_get(const ArtCanvas& c, int x, int y);
void mapart_put(ArtCanvas& c, int x, int y, ArtColor col);
// Composites col with coverage k (0..1) over the pixel.
void mapart_blend(ArtCanvas& c, int x, int y, ArtColor col, float k);
// Composites src over dst with its top left corner at (x, y).
void mapart_over(ArtCanvas& dst, const ArtCanvas& src, int x, int y);
// Fills a shape given by its signed distance (pixels, negative inside),
// anti-aliased, over the box (x0, y0)-(x1, y1); colour may vary per pixel.
void mapart_shape(ArtCanvas& c, float x0, float y0, float x1, float y1,
                  const std::function<float(float, float)>& sdf,
                  const std::function<ArtColor(float, float)>& paint);
void mapart_shape(ArtCanvas& c, float x0, float y0, float x1, float y1,
                  const std::function<float(float, float)>& sdf, ArtColor col);
// Adds a dark rim of `width` pixels around everything opaque.
void mapart_outline(ArtCanvas& c, float width, ArtColor col);
// Halves the size (2 x 2 box filter).
ArtCanvas mapart_half(const ArtCanvas& c);
// Resamples to w x h (box filter over the covered area).
ArtCanvas mapart_resize(const ArtCanvas& c, int w, int h);
// Last step before mapart_bytes: makes nearly transparent pixels alpha 0 and
// gives them the colour of the nearest opaque neighbour, so that filtering
// and mipmaps do not bleed light or dark halos. Afterwards transparent pixels
// hold straight colour, so the canvas is no longer fit for compositing.
void mapart_settle(ArtCanvas& c);
// 8-bit straight RGBA for the PNG writer.
std::vector<unsigned char> mapart_bytes(const ArtCanvas& c);

// Signed distances (negative inside).
float mapart_sd_circle(float x, float y, float cx, float cy, float r);
float mapart_sd_box(float x, float y, float cx, float cy, float hw, float hh, float round);
float mapart_sd_segment(float x, float y, float ax, float ay, float bx, float by, float r);
float mapart_sd_polygon(float x, float y, const std::vector<float>& xy);

// Value noise that repeats every `period` lattice cells in x and y.
float mapart_noise(float x, float y, int period, unsigned seed);
// Several octaves of it (each octave doubles the period), about -1..1.
float mapart_fbm(float x, float y, int period, int octaves, unsigned seed);
// A small deterministic hash in 0..1.
float mapart_hash(int x, int y, unsigned seed);

// ---- 3D renderer (mapart_render.cpp) ---------------------------------------
struct ArtVec {
    float x = 0, y = 0, z = 0;
};
inline ArtVec art_vec(float x, float y, float z) { ArtVec v; v.x = x; v.y = y; v.z = z; return v; }
inline ArtVec operator+(ArtVec a, ArtVec b) { return art_vec(a.x + b.x, a.y + b.y, a.z + b.z); }
inline ArtVec operator-(ArtVec a, ArtVec b) { return art_vec(a.x - b.x, a.y - b.y, a.z - b.z); }
inline ArtVec operator*(ArtVec a, float k) { return art_vec(a.x * k, a.y * k, a.z * k); }
inline float art_dot(ArtVec a, ArtVec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
ArtVec art_cross(ArtVec a, ArtVec b);
ArtVec art_norm(ArtVec a);

// An affine transform: columns x, y, z and the translation o.
struct ArtMat {
    ArtVec x = art_vec(1, 0, 0), y = art_vec(0, 1, 0), z = art_vec(0, 0, 1), o;
};
ArtMat art_mul(const ArtMat& a, const ArtMat& b);
ArtVec art_apply(const ArtMat& m, ArtVec p);
ArtVec art_apply_dir(const ArtMat& m, ArtVec d);
ArtMat art_translate(float x, float y, float z);
ArtMat art_scale(float x, float y, float z);
ArtMat art_rot_x(float deg);
ArtMat art_rot_y(float deg);
ArtMat art_rot_z(float deg);
// Rotation by deg degrees about an axis (right-handed).
ArtMat art_rotate(ArtVec axis, float deg);
// A frame whose y axis runs from a to b (for limbs), x roughly along `side`.
ArtMat art_between(ArtVec a, ArtVec b, ArtVec side);

enum {
    ART_LIT = 0,         // shaded by the baked light
    ART_EMISSIVE = 1,    // its own colour, unshaded (lamps, flashes, screens)
    ART_NO_OUTLINE = 2,  // leaves no dark rim around it
};

struct ArtTri {
    ArtVec p[3], n[3];
    float u[3] = {0, 0, 0}, v[3] = {0, 0, 0};
    ArtColor col;
    int flags = ART_LIT;
    const ArtCanvas* tex = nullptr;  // multiplied with col at (u, v) when set
    int part = 0;                    // parts meeting at a depth step get a line
};

struct ArtMesh {
    std::vector<ArtTri> tris;
    ArtColor col;  // colour of the shapes added next
    int flags = ART_LIT;
    int part = 0;
    const ArtCanvas* tex = nullptr;
};

void mapart_box(ArtMesh& m, const ArtMat& at, float hx, float hy, float hz);
// A textured box whose faces map like the game's blocks (walls texture).
void mapart_block(ArtMesh& m, float x0, float z0, float x1, float z1, float b, float t, const ArtCanvas* walls);
// A frustum along local y from 0 to h, radii r0 (bottom) and r1 (top).
void mapart_cylinder(ArtMesh& m, const ArtMat& at, float r0, float r1, float h, int sides, bool caps);
void mapart_sphere(ArtMesh& m, const ArtMat& at, float r, int rings, int sides);
// A limb: a tapered cylinder from a to b with round ends.
void mapart_limb(ArtMesh& m, ArtVec a, ArtVec b, float ra, float rb);
// A torus in the local x-z plane.
void mapart_torus(ArtMesh& m, const ArtMat& at, float big, float small, int sides, int rings);
// Flat polygon facing local +z (outline in local x-y).
void mapart_disc(ArtMesh& m, const ArtMat& at, float r, int sides);

struct ArtLook {
    ArtVec light = art_vec(0.45f, 0.8f, 0.4f);  // towards the light, camera frame
    float ambient = 0.42f, diffuse = 0.7f;
    float outline = 1.2f;                         // rim width in logical pixels
    ArtColor ink = ArtColor{0.03f, 0.04f, 0.08f, 1};
    float crease = 0.12f;                         // depth step (units) drawn as a line
};

// Renders the mesh (camera frame: x right, y up, z towards the viewer)
// through the view into a canvas of w x h image pixels, supersampled and
// outlined. `unit` is image pixels per logical pixel (line widths).
ArtCanvas mapart_render(const ArtMesh& m, const ArtView& v, int w, int h, const ArtLook& look, float unit);
// Turns a mesh built facing +z into the camera frame for facing (fr, ft).
ArtMesh mapart_face(const ArtMesh& m, float fr, float ft);
// Turns a mesh built in world axes (x east, z south) into the camera frame
// of the game's default turn (eye to the south-east).
ArtMesh mapart_world_to_camera(const ArtMesh& m);
// Image bounds of the mesh through the view (for fitting icons).
void mapart_bounds(const ArtMesh& m, const ArtView& v, float* c0, float* r0, float* c1, float* r1);
// Renders a mesh into an icon of `size` image pixels, fitted with a margin.
ArtCanvas mapart_render_icon(const ArtMesh& m, int size, float margin, const ArtLook& look);

// ---- actors (mapart_figure.cpp) ---------------------------------------------
enum ArtActor { ART_PLAYER, ART_GUARD };
enum ArtMove { ART_STAND, ART_WALK, ART_RUN, ART_SHOOT, ART_DIE, ART_SALUTE };
constexpr int MAPART_FRAMES = 8;
constexpr float MAPART_ACTOR_LEAD = 0.2f;  // billboard plane in front of the figure's centre

// The figure in a pose, built facing +z (its right hand at +x) with its feet
// on the ground at the origin; a dying figure falls along fall_dir (x, z).
ArtMesh mapart_figure(ArtActor who, ArtMove move, int frame, ArtVec fall_dir);
// One sprite frame: a 96 x 96 logical image at MAPART_SCALE.
ArtCanvas mapart_actor_frame(ArtActor who, ArtMove move, int dir, int frame);

// ---- props and bombs (mapart_props.cpp) ------------------------------------
// Meshes of sprite tiles and bombs by image name ("plant", "bomb2",
// "item-bomb3", "cartridge" ...), built in the camera frame standing on the
// ground at the origin; empty if the name is unknown.
ArtMesh mapart_prop(const std::string& name);
// The smallest billboard lead that keeps every point of the mesh above the
// ground line of the picture (nothing hidden by the floor in front).
float mapart_lead(const ArtMesh& m);
// The 96 x 96 logical sprite of a prop, item or bomb.
ArtCanvas mapart_prop_sprite(const std::string& name);
// Its palette icon.
ArtCanvas mapart_prop_icon(const std::string& name, int size);

// ---- surfaces and effects (mapart_surface.cpp) ------------------------------
constexpr int MAPART_TILING = 5;  // cells covered by the floor and walls textures
// `size` image pixels square; both repeat seamlessly in x and y.
ArtCanvas mapart_floor(int size);
ArtCanvas mapart_walls(int size);
ArtCanvas mapart_shadow(int size);
ArtCanvas mapart_unshadow(int size);
ArtCanvas mapart_player_glow(int size);
constexpr int MAPART_BLAST_STAGES = 9;
// Logical size of blast stage s (its width, and a height that is a whole
// number of units so that the ground stays on its row).
void mapart_blast_shape(int stage, int* w, int* h);
// Blasts are soft: they are made at one file pixel per logical pixel.
constexpr int MAPART_BLAST_SCALE = 1;
ArtCanvas mapart_blast(int stage);

// ---- around the play (mapart_world.cpp) ---------------------------------------
constexpr int MAPART_GROUND_UNITS = 10;  // world units covered by the ground texture, both ways
// Seamless both ways: the night ground (MAPART_GROUND_UNITS a side) and the
// crater floor (MAPART_TILING cells a side, like the floor).
ArtCanvas mapart_ground(int size);
ArtCanvas mapart_crater(int size);
// A puff of smoke, drawn tinted and blended.
ArtCanvas mapart_smoke(int size);

// ---- decals and icons (mapart_marks.cpp) -------------------------------------
constexpr int MAPART_DECAL = 64;  // logical size of a decal (one cell)
constexpr int MAPART_ICON = 38;   // logical size of a palette icon

struct ArtTile {
    int n = 0;
    std::string name, type, view;
    int value = 0, editor = 0;
};
// Reads the tile catalogue; empty with a message on failure.
std::vector<ArtTile> mapart_tiles(const char* path);
// Decal of a decal tile (or "decal-none"), image pixels square.
ArtCanvas mapart_decal(const ArtTile& t, int size);
// Palette icon of a tile; floor and walls are the textures for swatches and blocks.
ArtCanvas mapart_icon(const ArtTile& t, int size, const ArtCanvas& floor, const ArtCanvas& walls);
// Map step (dx, dy) of a direction code; false for 0, 5 and unknown codes.
bool mapart_arrow_step(int code, int* dx, int* dy);

// ---- atlases and catalogue pieces (mapart_atlas.cpp) ------------------------
constexpr int MAPART_ATLAS_MAX = 2048;  // largest texture side, in file pixels

struct ArtImage {
    std::string name;
    ArtCanvas pixels;    // file pixels
    float shape_w = 0, shape_h = 0;  // logical drawing size
};

struct ArtPlaced {
    std::string name, texture;
    int x = 0, y = 0, w = 0, h = 0;  // logical rectangle in the texture
    float shape_w = 0, shape_h = 0;
    // The part of the image that is not clear, in logical units from its
    // corner: the view draws figures over this part only.
    int body_x = 0, body_y = 0, body_w = 0, body_h = 0;
};

struct ArtSheet {
    std::string texture, fname;
    int w = 0, h = 0;  // file pixels (powers of two)
    int scale = MAPART_SCALE;  // file pixels per logical pixel
    ArtCanvas pixels;
};

// Packs images made at `scale` file pixels per logical pixel into as few
// sheets named prefix-0, prefix-1 ... as fit.
void mapart_pack(const std::vector<ArtImage>& images, const std::string& prefix, int pad, int scale,
                 std::vector<ArtSheet>* sheets, std::vector<ArtPlaced>* placed);
// One image on a sheet of its own, addressed as a whole (floor, walls).
void mapart_single(const ArtImage& image, const std::string& texture,
                   std::vector<ArtSheet>* sheets, std::vector<ArtPlaced>* placed);
// Writes the sheets into dir and the two catalogue pieces; false on failure.
bool mapart_write(const std::string& dir, const std::vector<ArtSheet>& sheets,
                  const std::vector<ArtPlaced>& placed, const std::string& images_json,
                  const std::string& textures_json);

// ---- the whole set (mapart_build.cpp) ----------------------------------------
// Every image name the generator makes, given the tile catalogue.
std::vector<std::string> mapart_names(const std::vector<ArtTile>& tiles);
// Name of an actor frame, e.g. "guard-run-9-3".
std::string mapart_frame_name(ArtActor who, ArtMove move, int dir, int frame);
// The eight sprite directions, in the order frames are made.
extern const int MAPART_DIRS[8];
// Makes every image, writes the sheets into data_dir and the two catalogue
// pieces; returns a process exit code.
int mapart_build(const char* tiles_json, const std::string& data_dir, const std::string& images_json,
                 const std::string& textures_json);
