// A thin owner of one SQLite connection through which every query runs.
#pragma once

#include <map>
#include <string>
#include <vector>

struct sqlite3;

typedef std::vector<std::string> MyParams;
typedef std::map<std::string, std::string> MyRow;
typedef std::vector<MyRow> MyResult;

class MyDB {
public:
    sqlite3* _db = nullptr;  // null while closed
    int error = 0;           // 1 while a query runs and after a failed one

    MyDB() = default;
    MyDB(const MyDB&) = delete;
    MyDB& operator=(const MyDB&) = delete;
    virtual ~MyDB();

    void open(const char* path);
    // Opens an existing file for reading only (the shipped maps): nothing,
    // not even a failed schema change, can write to it.
    void open_readonly(const char* path);
    // Opens a file that may come from anywhere (a download): defensive mode,
    // no trusted schema. Same failure handling as open.
    void open_untrusted(const char* path);
    MyResult query(const char* sql, MyParams params = MyParams());
    void close();
    void begin();
    void commit();
    // Undoes the statements since begin(); used when a batch fails midway.
    void rollback();
};
