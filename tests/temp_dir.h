// A folder of its own under /tmp for one test, removed with everything in it
// when the test ends; and the bytes of a file, for tests that compare them.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

struct TempDir {
    std::string path;
    TempDir() {
        char tmpl[] = "/tmp/velquist-test-XXXXXX";
        const char* made = mkdtemp(tmpl);
        path = made ? made : "/tmp";
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        if (path != "/tmp") std::filesystem::remove_all(path, ec);
    }
    std::string file(const char* name) const { return path + "/" + name; }
};

// Every byte of a file; empty when it cannot be read.
inline std::string file_bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}
