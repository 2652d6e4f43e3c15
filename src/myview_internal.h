// Inside the map view: the view's one record of what lives from frame to
// frame (the eleven quad batches, the point lights, the camera's eye and the
// overhead switch). Only the view's own files and the tests that look into a
// frame include this.
#pragma once

#include "mathlib.h"
#include "myview_quads.h"

struct MyView {
    // The eleven passes, in drawing order (myview_batches lists them).
    MyQuads quads;      // walls, arches, windows, crates
    MyQuads pillars;
    MyQuads dquads;     // side faces of blocks that face a dark cell
    MyQuads floors;
    MyQuads shadow;     // floors in shadow
    MyQuads dark;       // dark floors
    MyQuads pits;
    MyQuads decals;     // flat decals, icons, item sprites
    MyQuads sprites;
    MyQuads s_sprites;  // sprites standing in shadow
    MyQuads fire;       // blasts and mini-bomb fire

    // Point lights in use: OpenGL lights 1 .. lnum - 1 (light 0 is the sun).
    int lnum = 1;
    // Whether lights 1 .. lnum - 1 are enabled now.
    int ltog = 0;
    // Position of each point light of this frame (index 1 .. lnum - 1).
    float light_pos[MYVIEW_LIGHTS_MAX + 1][4] = {};

    // Eye position of the last perspective set-up (the overhead one leaves it).
    CVector3 eye;
    // The overhead switch; it counts in the editor and on the play screens
    // (see myview_overhead).
    int overhead = 0;
};

// The view's record (myview.cpp).
extern MyView _myview;

// The same eleven batches in drawing order, with their labels.
extern MyQuads* const myview_batches[MYVIEW_BATCHES];
extern const char* const myview_batch_names[MYVIEW_BATCHES];
