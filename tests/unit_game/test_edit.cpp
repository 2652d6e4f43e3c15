// The editor's undo ring, its palette list and the reading of bomb fields,
// on the Game record alone.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "edit_internal.h"
#include "logic.h"

namespace {

std::unique_ptr<Game> new_map() {
    std::unique_ptr<Game> g(new Game());
    logic_new(*g);
    g->_edit.dirty = 0;
    return g;
}

// The i-th of a run of distinct playable cells.
void cell(int i, int* x, int* y) {
    *x = MAP_MIN + i % 100;
    *y = MAP_MIN + 10 + i / 100;
}

}  // namespace

TEST(EditUndo, ChangeRecordsTheOldTileAndMarksTheMap) {
    auto g = new_map();
    edit_change(*g, 10, 11, 5);
    EXPECT_EQ(g->_edit.data[11][10], 5);
    EXPECT_EQ(g->_edit.dirty, 1);
    EXPECT_EQ(g->ext.undo_n, 1);
    const UndoData& u = g->ext.undo[0];
    EXPECT_EQ(u.n, 0);
    EXPECT_EQ(u.x, 10);
    EXPECT_EQ(u.y, 11);
    EXPECT_EQ(u.prev, TILE_EMPTY);
    EXPECT_EQ(u.cur, 5);
    // The play copy is not the editor's business.
    EXPECT_EQ(g->level.data[11][10], TILE_EMPTY);
}

TEST(EditUndo, NothingOutsideThePlayableAreaOrWithoutAChange) {
    auto g = new_map();
    const int outside[][2] = {{3, 50}, {124, 50}, {50, 3}, {50, 124}, {-1, -1}, {500, 50}};
    for (const auto& c : outside) edit_change(*g, c[0], c[1], 5);
    edit_change(*g, 64, 64, TILE_START);  // the tile it already holds
    edit_change(*g, 20, 20, -3);
    edit_change(*g, 20, 20, TILE_MAX);
    EXPECT_EQ(g->ext.undo_n, 0);
    EXPECT_EQ(g->_edit.dirty, 0);
    EXPECT_EQ(g->_edit.data[50][3], TILE_BORDER);
    EXPECT_EQ(g->_edit.data[20][20], TILE_EMPTY);
    // The edges of the playable area do take paint.
    edit_change(*g, MAP_MIN, MAP_MAX, 5);
    edit_change(*g, MAP_MAX, MAP_MIN, 5);
    EXPECT_EQ(g->ext.undo_n, 2);
}

TEST(EditUndo, TheRingRestoresTheLast128Changes) {
    auto g = new_map();
    const int changes = 130;
    for (int i = 0; i < changes; i++) {
        int x, y;
        cell(i, &x, &y);
        edit_change(*g, x, y, 5);
    }
    EXPECT_EQ(g->ext.undo_n, changes);
    for (int i = 0; i < changes - 1; i++) edit_undo(*g);
    EXPECT_EQ(g->ext.undo_n, 1);
    for (int i = 0; i < changes; i++) {
        int x, y;
        cell(i, &x, &y);
        // The two oldest changes were overwritten in the ring and stay painted.
        EXPECT_EQ(g->_edit.data[y][x], i < changes - UNDO_MAX ? 5 : TILE_EMPTY) << "change " << i;
    }
    edit_undo(*g);
    EXPECT_EQ(g->ext.undo_n, 0);
    edit_undo(*g);
    EXPECT_EQ(g->ext.undo_n, 0);

    // Redo walks forward only over records still in the ring, from the
    // cursor: serials 0 and 1 are gone, so nothing comes back.
    edit_redo(*g);
    EXPECT_EQ(g->ext.undo_n, 0);
}

