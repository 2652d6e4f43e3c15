// A thin owner of one SQLite connection through which every query runs.
#include "mydb.h"

#include <sqlite3.h>

#include <cstdio>

MyDB::~MyDB() { close(); }

void MyDB::open(const char* path) {
    close();
    if (sqlite3_open(path, &_db) != SQLITE_OK) {
        fprintf(stderr, "Can't open database: %s\n", _db ? sqlite3_errmsg(_db) : "out of memory");
        close();
    }
}

void MyDB::open_readonly(const char* path) {
    close();
    if (sqlite3_open_v2(path, &_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        fprintf(stderr, "Can't open database: %s\n", _db ? sqlite3_errmsg(_db) : "out of memory");
        close();
    }
}

void MyDB::open_untrusted(const char* path) {
    close();
    if (sqlite3_open_v2(path, &_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        fprintf(stderr, "Can't open database: %s\n", _db ? sqlite3_errmsg(_db) : "out of memory");
        close();
        return;
    }
    // A file from elsewhere may hold triggers, views or schema tricks that run
    // our own statements against us; defensive mode and an untrusted schema
    // keep it to plain data.
    sqlite3_db_config(_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(_db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(_db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
}

MyResult MyDB::query(const char* sql, MyParams params) {
    MyResult result;
    error = 1;
    if (!_db) {
        error = 0;
        return result;
    }
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(_db, sql, -1, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        fprintf(stderr, "sqlite3:prepare [%d] %s\n", rc, sqlite3_errmsg(_db));
        sqlite3_finalize(stmt);
        return result;
    }
    for (size_t i = 0; i < params.size(); i++) {
        rc = sqlite3_bind_text(stmt, (int)i + 1, params[i].data(), (int)params[i].size(),
                               SQLITE_TRANSIENT);
        if (rc != SQLITE_OK) {
            fprintf(stderr, "sqlite3:bind [%d] %s\n", rc, sqlite3_errmsg(_db));
            sqlite3_finalize(stmt);
            return result;
        }
    }
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        MyRow row;
        int columns = sqlite3_column_count(stmt);
        for (int c = 0; c < columns; c++) {
            const char* name = sqlite3_column_name(stmt, c);
            const unsigned char* text = sqlite3_column_text(stmt, c);
            int len = sqlite3_column_bytes(stmt, c);
            row[name ? name : ""] = text ? std::string((const char*)text, (size_t)len) : std::string();
        }
        result.push_back(row);
    }
    if (rc == SQLITE_DONE) {
        sqlite3_finalize(stmt);
        error = 0;
    } else {
        fprintf(stderr, "sqlite3:step [%d] %s\n", rc, sqlite3_errmsg(_db));
        sqlite3_finalize(stmt);
    }
    return result;
}

void MyDB::close() {
    if (_db) sqlite3_close(_db);
    _db = nullptr;
}

void MyDB::begin() { query("begin"); }
void MyDB::commit() { query("commit"); }
void MyDB::rollback() { query("rollback"); }
