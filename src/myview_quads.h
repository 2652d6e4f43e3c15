// Inside the map view: the quad batches a frame is built into, the view's
// image cache, blocks and billboards, and the view extent.
// Only the view's own files and its tests include this.
//
// Sections by file: myview_quads.cpp (batches, image cache),
// myview_paint.cpp (blocks, billboards, lights, the frame), myview.cpp (extent),
// myview_marks.cpp (readability marks), myview_world.cpp (the ground around
// the map, crater floors), myview_fx.cpp (what blasts leave
// behind, the shake, bomb countdowns, the win's flash and fireworks).
#pragma once

#include <vector>

#include "game.h"
#include "myview.h"

// ---------------------------------------------------------------- dimensions

// World units; one cell is 1 x 1.
const float MYVIEW_PICK_HEIGHT = 1.25f;    // plane a drag moves the ground on
const float MYVIEW_WALL_HEIGHT = 2.5f;
const float MYVIEW_ARCH_HEIGHT = 2 * MYVIEW_WALL_HEIGHT;
const float MYVIEW_CRATE_HEIGHT = 1.25f;
// A pillar: foot, a thinner shaft, head, and a thinner cap on top.
const float MYVIEW_PILLAR_FOOT = 0.35f, MYVIEW_PILLAR_HEAD = 2.15f, MYVIEW_PILLAR_CAP = 2.675f;
const float MYVIEW_PILLAR_SHAFT_INSET = 0.125f, MYVIEW_PILLAR_CAP_INSET = 0.25f;
const float MYVIEW_CUT_HEIGHT = 0.3f;      // a block cut away for an actor behind it: a stub
const float MYVIEW_DECAL_HEIGHT = 0.01f;
const float MYVIEW_OVERLAY_HEIGHT = 0.015f;
const float MYVIEW_EXTENT_MAX = MAP_SIZE * 2;  // no visible radius is larger than this
// Sprites: a picture 96 units wide and tall is 1.25 cells half-wide, 4 high,
// standing from 1 under the ground.
const float MYVIEW_SPRITE_HALF_W = 1.25f;
const float MYVIEW_SPRITE_BOTTOM = -1, MYVIEW_SPRITE_TOP = 3;
const float MYVIEW_SPRITE_ART_UNIT = 96;
const float MYVIEW_SPRITE_ART_HEIGHT = 4;

// ---------------------------------------------------------------- batches (myview_quads.cpp)

// One vertex as OpenGL reads it from the interleaved arrays.
struct MyTriangle {
    int tex;            // OpenGL texture name; only the first vertex of a quad carries it
    float z;            // not used
    float normal[3];
    float coords[2];    // texture coordinates
    float verts[3];     // position
};
static_assert(sizeof(MyTriangle) == 40, "one vertex record is the array stride");

// Two triangles (p1, p2, p3) and (p4, p3, p2).
struct MyQuad {
    MyTriangle tris[6];
};

// The quads of one drawing pass. The storage only grows, so once a map has
// been drawn a frame of the same map allocates nothing.
struct MyQuads {
    int n = 0;                   // quads in use this frame
    std::vector<MyQuad> _quads;  // storage, kept from frame to frame
    MyQuad* quads = nullptr;     // first element of _quads

    void reset() { n = 0; }
    // Corners p1..p4 get texture coordinates (tx, ty + th), (tx + tw, ty + th),
    // (tx, ty), (tx + tw, ty). With do_cull the quad is dropped when it faces
    // away from the eye.
    void tex_quad(int tex, float nx, float ny, float nz, float tx, float ty, float tw, float th,
                  float x1, float y1, float z1, float x2, float y2, float z2,
                  float x3, float y3, float z3, float x4, float y4, float z4, bool do_cull);
    // The same with an image of the view's cache: its texture and rectangle.
    // Image 0 (or any unknown handle) adds nothing.
    void img_quad(int img, float nx, float ny, float nz,
                  float x1, float y1, float z1, float x2, float y2, float z2,
                  float x3, float y3, float z3, float x4, float y4, float z4, bool do_cull);
    // The same over the picture's body alone, when the corners make a
    // parallelogram and the catalogue gives a body: the same pixels, without
    // the renderer paying for the clear rest. Not for a layer that shares its
    // plane with another: the smaller quad may settle their depth tie the
    // other way.
    void body_quad(int img, float nx, float ny, float nz,
                   float x1, float y1, float z1, float x2, float y2, float z2,
                   float x3, float y3, float z3, float x4, float y4, float z4);
    // True when a face with normal n through point (x, y, z) looks away from
    // the eye of the last perspective set-up.
    static bool cull(float nx, float ny, float nz, float x, float y, float z);
    // One draw per run of quads sharing a texture; `name` is only a label.
    void draw(const char* name);

