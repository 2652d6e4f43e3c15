// Writing the JSON pieces the art generators hand to the catalogue merger.
#pragma once

#include <json/json.h>

#include <cstdio>
#include <fstream>
#include <string>

// A rectangle as the catalogues store it.
inline Json::Value jsonout_rect(double x, double y, double w, double h) {
    Json::Value r(Json::objectValue);
    r["x"] = x;
    r["y"] = y;
    r["w"] = w;
    r["h"] = h;
    return r;
}

// Writes v to path, one-space indented; says on stderr, as `tool`, when it cannot.
inline bool jsonout_write(const std::string& path, const Json::Value& v, const char* tool) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = " ";
    std::ofstream out(path);
    out << Json::writeString(builder, v) << "\n";
    out.close();
    if (!out) {
        fprintf(stderr, "%s: cannot write %s\n", tool, path.c_str());
        return false;
    }
    return true;
}
