// The actors: a jointed low-poly figure (the player in a cyan suit, guards in
// dark rust uniforms with amber accents and caps), posed for standing, walking,
// running, shooting and dying, and rendered into sprite frames.
#include <algorithm>
#include <cmath>

#include "mapart.h"

namespace {

const float kPi = 3.14159265358979f;

// Body measures in world units (the figure stands about 1.7 tall).
const float kHipHeight = 0.8f;
const float kHipSide = 0.1f;
const float kThigh = 0.37f;
const float kShin = 0.37f;
const float kAnkleHeight = 0.075f;  // ankle above the sole
const float kTorso = 0.54f;         // pelvis to the base of the neck
const float kShoulderSide = 0.2f;
const float kShoulderDrop = 0.05f;
const float kUpperArm = 0.28f;
const float kForearm = 0.26f;
const float kNeck = 0.06f;
const float kHeadRadius = 0.14f;
// Direction of a fall on screen: mostly across, somewhat away from the viewer.
const float kFallAcross = 0.85f;
const float kFallAway = 0.55f;

enum Part {
    P_TORSO = 1, P_PELVIS, P_HEAD, P_ARM_L, P_FOREARM_L, P_ARM_R, P_FOREARM_R,
    P_THIGH_L, P_SHIN_L, P_THIGH_R, P_SHIN_R, P_GEAR, P_GUN, P_FLASH,
};

struct Pose {
    float lean = 0;                 // torso pitch, degrees forward
    float hip[2] = {0, 0};          // leg swing, degrees forward (left, right)
    float knee[2] = {0, 0};         // knee bend, degrees
    float shoulder[2] = {0, 0};     // arm swing, degrees forward
    float spread[2] = {6, 6};       // arm swing outwards, degrees
    float elbow[2] = {8, 8};        // elbow bend, degrees
    float turn[2] = {0, 0};         // arm turn in towards the middle, degrees
    float head = 0;                 // head pitch, degrees forward
    float fall = 0;                 // whole-body fall, degrees (0 standing, 90 lying)
    bool gun_up = false;
    float flash = 0;                // size of the muzzle flash, 0 for none
    float recoil = 0;               // units the gun arm is pushed back
};

struct Palette {
    ArtColor top, legs, boots, skin, hair, accent, gear, detail;
};

Palette _palette(ArtActor who) {
    Palette p;
    if (who == ART_PLAYER) {
        p.top = mapart_rgb(0x36d6df);
        p.legs = mapart_rgb(0x1f9fb0);
        p.boots = mapart_rgb(0x1a2438);
        p.skin = mapart_rgb(0xf0c49c);
        p.hair = mapart_rgb(0x2a2230);
        p.accent = mapart_rgb(0xffb545);
        p.gear = mapart_rgb(0x1e2a44);
        p.detail = mapart_rgb(0x9ff6ff);
    } else {
        // Warm and dark: rust uniforms with amber bands stand apart from
        // the player's cyan and from the blue-grey stone.
        p.top = mapart_rgb(0x4e1f0e);
        p.legs = mapart_rgb(0x2e160c);
        p.boots = mapart_rgb(0x140c08);
        p.skin = mapart_rgb(0xe2b28c);
        p.hair = mapart_rgb(0x2a1810);
        p.accent = mapart_rgb(0xffa126);
        p.gear = mapart_rgb(0x1c1410);
        p.detail = mapart_rgb(0x4a3a30);
    }
    return p;
}

float _wave(int frame, float shift) { return std::sin(2 * kPi * (frame / (float)MAPART_FRAMES + shift)); }

Pose _pose_walk(int frame, bool run) {
    Pose p;
    float s = _wave(frame, 0), c = _wave(frame, 0.25f);
    float swing = run ? 36 : 21, knee = run ? 75 : 36, arm = run ? 42 : 22;
    p.lean = run ? 16 : 3;
    p.hip[0] = swing * s;
    p.hip[1] = -swing * s;
    p.knee[0] = 6 + knee * std::max(0.0f, c);
    p.knee[1] = 6 + knee * std::max(0.0f, -c);
    p.shoulder[0] = -arm * s;
    p.shoulder[1] = arm * s;
    float bend = run ? 85 : 18;
    p.elbow[0] = bend + (run ? 10 * s : 6 * std::max(0.0f, -s));
    p.elbow[1] = bend + (run ? -10 * s : 6 * std::max(0.0f, s));
    p.spread[0] = p.spread[1] = run ? 10 : 7;
    p.head = run ? -8 : 0;
    return p;
}

Pose _pose_shoot(int frame) {
    Pose p;
    // Two shots a cycle: a flash and a kick, then the arm settles.
    int k = frame % 4;
    p.gun_up = true;
    p.flash = k == 0 ? 1.0f : (k == 1 ? 0.45f : 0.0f);
    p.recoil = k == 0 ? 0.06f : (k == 1 ? 0.03f : 0);
    p.lean = 4 - (k == 0 ? 3 : 0);
    p.hip[0] = 14;
    p.hip[1] = -10;
    p.knee[0] = 12;
    p.knee[1] = 6;
    p.shoulder[1] = 86 + (k == 0 ? 6 : 0);
    p.spread[1] = 0;
    p.turn[1] = 10;
    p.elbow[1] = 0;
    p.shoulder[0] = 72;
    p.spread[0] = 0;
    p.turn[0] = 38;
    p.elbow[0] = 18;
    return p;
}

Pose _pose_die(int frame) {
    Pose p;
    float t = frame / (float)(MAPART_FRAMES - 1);
    // Hit, buckle, topple, land, lie still.
    float fall = t < 0.15f ? 0 : std::min(1.0f, (t - 0.15f) / 0.7f);
    fall = fall * fall * (3 - 2 * fall);
    p.fall = 90 * fall;
    float buckle = std::sin(std::min(1.0f, t * 1.6f) * kPi);
    p.knee[0] = 10 + 45 * buckle + 12 * t;
    p.knee[1] = 6 + 30 * buckle + 20 * t;
    p.hip[0] = 10 + 25 * buckle;
    p.hip[1] = 4 + 15 * buckle;
    p.lean = -18 * std::min(1.0f, t * 3) + 14 * buckle * t;
    float fling = std::min(1.0f, t * 2.5f);
    p.shoulder[0] = -30 * fling + 40 * t;
    p.shoulder[1] = -20 * fling + 70 * t;
    p.spread[0] = 10 + 55 * fling;
    p.spread[1] = 10 + 40 * fling;
    p.elbow[0] = 20 + 30 * (1 - t);
    p.elbow[1] = 35;
    p.head = -25 * fling + 10 * t;
    return p;
}

Pose _pose_salute() {
    Pose p;
    p.shoulder[1] = 165;
    p.spread[1] = 12;
    p.elbow[1] = 12;
    p.shoulder[0] = -12;
    p.spread[0] = 38;
    p.elbow[0] = 95;
    p.hip[0] = 8;
    p.knee[0] = 10;
    p.head = -12;
    return p;
}

Pose _pose(ArtMove move, int frame) {
    switch (move) {
        case ART_SALUTE: return _pose_salute();
        case ART_WALK: return _pose_walk(frame, false);
        case ART_RUN: return _pose_walk(frame, true);
        case ART_SHOOT: return _pose_shoot(frame);
        case ART_DIE: return _pose_die(frame);
        default: break;
    }
    return Pose();
}

// A limb direction: straight down, raised `roll` degrees out to the side
// `side` (+1 right, -1 left), swung `pitch` degrees forward, then turned
// `turn` degrees in towards the body's middle.
ArtVec _swing(float pitch, float roll, float side, float turn = 0) {
    float a = pitch * kPi / 180, b = roll * kPi / 180, c = -side * turn * kPi / 180;
    float x = side * std::sin(b), y = -std::cos(b) * std::cos(a), z = std::cos(b) * std::sin(a);
    return art_vec(x * std::cos(c) + z * std::sin(c), y, -x * std::sin(c) + z * std::cos(c));
}

struct Legs {
    ArtVec hip[2], knee[2], ankle[2];
    float shin_pitch[2];
};

Legs _legs(const Pose& p, float lift) {
    Legs l;
    for (int s = 0; s < 2; s++) {
        float side = s == 0 ? -1.0f : 1.0f;
        l.hip[s] = art_vec(side * kHipSide, kHipHeight + lift, 0);
        l.knee[s] = l.hip[s] + _swing(p.hip[s], 0, side) * kThigh;
        l.shin_pitch[s] = p.hip[s] - p.knee[s];
        l.ankle[s] = l.knee[s] + _swing(l.shin_pitch[s], 0, side) * kShin;
    }
    return l;
}

void _add_leg(ArtMesh& m, const Legs& l, int s, const Palette& pal) {
    m.col = pal.legs;
    m.part = s == 0 ? P_THIGH_L : P_THIGH_R;
    mapart_limb(m, l.hip[s], l.knee[s], 0.078f, 0.066f);
    m.part = s == 0 ? P_SHIN_L : P_SHIN_R;
    mapart_limb(m, l.knee[s], l.ankle[s] + art_vec(0, 0.04f, 0), 0.064f, 0.056f);
    // Boot: a block that follows the shin a little and keeps its sole level when planted.
    m.col = pal.boots;
    float pitch = std::max(-40.0f, std::min(40.0f, l.shin_pitch[s] * 0.5f));
    ArtMat at = art_mul(art_translate(l.ankle[s].x, l.ankle[s].y, l.ankle[s].z), art_rot_x(-pitch));
    mapart_box(m, art_mul(at, art_translate(0, -0.03f, 0.05f)), 0.055f, 0.05f, 0.115f);
}

void _add_arm(ArtMesh& m, const Pose& p, int s, ArtVec shoulder, ArtMat torso, const Palette& pal,
              ArtActor who, ArtVec* hand_out) {
    float side = s == 0 ? -1.0f : 1.0f;
    ArtVec up_dir = art_apply_dir(torso, _swing(p.shoulder[s], p.spread[s], side, p.turn[s]));
    ArtVec elbow = shoulder + up_dir * kUpperArm;
    ArtVec fore_dir = art_apply_dir(torso, _swing(p.shoulder[s] + p.elbow[s], p.spread[s] * 0.5f, side, p.turn[s] * 1.3f));
    ArtVec hand = elbow + fore_dir * kForearm;
    if (s == 1 && p.recoil > 0) {
        elbow = elbow + art_vec(0, 0.01f, -p.recoil * 0.5f);
        hand = hand + art_vec(0, 0.02f, -p.recoil);
    }
    m.col = pal.top;
    m.part = s == 0 ? P_ARM_L : P_ARM_R;
    mapart_limb(m, shoulder, elbow, 0.062f, 0.054f);
    if (who == ART_GUARD) {
        // Red armband halfway down the upper arm.
        m.col = pal.accent;
        ArtVec mid = shoulder + up_dir * (kUpperArm * 0.55f);
        mapart_cylinder(m, art_between(mid - up_dir * 0.035f, mid + up_dir * 0.035f, art_vec(1, 0, 0)),
                        0.066f, 0.064f, 0.07f, 10, false);
    }
    m.col = who == ART_PLAYER ? pal.legs : pal.top;
    m.part = s == 0 ? P_FOREARM_L : P_FOREARM_R;
    mapart_limb(m, elbow, hand, 0.052f, 0.046f);
    m.col = who == ART_PLAYER ? pal.boots : pal.skin;
    mapart_sphere(m, art_translate(hand.x, hand.y, hand.z), 0.052f, 5, 8);
    *hand_out = hand;
}

void _add_head(ArtMesh& m, const Pose& p, ArtMat torso, const Palette& pal, ArtActor who) {
    ArtVec neck = art_apply(torso, art_vec(0, kTorso, 0));
    ArtMat head = art_mul(torso, art_mul(art_translate(0, kTorso + kNeck + kHeadRadius, 0.01f), art_rot_x(p.head)));
    m.part = P_HEAD;
    m.col = pal.skin;
    mapart_limb(m, neck - art_apply_dir(torso, art_vec(0, 0.04f, 0)), art_apply(head, art_vec(0, -0.06f, 0)), 0.05f, 0.05f);
    mapart_sphere(m, art_mul(head, art_scale(0.95f, 1.05f, 1.0f)), kHeadRadius, 8, 12);
    if (who == ART_PLAYER) {
        // Short dark hair over the crown and the back, amber goggles in front.
        m.col = pal.hair;
        mapart_sphere(m, art_mul(head, art_mul(art_translate(0, 0.045f, -0.035f), art_scale(1.02f, 0.9f, 1.0f))),
                      kHeadRadius * 0.98f, 8, 12);
        m.col = pal.accent;
        m.part = P_GEAR;
        mapart_box(m, art_mul(head, art_translate(0, 0.01f, 0.118f)), 0.1f, 0.032f, 0.035f);
        m.col = pal.gear;
        mapart_cylinder(m, art_mul(head, art_translate(0, -0.01f, 0)), kHeadRadius * 1.02f, kHeadRadius * 1.02f,
                        0.035f, 12, false);
    } else {
        // Cap: a dark crown with a red band and a black peak over the eyes.
        m.part = P_GEAR;
        m.col = pal.hair;
        mapart_cylinder(m, art_mul(head, art_translate(0, 0.06f, -0.01f)), 0.142f, 0.158f, 0.09f, 14, true);
        m.col = pal.accent;
        mapart_cylinder(m, art_mul(head, art_translate(0, 0.055f, -0.01f)), 0.146f, 0.146f, 0.035f, 14, false);
        m.col = pal.boots;
        mapart_box(m, art_mul(head, art_mul(art_translate(0, 0.06f, 0.15f), art_rot_x(10))), 0.1f, 0.012f, 0.06f);
    }
}

void _add_gun(ArtMesh& m, const Pose& p, ArtVec hand, ArtMat torso, const Palette& pal) {
    m.part = P_GUN;
    m.col = pal.detail;
    ArtVec fwd = art_norm(art_apply_dir(torso, art_vec(0, 0, 1)));
    ArtMat at = art_between(hand, hand + fwd, art_vec(1, 0, 0));
    mapart_box(m, art_mul(at, art_translate(0, 0.09f, 0.015f)), 0.03f, 0.14f, 0.035f);
    mapart_box(m, art_mul(at, art_translate(0, 0.0f, -0.04f)), 0.025f, 0.03f, 0.06f);
    if (p.flash <= 0) return;
    // Muzzle flash: an unlit star at the barrel's end.
    m.part = P_FLASH;
    m.flags = ART_EMISSIVE | ART_NO_OUTLINE;
    ArtVec tip = hand + fwd * 0.26f;
    const int rays = 8;
    for (int i = 0; i < rays; i++) {
        float a = 2 * kPi * i / rays;
        float len = (i % 2 ? 0.13f : 0.26f) * p.flash;
        ArtVec dir = art_norm(art_vec(std::cos(a), std::sin(a), 0.6f));
        ArtMat ray = art_between(tip, tip + dir * len, art_vec(1, 0, 0));
        m.col = mapart_rgb(0xffd36a);
        mapart_cylinder(m, ray, 0.045f * p.flash, 0.0f, len, 5, false);
    }
    m.col = mapart_rgb(0xfff6d0);
    mapart_sphere(m, art_translate(tip.x, tip.y, tip.z), 0.085f * p.flash, 5, 8);
    m.flags = ART_LIT;
}

void _add_body(ArtMesh& m, const Pose& p, ArtMat torso, const Palette& pal, ArtActor who) {
    m.part = P_PELVIS;
    m.col = pal.legs;
    mapart_box(m, art_mul(torso, art_translate(0, 0.02f, 0)), 0.15f, 0.08f, 0.095f);
    m.part = P_TORSO;
    m.col = pal.top;
    mapart_cylinder(m, art_mul(torso, art_mul(art_translate(0, 0.05f, 0), art_scale(1, 1, 0.62f))), 0.15f, 0.2f,
                    kTorso - 0.08f, 12, true);
    mapart_sphere(m, art_mul(torso, art_mul(art_translate(0, kTorso - 0.05f, 0), art_scale(1, 0.45f, 0.62f))),
                  0.205f, 6, 12);
    // Belt.
    m.col = who == ART_PLAYER ? pal.accent : pal.gear;
    mapart_cylinder(m, art_mul(torso, art_mul(art_translate(0, 0.06f, 0), art_scale(1, 1, 0.66f))), 0.158f, 0.16f,
                    0.05f, 12, false);
    m.part = P_GEAR;
    if (who == ART_PLAYER) {
        // Backpack with a glowing strip: shows which way the figure faces.
        m.col = pal.gear;
        mapart_box(m, art_mul(torso, art_translate(0, 0.3f, -0.15f)), 0.13f, 0.15f, 0.06f);
        m.col = pal.detail;
        m.flags = ART_EMISSIVE;
        mapart_box(m, art_mul(torso, art_translate(0, 0.3f, -0.212f)), 0.07f, 0.02f, 0.004f);
        m.flags = ART_LIT;
    } else {
        // Red chest stripe, a holster when the gun is away.
        m.col = pal.accent;
        mapart_box(m, art_mul(torso, art_translate(-0.08f, 0.36f, 0.11f)), 0.045f, 0.018f, 0.02f);
        if (!p.gun_up) {
            m.col = pal.gear;
            mapart_box(m, art_mul(torso, art_translate(0.17f, 0.0f, 0.02f)), 0.035f, 0.07f, 0.05f);
        }
    }
}

}  // namespace

