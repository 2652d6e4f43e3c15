// Merges the image and texture catalogue pieces written by the art generators
// into one catalogue file (image.txt or texture.txt): a JSON object by name.
#include <json/json.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "jsonout.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: catalog OUT PIECE.json...\n");
        return 2;
    }
    Json::Value merged(Json::objectValue);
    for (int i = 2; i < argc; i++) {
        std::ifstream in(argv[i]);
        std::stringstream text;
        text << in.rdbuf();
        Json::Value piece;
        Json::Reader reader;
        if (!in || !reader.parse(text.str(), piece) || !piece.isObject()) {
            fprintf(stderr, "catalog: %s is not a JSON object\n", argv[i]);
            return 1;
        }
        for (const std::string& name : piece.getMemberNames()) {
            // Two generators drawing the same name would leave one picture
            // silently unused; that is a mistake to fix, not to choose between.
            if (merged.isMember(name)) {
                fprintf(stderr, "catalog: %s is named twice (again in %s)\n", name.c_str(), argv[i]);
                return 1;
            }
            merged[name] = piece[name];
        }
    }
    return jsonout_write(argv[1], merged, "catalog") ? 0 : 1;
}
