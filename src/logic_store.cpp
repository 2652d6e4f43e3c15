// Map records: a map is stored as a zlib-compressed image of its LevelData
// in the `data` column of a `levels` row, beside its texts as columns.
#include <zlib.h>

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

// Compresses the editor's copy into _logic_data; 0 on failure.
static int _logic_encode(Game& game) {
    uLongf len = sizeof(_logic_data);
    int rc = compress(_logic_data, &len, (const Bytef*)&game._edit, sizeof(LevelData));
    return rc == Z_OK ? (int)len : 0;
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

// Inflates a stored map over `out`; false when the data is corrupt or
// inflates to more than one record. `out` is only written on success.
static bool _logic_decode(const std::string& data, LevelData& out) {
    unsigned char* room = (unsigned char*)malloc(sizeof(LevelData));
    if (!room) return false;
    uLongf len = sizeof(LevelData);
    int rc = uncompress(room, &len, (const Bytef*)data.data(), (uLong)data.size());
    if (rc == Z_OK) memcpy(&out, room, len);
    free(room);
    return rc == Z_OK;
}

bool logic_load(Game& game, MyDB& db, const char* lid) {
    MyResult r = db.query("select * from levels where id = ?", {lid ? lid : ""});
    logic_new(game);
    if (r.empty()) return false;
    const MyRow& row = r[0];
    if (!_logic_decode(_column(row, "data"), game._edit)) {
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