    // Texture of quad i (what its first vertex carries).
    int tex_of(int i) const { return quads[i].tris[0].tex; }

private:
    MyQuad* add();
};

// The eleven passes live in the view's record (myview_internal.h).
enum { MYVIEW_BATCHES = 11 };

// ---------------------------------------------------------------- coloured quads (myview_quads.cpp)

// Quads with a colour at every corner (the ground's vignette, smoke, sparks),
// gathered into one fixed array and drawn with one call: begin with a
// texture, set colours and add corners four by four, end draws them. A
// steady frame neither allocates nor asks the renderer for new vertex
// layouts, as drawing vertex by vertex would.
void myview_paint_begin(int tex);
void myview_paint_colour(float r, float g, float b, float a);
void myview_paint_vertex(float x, float y, float z, float u, float v);
void myview_paint_end();

// ---------------------------------------------------------------- image cache (myview_quads.cpp)

// What the view needs of an image: the OpenGL texture, where the image lies in
// it (texture coordinates) and its size in logical units.
struct MyImage {
    int tex;
    float tx, ty, tw, th;
    int w, h;
    // The part of it that is not clear, as fractions across and down, when
    // the catalogue says (body is false otherwise): figures are drawn over
    // that part alone, which spares the renderer the clear rest.
    bool body;
    float bx0, by0, bx1, by1;
};

// Image handle of `name` (0 when there is no such image). Names are looked up
// in the view's own table, so a frame neither allocates nor asks the 2D layer
// again; a missing image is remembered as missing until myview_flush.
int myview_img(const char* name);
// The image behind a handle, or null for 0 and unknown handles.
const MyImage* myview_img_info(int img);
// Gives `name` an image of its own that covers the whole OpenGL texture `tex`
// and measures w x h logical units, without the 2D layer or art files (tests
// and benchmarks build frames with it). Returns its handle, 0 when full.
int myview_img_fake(const char* name, int tex, int w, int h);

// ---------------------------------------------------------------- drawing (myview_paint.cpp)

// Point lights of a frame at most (OpenGL lights 1 .. 7; light 0 is the sun).
enum { MYVIEW_LIGHTS_MAX = 7 };

const float MYVIEW_POP_SAME = -100;  // pop2 value meaning "the same as pop"
// Everything myview_paint does before it draws: the camera, the OpenGL
// state, the view extent, the lights and this frame's eleven batches.
void myview_build(Game& game);
// A box on cell (xx, yy) from base to top with image wid's texture. pop
// grows (or, negative, shrinks) it sideways and pop2 shifts it vertically.
// Faces towards a dark neighbour go to the dquads batch when imul is 1.
void my_block(Game& game, MyQuads& quads, int wid, float xx, float yy, float base, float top,
              float pop, float pop2, int imul);
// An upright picture on (cx, cz) facing the camera, hx, hz the horizontal
// half-axis (see myview_billboard_axis).
void myview_billboard(MyQuads& quads, int img, float cx, float cz, float hx, float hz,
                      float bottom, float top, float ny, bool do_cull);
// Horizontal half-axis of a billboard of half-width w facing a camera turned
// by `rotate` degrees.
void myview_billboard_axis(float rotate, float w, float* hx, float* hz);

// ---------------------------------------------------------------- extent (myview.cpp)

// Ground seen by the frame: centre (cx, cz) under the window's centre, the
// squared radius dd and its truncated root dist, and the ground offset
// (dx, dz) from the centre to the window's bottom-right corner.
struct MyViewExtent {
    float cx = 0, cz = 0, dist = 0, dd = 0, dx = 0, dz = 0;
};
// Picks through the current matrices; stores view_cx, view_cy, view_cd.
MyViewExtent myview_extent(Game& game);

// ---------------------------------------------------------------- picking and craters (myview_pick.cpp)

// A ray through a window pixel: origin on the near plane, direction to the
// far plane (so the parameter runs 0..1 between them).
struct MyViewRay {
    double o[3], d[3];
};
// The ray through window pixel (x, y), y from the top, with the matrices
// current now; false when they cannot be inverted.
bool myview_ray(float x, float y, MyViewRay* r);
// Ray parameter where the ray enters the box lo..hi (0 when it starts
// inside), -1 when it misses.
double myview_ray_box(const MyViewRay& r, const float lo[3], const float hi[3]);

