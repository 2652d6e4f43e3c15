// The path search: corner cutting, tie-breaking, and a check against a plain
// implementation with ordered maps and sets, step by step as the rules
// describe it, on many random maps.
#include <algorithm>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "logic_literal_astar.h"
#include "logic_world.h"

static std::vector<std::pair<int, int>> cells(const std::vector<Point>& route) {
    std::vector<std::pair<int, int>> out;
    for (const Point& p : route) out.push_back({p.x, p.y});
    return out;
}

static std::vector<std::pair<int, int>> search(World& w, int x0, int y0, int x1, int y1) {
    logic_info(w.g());
    return cells(astar(Point(&w.g(), x0, y0), Point(&w.g(), x1, y1)));
}

TEST(LogicAstar, NeighboursAndCostsFollowTheGrid) {
    World w;
    w.set(11, 10, T_WALL);
    logic_info(w.g());
    Point p(&w.g(), 10, 10);
    std::vector<Point> next;
    p.successors(next);
    // Up, (right is a wall), down, left, up-left, (up-right and down-right pass the wall's corner), down-left.
    std::vector<std::pair<int, int>> expect = {{10, 9}, {10, 11}, {9, 10}, {9, 9}, {9, 11}};
    EXPECT_EQ(cells(next), expect);
    EXPECT_EQ(p.cost(Point(&w.g(), 10, 10)), 0.0f);
    EXPECT_EQ(p.cost(Point(&w.g(), 10, 11)), 1.0f);
    EXPECT_EQ(p.cost(Point(&w.g(), 11, 11)), 1.41421f);
    EXPECT_EQ(p.estimate(Point(&w.g(), 13, 6)), 7.0f) << "Manhattan, also for diagonals";
    EXPECT_FALSE(Point(&w.g(), 3, 10).valid());
    EXPECT_FALSE(Point(&w.g(), 10, 124).valid());
    EXPECT_TRUE(Point(&w.g(), 123, 123).valid());
}

TEST(LogicAstar, NeverCutsTheCornerOfASolidCell) {
    World w;
    w.set(11, 10, T_WALL);
    std::vector<std::pair<int, int>> around = {{10, 10}, {10, 11}, {11, 11}};
    EXPECT_EQ(search(w, 10, 10, 11, 11), around);
    w.set(10, 11, T_WALL);
    // Between two walls touching at a corner: the long way round.
    std::vector<std::pair<int, int>> route = search(w, 10, 10, 11, 11);
    ASSERT_GT(route.size(), 3u);
    for (size_t i = 1; i < route.size(); i++) {
        int x0 = route[i - 1].first, y0 = route[i - 1].second, x1 = route[i].first, y1 = route[i].second;
        EXPECT_FALSE(w.g().ext.info[y0][x1] & INFO_SOLID) << i;
        EXPECT_FALSE(w.g().ext.info[y1][x0] & INFO_SOLID) << i;
    }
}

TEST(LogicAstar, EqualPathsGoByTheLowerRowThenTheLowerColumn) {
    // A wall straight across the way: going round it left or right costs the
    // same; the search expands the lower column first and so goes left.
    World w;
    w.draw(19, 22, {"###"});
    std::vector<std::pair<int, int>> left = {{20, 20}, {19, 21}, {18, 21}, {18, 22},
                                             {18, 23}, {19, 24}, {20, 24}};
    EXPECT_EQ(search(w, 20, 20, 20, 24), left);
    // Turned on its side, the lower row wins: round the top.
    World t;
    t.draw(22, 19, {"#", "#", "#"});
    std::vector<std::pair<int, int>> top = {{20, 20}, {21, 19}, {21, 18}, {22, 18},
                                            {23, 18}, {24, 19}, {24, 20}};
    EXPECT_EQ(search(t, 20, 20, 24, 20), top);
}

TEST(LogicAstar, StartOrGoalBlockedOrOffTheMapGivesNothing) {
    World w;
    w.set(30, 30, T_WALL);
    EXPECT_TRUE(search(w, 30, 30, 40, 40).empty());
    EXPECT_TRUE(search(w, 40, 40, 30, 30).empty());
    EXPECT_TRUE(search(w, 40, 40, 124, 40).empty());
    EXPECT_TRUE(search(w, -1, 40, 50, 40).empty());
    std::vector<std::pair<int, int>> self = {{40, 40}};
    EXPECT_EQ(search(w, 40, 40, 40, 40), self);
    w.draw(50, 50, {"###", "#.#", "###"});
    EXPECT_TRUE(search(w, 40, 40, 51, 51).empty()) << "walled in";
}

TEST(LogicAstar, MatchesTheLiteralSearchOnRandomMaps) {
    std::mt19937 rng(20240611);
    World w;
    int compared = 0, found = 0;
    for (int map = 0; map < 60; map++) {
        w.fill(T_FLOOR);
        int density = (int)(rng() % 45);
        for (int y = MAP_MIN; y <= MAP_MAX; y++)
            for (int x = MAP_MIN; x <= MAP_MAX; x++)
                if ((int)(rng() % 100) < density) w.set(x, y, (rng() % 2) ? T_WALL : T_PLANT);
        // Some maps get long walls with gaps, which make the search wander;
        // some walls have none and cut the map in parts with no way between.
        if (map % 3 == 0) {
            for (int k = 0; k < 10; k++) {
                int y = MAP_MIN + (int)(rng() % 120), gap = MAP_MIN + (int)(rng() % 120);
                if (map % 2 == 0 && k < 2) gap = -1;
                for (int x = MAP_MIN; x <= MAP_MAX; x++)
                    if (x != gap) w.set(x, y, T_WALL);
            }
        }
        logic_info(w.g());
        int span = map % 2 ? 120 : 30;  // far and near goals
        for (int q = 0; q < 6; q++) {
            int x0 = MAP_MIN + (int)(rng() % 120), y0 = MAP_MIN + (int)(rng() % 120);
            int x1 = std::min((int)MAP_MAX, std::max((int)MAP_MIN, x0 + (int)(rng() % (2 * span + 1)) - span));
            int y1 = std::min((int)MAP_MAX, std::max((int)MAP_MIN, y0 + (int)(rng() % (2 * span + 1)) - span));
            w.set(x0, y0, T_FLOOR);
            w.set(x1, y1, T_FLOOR);
            logic_info(w.g());
            Point a(&w.g(), x0, y0), b(&w.g(), x1, y1);
            std::vector<Point> fast = astar(a, b), slow = literal_astar(a, b);
            ASSERT_EQ(cells(fast), cells(slow)) << "map " << map << " from " << x0 << "," << y0 << " to "
                                                << x1 << "," << y1;
            compared++;
            found += !fast.empty();
        }
    }
    EXPECT_EQ(compared, 360);
    EXPECT_GT(found, 100) << "most searches should find a way";
    EXPECT_LT(found, compared) << "and some should not";
}
