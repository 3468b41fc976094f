#pragma once

#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// One prepared statement; parameters are numbered from 1, columns from 0. Errors throw std::runtime_error.
class SqliteStatement final
{
public:
    SqliteStatement(sqlite3* db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    SqliteStatement& bind(int index, std::string_view text);
    SqliteStatement& bind(int index, long long value);
    SqliteStatement& bindNull(int index);

    // Runs to the next row: true while a row is available.
    bool step();
    void run(); // steps a statement that returns no row

    std::string text(int column) const;
    long long integer(int column) const;
    bool isNull(int column) const;

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};
