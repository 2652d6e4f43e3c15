// The whole set of map-view images: what is made, at which sizes, on which
// sheets, and the order of the work.
#include <chrono>
#include <cstdio>
#include <set>

#include "mapart.h"

const int MAPART_DIRS[8] = {1, 2, 3, 4, 6, 7, 8, 9};

namespace {

const int kTextureSize = 512;  // logical size of the floor and walls textures
const int kShadowSize = 128;   // logical size of the shadow and watched-cell spots
const int kGroundSize = 256;   // logical size of the ground and crater textures
const int kPuffSize = 64;      // logical size of the smoke puff
const int kSheetPad = 4;       // file pixels between images on a sheet
// Blast frames are drawn smaller than their pixels and sampled from small
// mipmap levels: a wider gap keeps one frame from bleeding into the next.
const int kBlastPad = 24;

struct Clock {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    double lap() {
        auto now = std::chrono::steady_clock::now();
        double s = std::chrono::duration<double>(now - start).count();
        start = now;
        return s;
    }
};

const char* _move_name(ArtMove move) {
    switch (move) {
        case ART_WALK: return "walk";
        case ART_RUN: return "run";
        case ART_SHOOT: return "shoot";
        case ART_DIE: return "die";
        default: return "stop";
    }
}

struct Clip {
    ArtActor who;
    ArtMove move;
    int frames;
};

// The animations the rules ask for; "player-stop" has one frame a direction.
const Clip kClips[] = {
    {ART_PLAYER, ART_WALK, MAPART_FRAMES}, {ART_PLAYER, ART_DIE, MAPART_FRAMES}, {ART_PLAYER, ART_STAND, 1},
    {ART_GUARD, ART_WALK, MAPART_FRAMES},  {ART_GUARD, ART_RUN, MAPART_FRAMES},  {ART_GUARD, ART_SHOOT, MAPART_FRAMES},
};

bool _has_icon(const ArtTile& t) { return t.editor != 0 || t.view == "sprite"; }

ArtImage _image(const std::string& name, ArtCanvas pixels, float w, float h) {
    ArtImage im;
    im.name = name;
    mapart_settle(pixels);
    im.pixels = std::move(pixels);
    im.shape_w = w;
    im.shape_h = h;
    return im;
}

void _marks(const std::vector<ArtTile>& tiles, const ArtCanvas& floor, const ArtCanvas& walls,
            std::vector<ArtImage>* out) {
    const int s = MAPART_SCALE;
    out->push_back(_image("shadow", mapart_shadow(kShadowSize * s), kShadowSize, kShadowSize));
    out->push_back(_image("unshadow", mapart_unshadow(kShadowSize * s), kShadowSize, kShadowSize));
    out->push_back(_image("player-glow", mapart_player_glow(MAPART_SPRITE * s), MAPART_SPRITE, MAPART_SPRITE));
    out->push_back(_image("smoke", mapart_smoke(kPuffSize * s), kPuffSize, kPuffSize));
    ArtTile none;
    none.name = "none";
    out->push_back(_image("decal-none", mapart_decal(none, MAPART_DECAL * s), MAPART_DECAL, MAPART_DECAL));
    for (const ArtTile& t : tiles) {
        if (t.view == "decal") {
            out->push_back(_image("decal-" + t.name, mapart_decal(t, MAPART_DECAL * s), MAPART_DECAL, MAPART_DECAL));
        }
        if (_has_icon(t)) {
            out->push_back(_image("icon-" + t.name, mapart_icon(t, MAPART_ICON * s, floor, walls), MAPART_ICON,
                                  MAPART_ICON));
        }
    }
}

void _props(const std::vector<ArtTile>& tiles, std::vector<ArtImage>* out) {
    for (const ArtTile& t : tiles) {
        if (t.view == "sprite") out->push_back(_image(t.name, mapart_prop_sprite(t.name), MAPART_SPRITE, MAPART_SPRITE));
    }
    for (int b = 1; b <= 4; b++) {
        std::string name = "bomb" + std::to_string(b);
        out->push_back(_image(name, mapart_prop_sprite(name), MAPART_SPRITE, MAPART_SPRITE));
    }
}

void _blasts(std::vector<ArtImage>* out) {
    for (int st = 0; st < MAPART_BLAST_STAGES; st++) {
        int w, h;
        mapart_blast_shape(st, &w, &h);
        out->push_back(_image("blast-" + std::to_string(st), mapart_blast(st), (float)w, (float)h));
    }
}

void _actors(std::vector<ArtImage>* out) {
    const float size = MAPART_SPRITE;
    out->push_back(_image("player", mapart_actor_frame(ART_PLAYER, ART_STAND, 2, 0), size, size));
    out->push_back(_image("guard", mapart_actor_frame(ART_GUARD, ART_STAND, 2, 0), size, size));
    for (const Clip& c : kClips) {
        for (int dir : MAPART_DIRS) {
            for (int f = 0; f < c.frames; f++) {
                out->push_back(_image(mapart_frame_name(c.who, c.move, dir, f), mapart_actor_frame(c.who, c.move, dir, f),
                                      size, size));
            }
        }
    }
}

}  // namespace

