// A bare window for the 2D layer's tests: the driver, the 2D layer and the
// fonts without the game, the 2D drawing state of the game shell, and the
// back buffer read back in canvas coordinates.
#pragma once

#include <GL/gl.h>
#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver.h"
#include "font.h"
#include "gfx.h"

// Keeps the loaded OpenGL driver (Mesa's *_dri.so) mapped until the process
// ends. Mesa's software renderer keeps a little memory per compiled drawing
// state; when the driver is unloaded at shutdown, the leak checker can no
// longer name it and so cannot tell it from a leak of ours.
inline void gfx_window_pin_gl_driver() {
    std::vector<std::string> names;
    dl_iterate_phdr(
        [](struct dl_phdr_info* info, size_t, void* out) {
            if (info->dlpi_name && strstr(info->dlpi_name, "_dri.so"))
                static_cast<std::vector<std::string>*>(out)->push_back(info->dlpi_name);
            return 0;
        },
        &names);
    for (const std::string& n : names) dlopen(n.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

class GfxWindow {
public:
    static const int CANVAS_W = 960, CANVAS_H = 720;

    explicit GfxWindow(int w = CANVAS_W, int h = CANVAS_H) {
        driver_init();
        driver_video_init(w, h, w, h, w, h, 0);
        gfx_window_pin_gl_driver();
        gfx_init();
        gfx_set_size(CANVAS_W, CANVAS_H);
        gfx_set_orient(0);
        font_init();
        begin();
    }
    ~GfxWindow() {
        font_deinit();
        gfx_deinit();
        driver_deinit();
    }

    // A black frame set up for 2D drawing the way the game's screens get it.
    void begin() {
        gfx_clear();
        gfx_ortho();
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_FALSE);
        glDisable(GL_LIGHTING);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_BLEND);
        glColor4f(1, 1, 1, 1);
    }

    // Reads the frame being drawn; at() then looks into this copy.
    void snap() {
        glFinish();
        driver_get_size(&_w, &_h);
        _px.assign((size_t)_w * _h * 4, 0);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, _w, _h, GL_RGBA, GL_UNSIGNED_BYTE, _px.data());
    }

    // Colour 0xRRGGBB of the snapped frame at canvas point (x, y).
    unsigned int at(float x, float y) const {
        GfxRect p = gfx_pos_to_hwpos(GfxRect(x, y, 0, 0));
        int ix = (int)p.x, iy = _h - 1 - (int)p.y;
        if (ix < 0 || iy < 0 || ix >= _w || iy >= _h) return 0;
        const unsigned char* c = &_px[((size_t)iy * _w + ix) * 4];
        return (unsigned)c[0] << 16 | (unsigned)c[1] << 8 | c[2];
    }

    unsigned int pixel(float x, float y) {
        snap();
        return at(x, y);
    }

    // Number of canvas pixels of the rectangle that are not black.
    int lit(int x, int y, int w, int h) {
        snap();
        int n = 0;
        for (int yy = y; yy < y + h; yy++)
            for (int xx = x; xx < x + w; xx++)
                if (at((float)xx + 0.5f, (float)yy + 0.5f) != 0) n++;
        return n;
    }

private:
    int _w = 0, _h = 0;
    std::vector<unsigned char> _px;
};
