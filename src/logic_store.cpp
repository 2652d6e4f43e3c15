// Map records: a map is stored as a zlib-compressed image of its LevelData
// in the `data` column of a `levels` row, beside its texts as columns.
#include <zlib.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "logic.h"
#include "util.h"

// The encoding of the last save or pack; logic_pack returns a pointer into it.
static unsigned char _logic_data[LOGIC_DATA_MAX];

static_assert(LOGIC_DATA_MAX >= sizeof(LevelData) + sizeof(LevelData) / 1000 + 64,
              "the encoding buffer holds zlib's bound for one record");

const LogicLevelsColumn logic_levels_columns[LOGIC_LEVELS_COLUMNS] = {
    {"id", "text primary key", LOGIC_LEVELS_FIRST}, {"name", "text", LOGIC_LEVELS_FIRST},
    {"data", "blob", LOGIC_LEVELS_FIRST},           {"ts", "int", LOGIC_LEVELS_FIRST},
    {"author", "text", LOGIC_LEVELS_FIRST},         {"title", "text", LOGIC_LEVELS_FIRST},
    {"q", "text", 7},                               {"uid", "text", 11},
    {"stars", "float", 11},                         {"skulls", "float", 11},
    {"intro", "text", 11},                          {"value", "int", LOGIC_LEVELS_COLUMNS},
};

std::string logic_levels_create(int count) {
    std::string sql = "create table levels (";
    for (int c = 0; c < count && c < LOGIC_LEVELS_COLUMNS; c++)
        sql += std::string(c ? ", " : "") + logic_levels_columns[c].name + " " + logic_levels_columns[c].type;
    return sql + ")";
}

std::string logic_levels_insert() {
    std::string names, marks;
    for (int c = 0; c < LOGIC_LEVELS_COLUMNS; c++) {
        names += std::string(c ? "," : "") + logic_levels_columns[c].name;
        marks += c ? ",?" : "?";
    }
    return "insert into levels (" + names + ") values (" + marks + ")";
}

size_t logic_record_pack(const LevelData& lev, unsigned char* out, size_t room) {
    uLongf len = (uLongf)room;
    return compress(out, &len, (const Bytef*)&lev, sizeof(LevelData)) == Z_OK ? (size_t)len : 0;
}

bool logic_record_unpack(const std::string& packed, LevelData& out, size_t* inflated, size_t* rest) {
    if (packed.size() > UINT_MAX) return false;
    // One byte of room beyond the record tells a longer stream from an exact
    // one; per thread, as the service's workers decode at once.
    static thread_local unsigned char room[sizeof(LevelData) + 1];
    z_stream z;
    memset(&z, 0, sizeof(z));
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = (Bytef*)packed.data();
    z.avail_in = (uInt)packed.size();
    z.next_out = room;
    z.avail_out = sizeof(room);
    int rc = inflate(&z, Z_FINISH);
    size_t got = z.total_out, left = z.avail_in;
    inflateEnd(&z);
    if (rc != Z_STREAM_END || got > sizeof(LevelData)) return false;
    memcpy(&out, room, got);
    if (inflated) *inflated = got;
    if (rest) *rest = left;
    return true;
}

// Compresses the editor's copy into _logic_data; 0 on failure.
static int _logic_encode(Game& game) {
    return (int)logic_record_pack(game._edit, _logic_data, sizeof(_logic_data));
}

void logic_save(Game& game, MyDB& db) {
    int len = _logic_encode(game);
    if (!len) {
        fprintf(stderr, "logic_save(): zlib fail\n");
        return;
    }
    char ts[32];
    snprintf(ts, sizeof(ts), "%ld", (long)time(nullptr));
    LevelData& lev = game.level;
    // One transaction: a failed insert must not leave the user without the
    // map they had, so the delete only counts together with the insert.
    db.begin();
    db.query("delete from levels where id = ?", {lev.id});
    bool ok = db.error == 0;
    if (ok) {
        db.query("insert into levels (id,name,author,data,title,ts,uid,intro) values (?,?,?,?,?,?,?,?)",
                 {lev.id, lev.name, lev.author, std::string((const char*)_logic_data, (size_t)len),
                  lev.title, ts, lev.uid, lev.intro});
        ok = db.error == 0;
    }
    if (ok) db.commit();
    else db.rollback();
}

static std::string _column(const MyRow& row, const char* name) {
    MyRow::const_iterator it = row.find(name);
    return it == row.end() ? std::string() : it->second;
}

// A rating column as a float; text that is no finite number reads as 0.
static float _rating(const std::string& text) {
    float v = (float)atof(text.c_str());
    return std::isfinite(v) ? v : 0.0f;
}

bool logic_load(Game& game, MyDB& db, const char* lid) {
    MyResult r = db.query("select * from levels where id = ?", {lid ? lid : ""});
    logic_new(game);
    if (r.empty()) return false;
    const MyRow& row = r[0];
    if (!logic_record_unpack(_column(row, "data"), game._edit, nullptr, nullptr)) {
        fprintf(stderr, "logic_load(): zlib fail\n");
        logic_new(game);
        return false;
    }
    LevelData& e = game._edit;
    mystrcpy(e.id, sizeof(e.id), _column(row, "id").c_str());
    mystrcpy(e.name, sizeof(e.name), _column(row, "name").c_str());
    mystrcpy(e.author, sizeof(e.author), _column(row, "author").c_str());
    mystrcpy(e.title, sizeof(e.title), _column(row, "title").c_str());
    mystrcpy(e.uid, sizeof(e.uid), _column(row, "uid").c_str());
    mystrcpy(e.intro, sizeof(e.intro), _column(row, "intro").c_str());
    e.stars = _rating(_column(row, "stars"));
    e.skulls = _rating(_column(row, "skulls"));
    // A stored map is a map as designed; whatever else the bytes hold (they
    // may come from anyone) is made safe before the rules see it.
    e.is_init = 0;
    logic_sanitize(e);
    game.level = e;
    logic_init(game, 0);
    return true;
}

const char* logic_pack(Game& game, int* len) {
    int n = _logic_encode(game);
    if (!n) {
        fprintf(stderr, "logic_save(): zlib fail\n");
        return nullptr;
    }
    *len = n;
    return (const char*)_logic_data;
}
