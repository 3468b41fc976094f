#pragma once

#include "SqliteStatement.h"

#include <string>
#include <string_view>

// An open SQLite database ("" or ":memory:" for one held in memory). Errors throw std::runtime_error.
class SqliteDatabase final
{
public:
    explicit SqliteDatabase(const std::string& path);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    void exec(std::string_view sql);
    SqliteStatement prepare(std::string_view sql) { return SqliteStatement(m_db, sql); }
    long long lastInsertId() const;

private:
    sqlite3* m_db = nullptr;
};