std::string mapart_frame_name(ArtActor who, ArtMove move, int dir, int frame) {
    return std::string(who == ART_PLAYER ? "player-" : "guard-") + _move_name(move) + "-" + std::to_string(dir) + "-" +
           std::to_string(frame);
}

std::vector<std::string> mapart_names(const std::vector<ArtTile>& tiles) {
    std::vector<std::string> names = {"floor", "walls", "ground", "crater", "shadow", "unshadow", "player-glow",
                                      "smoke", "decal-none"};
    for (const ArtTile& t : tiles) {
        if (t.view == "decal") names.push_back("decal-" + t.name);
        if (_has_icon(t)) names.push_back("icon-" + t.name);
        if (t.view == "sprite") names.push_back(t.name);
    }
    for (int b = 1; b <= 4; b++) names.push_back("bomb" + std::to_string(b));
    for (int st = 0; st < MAPART_BLAST_STAGES; st++) names.push_back("blast-" + std::to_string(st));
    names.push_back("player");
    names.push_back("guard");
    for (const Clip& c : kClips) {
        for (int dir : MAPART_DIRS) {
            for (int f = 0; f < c.frames; f++) names.push_back(mapart_frame_name(c.who, c.move, dir, f));
        }
    }
    return names;
}

int mapart_build(const char* tiles_json, const std::string& data_dir, const std::string& images_json,
                 const std::string& textures_json) {
    Clock clock, total;
    std::vector<ArtTile> tiles = mapart_tiles(tiles_json);
    if (tiles.empty()) return 1;
    std::vector<ArtSheet> sheets;
    std::vector<ArtPlaced> placed;

    ArtImage floor = _image("floor", mapart_floor(kTextureSize * MAPART_SCALE), kTextureSize, kTextureSize);
    ArtImage walls = _image("walls", mapart_walls(kTextureSize * MAPART_SCALE), kTextureSize, kTextureSize);
    mapart_single(floor, "map-floor", &sheets, &placed);
    mapart_single(walls, "map-walls", &sheets, &placed);
    mapart_single(_image("ground", mapart_ground(kGroundSize * MAPART_SCALE), kGroundSize, kGroundSize), "map-ground",
                  &sheets, &placed);
    mapart_single(_image("crater", mapart_crater(kGroundSize * MAPART_SCALE), kGroundSize, kGroundSize), "map-crater",
                  &sheets, &placed);
    printf("mapart: floor, walls, ground and crater %.2f s\n", clock.lap());

    std::vector<ArtImage> group;
    _marks(tiles, floor.pixels, walls.pixels, &group);
    mapart_pack(group, "map-marks", kSheetPad, MAPART_SCALE, &sheets, &placed);
    printf("mapart: %zu decals, icons and spots %.2f s\n", group.size(), clock.lap());

    group.clear();
    _props(tiles, &group);
    mapart_pack(group, "map-props", kSheetPad, MAPART_SCALE, &sheets, &placed);
    printf("mapart: %zu props and bombs %.2f s\n", group.size(), clock.lap());

    group.clear();
    _blasts(&group);
    mapart_pack(group, "map-blast", kBlastPad, MAPART_BLAST_SCALE, &sheets, &placed);
    printf("mapart: %zu blast stages %.2f s\n", group.size(), clock.lap());

    group.clear();
    _actors(&group);
    mapart_pack(group, "map-actors", kSheetPad, MAPART_SCALE, &sheets, &placed);
    printf("mapart: %zu actor frames %.2f s\n", group.size(), clock.lap());
    group.clear();

    // Every name the view asks for must have been placed exactly once.
    std::set<std::string> made;
    for (const ArtPlaced& p : placed) {
        if (!made.insert(p.name).second) fprintf(stderr, "mapart: %s made twice\n", p.name.c_str());
    }
    int missing = 0;
    for (const std::string& n : mapart_names(tiles)) {
        if (!made.count(n)) {
            fprintf(stderr, "mapart: %s was not made\n", n.c_str());
            missing++;
        }
    }
    if (missing || made.size() != placed.size()) return 1;
    if (!mapart_write(data_dir, sheets, placed, images_json, textures_json)) return 1;
    printf("mapart: wrote %zu images on %zu sheets %.2f s\n", placed.size(), sheets.size(), clock.lap());
    for (const ArtSheet& s : sheets) printf("mapart:   %s %d x %d\n", s.fname.c_str(), s.w, s.h);
    printf("mapart: done in %.2f s\n", total.lap());
    return 0;
}