ArtMesh mapart_figure(ArtActor who, ArtMove move, int frame, ArtVec fall_dir) {
    Pose p = _pose(move, frame);
    Palette pal = _palette(who);
    ArtMesh m;
    // Lift the body so that the lower foot stands on the ground.
    Legs probe = _legs(p, 0);
    float lift = kAnkleHeight - std::min(probe.ankle[0].y, probe.ankle[1].y);
    if (move == ART_DIE) lift = std::min(lift, 0.0f);
    Legs legs = _legs(p, lift);
    ArtMat torso = art_mul(art_translate(0, kHipHeight + lift + 0.02f, 0), art_rot_x(p.lean));
    _add_leg(m, legs, 0, pal);
    _add_leg(m, legs, 1, pal);
    _add_body(m, p, torso, pal, who);
    ArtVec hand[2];
    for (int s = 0; s < 2; s++) {
        float side = s == 0 ? -1.0f : 1.0f;
        ArtVec shoulder = art_apply(torso, art_vec(side * kShoulderSide, kTorso - kShoulderDrop, 0));
        _add_arm(m, p, s, shoulder, torso, pal, who, &hand[s]);
    }
    _add_head(m, p, torso, pal, who);
    if (who == ART_GUARD && p.gun_up) _add_gun(m, p, hand[1], torso, pal);
    if (p.fall != 0) {
        // Topple about the edge of the heels on the side of the fall.
        ArtVec dir = art_norm(art_vec(fall_dir.x, 0, fall_dir.z));
        ArtVec pivot = dir * 0.14f;
        ArtMat fall = art_mul(art_translate(pivot.x, 0.02f, pivot.z),
                              art_mul(art_rotate(art_vec(dir.z, 0, -dir.x), p.fall), art_translate(-pivot.x, 0, -pivot.z)));
        for (ArtTri& t : m.tris) {
            for (int k = 0; k < 3; k++) {
                t.p[k] = art_apply(fall, t.p[k]);
                t.n[k] = art_apply_dir(fall, t.n[k]);
            }
        }
    }
    return m;
}

