#include "outbox/OutboxRemover.h"

#include <QFile>

#include <sqlite3.h>

namespace {

// How long a removal waits for another counter's transaction to end.
constexpr int kbusyms = 10000;

} // namespace

OutboxRemover::OutboxRemover(QString path, QString owner)
    : m_path(std::move(path)), m_owner(std::move(owner)), m_thread([this] { run(); })
{
}

OutboxRemover::~OutboxRemover()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
    sqlite3_close(m_db);
}

void OutboxRemover::remove(qint64 id)
{
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back(id);
        m_pending.append(id);
    }
    m_wake.notify_one();
}

QList<qint64> OutboxRemover::pending() const
{
    const std::lock_guard lock(m_mutex);
    return m_pending;
}

void OutboxRemover::wait()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_pending.isEmpty(); });
}

void OutboxRemover::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Stopping still removes what was asked: the holder let go of those writes.
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty())
            return;
        const qint64 id = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        erase(id);
        lock.lock();
        m_pending.removeOne(id);
        if (m_pending.isEmpty())
            m_idle.notify_all();
    }
}

bool OutboxRemover::erase(qint64 id)
{
    if (!m_db) {
        // The holder opened the file already (never through a link, with its modes): this
        // connection only joins it.
        const QByteArray path = QFile::encodeName(m_path);
        if (sqlite3_open_v2(path.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr) !=
            SQLITE_OK) {
            sqlite3_close(m_db);
            m_db = nullptr;
            return false;
        }
        sqlite3_busy_timeout(m_db, kbusyms);
        sqlite3_exec(m_db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, "DELETE FROM ventes WHERE id = ? AND lease_owner = ?", -1, &statement,
                           nullptr) != SQLITE_OK)
        return false;
    const QByteArray owner = m_owner.toUtf8();
    sqlite3_bind_int64(statement, 1, id);
    sqlite3_bind_text64(statement, 2, owner.constData(), sqlite3_uint64(owner.size()), SQLITE_TRANSIENT,
                        SQLITE_UTF8);
    const int code = sqlite3_step(statement);
    sqlite3_finalize(statement);
    return code == SQLITE_DONE;
}
