// Every tutorial played through the real game: chosen on the tutorial list,
// started with Play, past the intro, and won by its recorded solution given
// as clicks on map cells and key presses.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "gfx.h"
#include "harness.h"
#include "logic.h"
#include "mapsource.h"
#include "menu_internal.h"
#include "myview.h"
#include "screenshots.h"
#include "widgets.h"

namespace {

// Where the tutorial list keeps its Play button (bottom centre).
const float LIST_PLAY_X = 480, LIST_PLAY_Y = 690;
// The middle of the canvas, where the camera drags toward.
const float MID_X = CANVAS_W / 2, MID_Y = CANVAS_H / 2;
const int ZOOM_OUT_STEPS = 8;     // wheel steps to the farthest view
const int ZOOM_EASE_TICKS = 25;   // the view eases 2 units a tick
const int REVEAL_DRAGS = 20;
const int TURNS = 8;              // all the way round
const float TURN = 45;
const int WIN_COUNT_TICKS = 90;   // the win screen has counted the score up
const int MIN_COLOURS = 64;       // a drawn screen uses far more
// The README's moving picture: a guard lured away by a time bomb, at twice
// the speed of play (a frame every 6 ticks shown for 0.1 s), at half size.
const char* const MOVIE_MAP = "t08";
const int MOVIE_EVERY = 6, MOVIE_SHRINK = 2, MOVIE_DELAY_MS = 100;
const int MOVIE_WIN_TICKS = 60;   // the win screen counting, at the end
const long MOVIE_BYTES_MAX = 2000000;

struct Replay {
    Harness& h;
    const MapSource& src;
    std::string log;
    ScreenMovie* movie = nullptr;  // the README's moving picture, while it is taken

    void tick() {
        h.tick();
        if (movie) movie->tick(h);
    }

    Entity* player() { return logic_find(h.game(), D_PLAYER); }

    bool standing_on(int x, int y) {
        Entity* p = player();
        return p && p->x == x && p->y == y && p->path_n == 0 && p->dx == 0 && p->dy == 0;
    }

    // Drags the map with the right button until cell (x, y) shows: each drag
    // takes the ground under a point between the middle and the cell to the
    // middle. A cell that a wall hides from this side is seen by turning the
    // camera, as a player would, but at once: the solutions' timing counts.
    bool reveal(int x, int y) {
        float cx, cy;
        for (int turn = 0; turn < TURNS; turn++) {
            for (int i = 0; i < REVEAL_DRAGS; i++) {
                if (h.cell_to_canvas(x, y, &cx, &cy, WBOMB_SIZE)) return true;
                float tx = MID_X, ty = MID_Y;
                if (!project(x + 0.5f, y + 0.5f, &tx, &ty)) break;
                float dx = tx - MID_X, dy = ty - MID_Y;
                float len = std::sqrt(dx * dx + dy * dy);
                if (len < 1) break;  // in the middle, yet hidden
                float reach = MID_Y * 0.8f;  // stay well inside the canvas
                float sx = MID_X + dx / len * reach, sy = MID_Y + dy / len * reach;
                h.move(sx, sy);
                h.move(MID_X, MID_Y, 4);
                h.tick();
            }
            LevelData& lev = h.game().level;
            lev.rotate = lev.trotate = std::fmod(lev.rotate + TURN, 360.0f);
            int w, hh;
            h.pixels(&w, &hh);  // drawn through the turned camera
        }
        return h.cell_to_canvas(x, y, &cx, &cy, WBOMB_SIZE);
    }

    // Canvas point of the middle of a cell's floor, hidden or not.
    bool project(float x, float z, float* cx, float* cy) {
        float wx, wy;
        if (!myview_project(x, 0, z, &wx, &wy)) return false;
        GfxRect p = gfx_hwpos_to_pos(GfxRect(wx, wy, 0, 0));
        *cx = p.x;
        *cy = p.y;
        return true;
    }

