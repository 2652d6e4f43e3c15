// The path search exactly as the rules describe it, with an open map, a
// closed map and an ordered open set: the reference the fast search in
// logic_path.cpp must match point for point (tests and benchmarks).
#pragma once

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "logic.h"

inline std::vector<Point> literal_astar(Point start, Point goal) {
    std::vector<Point> out;
    if (!start.valid() || !goal.valid()) return out;
    std::map<Point, Node> open, closed;
    std::set<Node> open_set;
    Node first;
    first.parent = start;
    first.p = start;
    first.g = 0;
    first.h = start.estimate(goal);
    first.f = first.g + first.h;
    open[start] = first;
    open_set.insert(first);
    Node last;
    while (!open.empty()) {
        Node cur = *open_set.begin();
        open_set.erase(open_set.begin());
        open.erase(cur.p);
        closed[cur.p] = cur;
        last = cur;
        if (cur.p == goal) break;
        std::vector<Point> next;
        cur.p.successors(next);
        for (const Point& s : next) {
            Node n;
            n.parent = cur.p;
            n.g = cur.g + cur.p.cost(s);
            n.p = s;
            n.h = s.estimate(goal);
            n.f = n.g + n.h;
            if (closed.count(s)) continue;
            auto it = open.find(s);
            if (it != open.end()) {
                if (!(n.f < it->second.f)) continue;
                open_set.erase(it->second);
            }
            open[s] = n;
            open_set.insert(n);
        }
    }
    if (last.p != goal) return out;
    for (Node k = closed[goal];; k = closed[k.parent]) {
        out.push_back(k.p);
        if (k.g == 0) break;
    }
    std::reverse(out.begin(), out.end());
    return out;
}