// Whether the block of cell (x, y) that reaches below the ground shows its
// side towards neighbour (x + dx, y + dy): only where it lines a crater,
// a hole that lies inside the building. A hole blasted out of the empty
// space around it leaves the lining of the cells beside it unseen, which
// would otherwise hang below the outer wall.
bool myview_crater_side(const LevelData& lev, int x, int y, int dx, int dy);

// ---------------------------------------------------------------- guides (myview_guide.cpp)

// The ways out and the way there: a light shaft over every window in view,
// once no pillar is left a marker over every escape cell drawn through
// whatever stands in front, and on the play screen the path a click on the
// cell under the pointer would give, its watched cells marked.
void myview_guide(Game& game, const MyViewExtent& ext, float rotate);
// The escape marker the ray meets (markers are drawn over everything), and
// its cell; false when none is shown there.
bool myview_guide_pick(Game& game, const MyViewRay& r, int* cx, int* cy);

// ---------------------------------------------------------------- readability marks (myview_marks.cpp)

// Plans this frame's cut-away: every block that would hide the player or a
// guard from the eye (camera turned by `rotate`) is cut down to a stub.
// Nothing is cut in the editor.
void myview_cut_plan(Game& game, float rotate);
// True when the block on cell (x, y) is cut down this frame.
bool myview_cut(int x, int y);
// Flat marks drawn over the floors, before any sprite: the cells each guard
// watches, the glowing panes of the windows (listed by the cell pass) and the
// escape cells beside them when the player is near. Leaves depth writes off
// and lighting off.
void myview_marks_floor(Game& game, const MyViewExtent& ext, const int (*windows)[2], int nwin);
// Marks drawn over the sprites: a ring of light on the ground under every
// figure in its tint (player cool, guards warm; alarmed, frozen and dying
// guards each their own), a thin dark outline and a rim in that tint round
// each figure, a neutral pool of light on the open floor around figures in
// shadow or on dark floor, and a backlight behind those behind a cut block.
void myview_marks_actors(Game& game, float rotate);

// ---------------------------------------------------------------- figures (myview_marks.cpp)

// How many times life size the player and the guards stand at the camera's
// distance: life size close up, bigger farther out, so that a figure stays
// readable from the far zoom.
float myview_actor_scale(const LevelData& lev);
// The part of an actor's billboard (centre, half-axis, bottom and top as
// for myview_billboard) that holds the figure; `whole` for one lying down.
void myview_figure_quad(MyQuads& into, int img, float cx, float cz, float hx, float hz, float bottom, float top,
                        bool whole, float ny);

// ---------------------------------------------------------------- the world (myview_world.cpp)

// Depth of a crater's floor and of the plinth the map stands on; the ground
// around the map lies a little under it.
const float MYVIEW_PIT_DEPTH = -4.0f;
// The night ground around the map, wherever no cell of the map is drawn, and
// a soft shadow on it along the map's edge; within `reach` of (cx, cz), the
// last MYVIEW_GROUND_MARGIN of it past the view's rim (the ground is seen
// farther off than the floor). The ground darkens towards that rim.
const float MYVIEW_GROUND_MARGIN = 8;
void myview_world_ground(Game& game, bool editor, float cx, float cz, float reach);
// A cell's share of the world: the floor at the bottom of a hole and the
// plinth faces along the map's edge (into the pits' pass).
void myview_world_cell(Game& game, bool editor, int x, int y);
// Draws the ground pass (unlit).
void myview_world_draw();

// ---------------------------------------------------------------- effects (myview_fx.cpp)

// Follows this frame's blasts and the win in the view's own record: what a
// blast leaves behind outlives the rules' entity; a rewind or another map
// forgets what it undid.
void myview_fx_follow(Game& game);
// Offset of this frame's picture in normalised device units while a blast
// shakes the view (play only, when the player allows it); 0, 0 otherwise.
void myview_fx_shake(const Game& game, float* dx, float* dy);
// During the win the map is drawn as it stood when the player reached the
// window, whatever the fireworks do to it: swaps the grid and its flags with
// the kept copy and back. False (and nothing swapped) when no win is on.
bool myview_fx_win_swap(Game& game);
// How many blasts the view still draws something of (fire, smoke, debris).
int myview_fx_blasts();
// The rules' fireworks are not drawn as blasts.
inline bool myview_fx_sky(int type) { return type == D_BLAST2; }
// Draws the lingering fire, smoke and debris, the bombs' countdown rings,
// the win's flash and the fireworks over the map (after the sprites).
void myview_fx_draw(Game& game);
