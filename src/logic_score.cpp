// The points of a win: time, Data Cartridges and bombs left, each capped.
#include <algorithm>

#include "logic.h"

int logic_points_time(int timer) {
    int seconds = (int)std::max(0.0f, (float)(LOGIC_POINTS_TIME_LIMIT - timer / TICKS_PER_SECOND));
    seconds = std::min(seconds, (int)LOGIC_POINTS_TIME_LIMIT);  // a damaged, negative timer
    return seconds * LOGIC_POINTS_FULL / LOGIC_POINTS_TIME_LIMIT;
}

int logic_points_bonus(int c_bonus, int t_bonus) {
    // A damaged record may claim more cartridges than the map holds.
    long long p = (long long)c_bonus * LOGIC_POINTS_FULL / std::max(1, t_bonus);
    return (int)std::max(0LL, std::min((long long)LOGIC_POINTS_FULL, p));
}

int logic_points_extra(int t_extra) {
    int bombs = (int)std::max(0.0f, std::min((float)LOGIC_POINTS_BOMBS_LIMIT, (float)t_extra));
    return bombs * LOGIC_POINTS_FULL / LOGIC_POINTS_BOMBS_LIMIT;
}

int logic_points(const LevelData& lev) {
    return LOGIC_POINTS_BASE + logic_points_time(lev.timer) + logic_points_bonus(lev.c_bonus, lev.t_bonus) +
           logic_points_extra(lev.t_extra);
}
