// The map camera: a plain perspective until the map view lands.
#include <GL/gl.h>
#include <GL/glu.h>

#include "gfx.h"
#include "myview.h"

int _myview_overhead = 0;
CVector3 _myview_eye;

void myview_projection(Game& game, float aspect) {
    (void)game;
    if (aspect == 0) aspect = gfx_get_aspect();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(10.0, aspect, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

CVector3 myview_get_coords(Game& game, float x, float y, float hh) {
    (void)game; (void)x; (void)y; (void)hh;
    return CVector3();
}

void myview_event(Game& game, Event e, LevelData* lev) { (void)game; (void)e; (void)lev; }
void myview_loop(Game& game, LevelData* lev) { (void)game; (void)lev; }
void myview_paint(Game& game) { (void)game; }
