#include "screenshots.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "pngout.h"

int screenshot(Harness& h, const char* name) {
    int w = 0, hh = 0;
    std::vector<unsigned char> px = h.pixels(&w, &hh);
    if (px.empty()) return 0;
    std::set<unsigned int> colours;
    for (size_t i = 0; i + 3 < px.size(); i += 4) {
        px[i + 3] = 255;
        colours.insert((unsigned)px[i] << 16 | (unsigned)px[i + 1] << 8 | px[i + 2]);
    }
    const char* folder = getenv("VELQUIST_SCREENSHOTS");
    if (folder && *folder) {
        std::string path = std::string(folder) + "/" + name + ".png";
        if (!pngout_write(path.c_str(), w, hh, px.data())) {
            fprintf(stderr, "screenshot: could not write %s\n", path.c_str());
            return 0;
        }
    }
    return (int)colours.size();
}