TEST(EditUndo, RedoReappliesUntilANewChangeDropsTheChain) {
    auto g = new_map();
    for (int i = 0; i < 5; i++) edit_change(*g, 10 + i, 10, 5);
    for (int i = 0; i < 3; i++) edit_undo(*g);
    EXPECT_EQ(g->_edit.data[10][12], TILE_EMPTY);
    edit_redo(*g);
    EXPECT_EQ(g->_edit.data[10][12], 5);
    EXPECT_EQ(g->ext.undo_n, 3);

    edit_change(*g, 40, 40, 7);
    EXPECT_EQ(g->ext.undo_n, 4);
    g->_edit.dirty = 0;
    edit_redo(*g);
    edit_redo(*g);
    EXPECT_EQ(g->ext.undo_n, 4);
    EXPECT_EQ(g->_edit.data[10][13], TILE_EMPTY);
    EXPECT_EQ(g->_edit.data[10][14], TILE_EMPTY);
    EXPECT_EQ(g->_edit.dirty, 0);

    // Undo and redo each mark the map as changed.
    edit_undo(*g);
    EXPECT_EQ(g->_edit.data[40][40], TILE_EMPTY);
    EXPECT_EQ(g->_edit.dirty, 1);
    g->_edit.dirty = 0;
    edit_redo(*g);
    EXPECT_EQ(g->_edit.data[40][40], 7);
    EXPECT_EQ(g->_edit.dirty, 1);
}

TEST(EditUndo, ResetEmptiesTheRingButKeepsTheMap) {
    auto g = new_map();
    edit_change(*g, 10, 10, 5);
    g->ext.info[10][10] = INFO_SOLID;
    edit_reset(*g);
    EXPECT_EQ(g->ext.undo_n, 0);
    for (const UndoData& u : g->ext.undo) EXPECT_EQ(u.n, 0);
    EXPECT_EQ(g->ext.info[10][10], INFO_SOLID);
    EXPECT_EQ(g->_edit.data[10][10], 5);
    edit_undo(*g);
    EXPECT_EQ(g->_edit.data[10][10], 5);
}

TEST(EditUndo, ADamagedSerialStartsAFreshRing) {
    auto g = new_map();
    for (int bad : {-1, -129, 2147483647}) {
        g->ext.undo_n = bad;
        edit_undo(*g);
        edit_redo(*g);
        EXPECT_EQ(g->ext.undo_n, 0);
        g->ext.undo_n = bad;
        edit_change(*g, 30, 30 + (bad & 7), 5);
        EXPECT_EQ(g->ext.undo_n, 1);
        edit_undo(*g);
        EXPECT_EQ(g->_edit.data[30 + (bad & 7)][30], TILE_EMPTY);
    }
}

TEST(EditPalette, GroupsInOrderThenTileNumbers) {
    auto g = new_map();
    g->tiles[9].editor = 2;
    g->tiles[3].editor = 1;
    g->tiles[200].editor = 1;
    g->tiles[1].editor = 7;
    g->tiles[5].editor = 8;  // no such group: left out
    _edit_map_built = 0;
    edit_map_init(*g);
    const int want[] = {3, 200, 9, 1};
    for (int i = 0; i < EDIT_MAP_MAX; i++) EXPECT_EQ(_edit_map[i], i < 4 ? want[i] : 0) << i;

    // Built once: a later catalogue change does not rebuild it.
    g->tiles[4].editor = 1;
    edit_map_init(*g);
    EXPECT_EQ(_edit_map[0], 3);
    _edit_map_built = 0;
}

TEST(EditPalette, KeepsTheFirst64) {
    auto g = new_map();
    for (int t = 0; t < TILE_MAX; t++) g->tiles[t].editor = t < 100 ? 3 : 1;
    _edit_map_built = 0;
    edit_map_init(*g);
    EXPECT_EQ(_edit_map[0], 100);
    EXPECT_EQ(_edit_map[EDIT_MAP_MAX - 1], 163);
    _edit_map_built = 0;
}

TEST(EditInfoFields, BombFieldsReadAsDecimalNumbers) {
    EXPECT_EQ(editinfo_bombs("7"), 7);
    EXPECT_EQ(editinfo_bombs("  12"), 12);
    EXPECT_EQ(editinfo_bombs("3x"), 3);
    EXPECT_EQ(editinfo_bombs("abc"), 0);
    EXPECT_EQ(editinfo_bombs(""), 0);
    EXPECT_EQ(editinfo_bombs(nullptr), 0);
    // A stock is never negative nor beyond what the rules keep.
    EXPECT_EQ(editinfo_bombs("-4"), 0);
    EXPECT_EQ(editinfo_bombs("99999999999999999999"), 9999);
    EXPECT_EQ(editinfo_bombs("10000"), 9999);
}
