#pragma once

#include <QList>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct sqlite3;

// Removes from the outbox, on a thread of its own, the writes their holder knows recorded. Noting
// a write before it leaves must reach the disk before the request does; removing it once it is
// recorded need not: the counter goes on (the refresh leaves at once) while the disk takes the
// removal. A removal that does not happen (the program stops, the disk fails) leaves the write
// to whoever reads its member's record once the holder's lease has ended: it is found there,
// recorded, and removed then.
class OutboxRemover final
{
public:
    // path: the outbox's file; owner: the holder whose leases the removals need.
    OutboxRemover(QString path, QString owner);
    // Waits for the removals asked.
    ~OutboxRemover();
    OutboxRemover(const OutboxRemover&) = delete;
    OutboxRemover& operator=(const OutboxRemover&) = delete;

    void remove(qint64 id);
    // The writes asked to be removed whose removal is not over: the holder's reads leave them out.
    QList<qint64> pending() const;
    // Returns once every removal asked is over.
    void wait();

private:
    void run();
    bool erase(qint64 id);

    const QString m_path;
    const QString m_owner;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<qint64> m_queue;
    QList<qint64> m_pending; // asked, not over (queued or being removed)
    bool m_stopping = false;
    sqlite3* m_db = nullptr; // the thread's own connection
    std::thread m_thread;
};
