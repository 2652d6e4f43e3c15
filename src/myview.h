// The 3D map view: camera, picking and drawing of a map with its actors.
//
// Sections by file: myview.cpp (camera, controls, easing, picking),
// myview_paint.cpp (batches, lighting, blocks, sprites, overlays).
#pragma once

#include "game.h"
#include "mathlib.h"

// Editor's overhead view switch; has effect only on the editor screen.
extern int _myview_overhead;
// Eye position of the last perspective set-up.
extern CVector3 _myview_eye;

// ---- camera (myview.cpp)
void myview_projection(Game& game, float aspect);
CVector3 myview_get_coords(Game& game, float x, float y, float hh);
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

// ---- drawing (myview_paint.cpp)
void myview_paint(Game& game);
