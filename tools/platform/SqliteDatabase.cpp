#include "SqliteDatabase.h"

#include <sqlite3.h>

#include <stdexcept>

SqliteDatabase::SqliteDatabase(const std::string& path)
{
    const std::string name = path.empty() ? std::string(":memory:") : path;
    if (sqlite3_open_v2(name.c_str(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string message = m_db != nullptr ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        throw std::runtime_error("Base de données " + name + " : " + message);
    }
    sqlite3_busy_timeout(m_db, 5000);
}

SqliteDatabase::~SqliteDatabase()
{
    sqlite3_close(m_db);
}

void SqliteDatabase::exec(std::string_view sql)
{
    char* error = nullptr;
    const std::string text(sql);
    if (sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error != nullptr ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error("SQL: " + message);
    }
}

long long SqliteDatabase::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_db);
}