    bool play_step(const MapStep& st, const std::string& text) {
        Game& g = h.game();
        int waited = 0;
        switch (st.kind) {
        case MapStep::WALK:
        case MapStep::CLICK:
            if (!reveal(st.x, st.y)) {
                log += "cell " + std::to_string(st.x) + "," + std::to_string(st.y) + " never came into view\n";
                return false;
            }
            h.click_cell(st.x, st.y);
            if (st.kind == MapStep::CLICK) break;
            while (g.state == STATE_LEVEL && !standing_on(st.x, st.y) && waited < MAPSOURCE_WALK_TICKS) {
                tick();
                waited++;
            }
            break;
        case MapStep::BOMB:
            h.key_down(KEY_NONE, '0' + st.n);
            h.key_up(KEY_NONE, '0' + st.n);
            break;
        case MapStep::WAIT:
            for (; waited < st.n && g.state == STATE_LEVEL; waited++) tick();
            break;
        case MapStep::KEYS:
        case MapStep::WIN:
            while (g.state == STATE_LEVEL && waited < MAPSOURCE_WIN_TICKS) {
                tick();
                waited++;
            }
            break;
        }
        Entity* p = player();
        log += text + ": " + std::to_string(waited) + " ticks, player at " +
               (p ? std::to_string(p->x) + "," + std::to_string(p->y) : std::string("-")) + ", screen " +
               std::to_string(g.state) + "\n";
        return true;
    }
};

}  // namespace

TEST(TutorialsPlayed, EveryTutorialIsWonFromTheTutorialList) {
    std::vector<MapSource> maps;
    std::string err;
    ASSERT_TRUE(mapsource_read_dir(VELQUIST_TUTORIAL_DIR, maps, err)) << err;
    Harness h;
    h.start();
    for (size_t i = 0; i < maps.size(); i++) {
        const MapSource& src = maps[i];
        SCOPED_TRACE(src.file);
        std::vector<MapStep> steps;
        ASSERT_TRUE(mapsource_steps(src, steps, err)) << err;

        // The tutorial list opens on the first map; Right moves to the next.
        _menu_cur = 0;
        h.game().next(STATE_MENU_PLAY);
        h.tick();
        for (size_t k = 0; k < i; k++) h.key(KEY_RIGHT);
        ASSERT_STREQ(h.game()._edit.name, src.name.c_str());
        h.click(LIST_PLAY_X, LIST_PLAY_Y);
        ASSERT_EQ(h.game().state, STATE_LEVEL_INTRO);
        EXPECT_EQ(h.game().parent, STATE_MENU_PLAY);
        h.key(KEY_RETURN);
        ASSERT_EQ(h.game().state, STATE_LEVEL);

        // The farthest view shows most of a tutorial at once.
        h.wheel(MID_X, MID_Y, ZOOM_OUT_STEPS);
        h.tick(ZOOM_EASE_TICKS);

        // The last tutorial is also the README's picture of a map in play,
        // taken half way through its solution, and of the win screen.
        bool pictured = i + 1 == maps.size();
        ScreenMovie movie("play-moving", MOVIE_EVERY, MOVIE_SHRINK, MOVIE_DELAY_MS);
        Replay r{h, src, "", src.name == MOVIE_MAP ? &movie : nullptr};
        for (size_t s = 0; s < steps.size() && h.game().state == STATE_LEVEL; s++) {
            if (pictured && s == steps.size() / 2) {
                EXPECT_GT(screenshot(h, "play"), MIN_COLOURS);
            }
            ASSERT_TRUE(r.play_step(steps[s], src.solution[s])) << r.log;
        }
        for (int t = 0; t < MAPSOURCE_WIN_TICKS && h.game().state == STATE_LEVEL; t++) r.tick();
        ASSERT_EQ(h.game().state, STATE_LEVEL_WIN) << r.log;
        if (r.movie && movie.recording()) {
            for (int t = 0; t < MOVIE_WIN_TICKS; t++) r.tick();
            long bytes = movie.write();
            printf("moving picture: %d frames, %ld bytes\n", movie.frames(), bytes);
            EXPECT_GT(bytes, 0);
            EXPECT_LT(bytes, MOVIE_BYTES_MAX);
        }
        if (pictured) {
            h.tick(WIN_COUNT_TICKS);
            EXPECT_GT(screenshot(h, "win"), MIN_COLOURS);
        }
        EXPECT_EQ(h.game().level.c_bonus, h.game().level.t_bonus);
        EXPECT_EQ(h.game().level.t_rewind, 0);
        // Continue goes back to the tutorial list on the next tutorial; after
        // the last one, to the main menu.
        h.key(KEY_RETURN);
        if (i + 1 < maps.size()) {
            EXPECT_EQ(h.game().state, STATE_MENU_PLAY);
            EXPECT_EQ(_menu_cur, (int)i + 1);
        } else {
            EXPECT_EQ(h.game().state, STATE_MENU_MAIN);
        }
    }
}
