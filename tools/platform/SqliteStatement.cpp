#include "SqliteStatement.h"

#include <sqlite3.h>

#include <stdexcept>

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql) : m_db(db)
{
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string("SQL: ") + sqlite3_errmsg(db));
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_stmt);
}

SqliteStatement& SqliteStatement::bind(int index, std::string_view text)
{
    if (sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) !=
        SQLITE_OK)
        throw std::runtime_error(std::string("SQL: ") + sqlite3_errmsg(m_db));
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, long long value)
{
    if (sqlite3_bind_int64(m_stmt, index, value) != SQLITE_OK)
        throw std::runtime_error(std::string("SQL: ") + sqlite3_errmsg(m_db));
    return *this;
}

SqliteStatement& SqliteStatement::bindNull(int index)
{
    if (sqlite3_bind_null(m_stmt, index) != SQLITE_OK)
        throw std::runtime_error(std::string("SQL: ") + sqlite3_errmsg(m_db));
    return *this;
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throw std::runtime_error(std::string("SQL: ") + sqlite3_errmsg(m_db));
}

void SqliteStatement::run()
{
    while (step()) {
    }
}

std::string SqliteStatement::text(int column) const
{
    const unsigned char* value = sqlite3_column_text(m_stmt, column);
    if (value == nullptr)
        return {};
    return std::string(reinterpret_cast<const char*>(value),
                       static_cast<size_t>(sqlite3_column_bytes(m_stmt, column)));
}

long long SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}
