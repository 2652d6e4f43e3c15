// Writing RGBA pictures as PNG files (for generated art and test snapshots).
#pragma once

#include <string>
#include <vector>

// Encodes w x h RGBA pixels (top row first) as a PNG file image.
std::vector<unsigned char> pngout_encode(int w, int h, const unsigned char* rgba);
// Writes them to path; false when the file cannot be written.
bool pngout_write(const char* path, int w, int h, const unsigned char* rgba);