static void _shift(ArtMesh& m, float dr, float dt) {
    for (ArtTri& t : m.tris) {
        for (int k = 0; k < 3; k++) t.p[k] = t.p[k] + art_vec(dr, 0, dt);
    }
}

ArtCanvas mapart_actor_frame(ArtActor who, ArtMove move, int dir, int frame) {
    float fr = 0, ft = 1;
    mapart_sprite_facing(dir, &fr, &ft);
    // A dying figure falls away from the viewer and to the side, towards its
    // back where it can: the floor in front of the billboard would hide a
    // body lying towards the viewer, and one lying straight away reads as
    // standing. It slides as it falls so that it ends centred and behind the
    // billboard's plane.
    float side = fr < 0 ? 1.0f : (fr > 0 ? -1.0f : (ft > 0 ? 1.0f : -1.0f));
    float gr = side * kFallAcross, gt = -kFallAway;
    ArtVec fall = art_vec(gr * -ft + gt * fr, 0, gr * fr + gt * ft);  // into the figure's own axes
    ArtMesh m = mapart_face(mapart_figure(who, move, frame, fall), fr, ft);
    if (move == ART_DIE) {
        ArtMesh last = mapart_face(mapart_figure(who, move, MAPART_FRAMES - 1, fall), fr, ft);
        float r0 = 1e9f, r1 = -1e9f, t1 = -1e9f;
        for (const ArtTri& t : last.tris) {
            for (int k = 0; k < 3; k++) {
                r0 = std::min(r0, t.p[k].x);
                r1 = std::max(r1, t.p[k].x);
                t1 = std::max(t1, t.p[k].z);
            }
        }
        float progress = frame / (float)(MAPART_FRAMES - 1);
        float dt = std::min(0.0f, MAPART_ACTOR_LEAD + 0.05f - t1);
        _shift(m, -(r0 + r1) / 2 * progress, dt * progress);
    }
    ArtView v = mapart_view_billboard(MAPART_SPRITE, MAPART_GROUND_ROW, MAPART_COL_PER_UNIT, MAPART_ACTOR_LEAD,
                                      MAPART_SCALE);
    ArtLook look;
    int size = MAPART_SPRITE * MAPART_SCALE;
    return mapart_render(m, v, size, size, look, MAPART_SCALE);
}
