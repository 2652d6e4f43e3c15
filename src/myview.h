// The 3D map view: camera, picking and drawing of a map with its actors.
//
// Sections by file: myview.cpp (camera, controls, easing, framing),
// myview_pick.cpp (picking a cell), myview_guide.cpp (exits and the path
// preview), myview_paint.cpp (batches, lighting, blocks, sprites, overlays).
#pragma once

#include "game.h"
#include "mathlib.h"

// ---- camera (myview.cpp)
void myview_projection(Game& game, float aspect);
CVector3 myview_get_coords(Game& game, float x, float y, float hh);
// Whether the view looks straight down on the current screen: the overhead
// switch counts in the editor and on the play, pause and rewind screens.
bool myview_overhead(const Game& game);
// Flips the overhead switch (the editor's button and the up and down keys).
void myview_overhead_toggle();
// Window pixel (y from the top) where world point (x, y, z) shows through the
// current matrices; false when it lies behind the eye.
bool myview_project(float x, float y, float z, float* wx, float* wy);
void myview_event(Game& game, Event e, LevelData* lev);
void myview_loop(Game& game, LevelData* lev);
// Frames a map for its first frame of play: a map whose cells fit in 30 by 30
// is shown whole in the window above a bar covering the share `bar` of its
// height (the camera's pan is set to centre it there); on a larger one the
// 30 by 30 cells of it around the player. Returns the zoom to ease to.
float myview_frame_map(Game& game, LevelData& lev, float bar);
// Forgets every image handle the view holds; the game shell calls it after the
// 2D layer is rebuilt (a video reset), whose handles are then new.
void myview_flush();

// ---- picking (myview_pick.cpp)
// The map cell under window pixel (x, y) (y from the top): the cell whose
// drawn surface the ray through it meets first, with the matrices current
// at the call and the last frame's cut-away: an escape marker, a figure,
// bomb or item on its cell, a block's top or side at its own height, else
// the floor. False when the ray never comes down to the ground.
bool myview_pick(Game& game, float x, float y, int* cx, int* cy);

// ---- guides (myview_guide.cpp)
// The play screen says whether the pointer rests on the map: only then the
// path a click would give is drawn.
void myview_pointer(bool on_map);
// The edge arrow towards the nearest escape cell, once no pillar is left and
// none shows in the canvas area x0..x1, y0..y1: a canvas point near the
// area's edge and the unit direction (canvas y down) it points in. Call it
// right after myview_paint (it projects with the map's matrices); false when
// there is no arrow to show.
bool myview_exit_arrow(Game& game, float x0, float y0, float x1, float y1, float* ax, float* ay, float* dx,
                       float* dy);
// Draws that arrow in the current 2D coordinates.
void myview_arrow_paint(float x, float y, float dx, float dy);

// ---- drawing (myview_paint.cpp)
void myview_paint(Game& game);
