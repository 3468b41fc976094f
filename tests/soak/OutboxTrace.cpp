#include "OutboxTrace.h"

#include "outbox/KeptSales.h"
#include "platform/Clock.h"

#include <QDateTime>
#include <QFile>

#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace OutboxTrace {

namespace {

constexpr const char* ktrace = R"sql(
    CREATE TABLE IF NOT EXISTS soak_trace (
        at INTEGER NOT NULL, what TEXT NOT NULL, id INTEGER NOT NULL, number TEXT NOT NULL,
        kind TEXT NOT NULL, owner TEXT NOT NULL, lease_until INTEGER NOT NULL,
        settle_after INTEGER NOT NULL, may_have_left INTEGER NOT NULL);
    CREATE TRIGGER IF NOT EXISTS soak_noted AFTER INSERT ON ventes BEGIN
        INSERT INTO soak_trace VALUES (CAST((julianday('now') - 2440587.5) * 86400000 AS INTEGER),
            'notée', new.id, new.number, new.kind, new.lease_owner, new.lease_until, new.settle_after,
            new.may_have_left);
    END;
    CREATE TRIGGER IF NOT EXISTS soak_changed AFTER UPDATE ON ventes
        WHEN old.kind <> new.kind OR old.lease_owner <> new.lease_owner
          OR old.settle_after <> new.settle_after OR old.may_have_left <> new.may_have_left BEGIN
        INSERT INTO soak_trace VALUES (CAST((julianday('now') - 2440587.5) * 86400000 AS INTEGER),
            'changée', new.id, new.number, new.kind, new.lease_owner, new.lease_until, new.settle_after,
            new.may_have_left);
    END;
    CREATE TRIGGER IF NOT EXISTS soak_removed AFTER DELETE ON ventes BEGIN
        INSERT INTO soak_trace VALUES (CAST((julianday('now') - 2440587.5) * 86400000 AS INTEGER),
            'retirée', old.id, old.number, old.kind, old.lease_owner, old.lease_until, old.settle_after,
            old.may_have_left);
    END;
)sql";

QString clocktext(qint64 ms)
{
    return ms > 0 ? QDateTime::fromMSecsSinceEpoch(ms).toString(u"HH:mm:ss.zzz"_s) : u"-"_s;
}

} // namespace

QString install(const QString& path)
{
    {
        SystemClock clock;
        KeptSales store(path, clock);
        if (!store.counts())
            return store.errorstring();
    }
    sqlite3* db = nullptr;
    QString error;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK)
        error = QString::fromUtf8(sqlite3_errmsg(db));
    else if (sqlite3_exec(db, ktrace, nullptr, nullptr, nullptr) != SQLITE_OK)
        error = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_close(db);
    return error;
}

QStringList story(const QString& path, const QString& number)
{
    QStringList lines;
    sqlite3* db = nullptr;
    sqlite3_stmt* rows = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK &&
        sqlite3_prepare_v2(db,
                           "SELECT at, what, id, kind, owner, lease_until, settle_after, may_have_left "
                           "FROM soak_trace WHERE number = ? ORDER BY rowid",
                           -1, &rows, nullptr) == SQLITE_OK) {
        const QByteArray key = number.toUtf8();
        sqlite3_bind_text(rows, 1, key.constData(), int(key.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(rows) == SQLITE_ROW) {
            const auto text = [rows](int column) {
                return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(rows, column)));
            };
            lines.append(u"%1 %2 #%3 %4, détenteur %5 jusqu'à %6, réglée après %7, partie %8"_s
                             .arg(clocktext(sqlite3_column_int64(rows, 0)), text(1))
                             .arg(sqlite3_column_int64(rows, 2))
                             .arg(text(3), text(4).left(8), clocktext(sqlite3_column_int64(rows, 5)),
                                  clocktext(sqlite3_column_int64(rows, 6)))
                             .arg(sqlite3_column_int(rows, 7)));
        }
    } else {
        lines.append(u"trace illisible : "_s + QString::fromUtf8(sqlite3_errmsg(db)));
    }
    sqlite3_finalize(rows);
    sqlite3_close(db);
    return lines;
}

} // namespace OutboxTrace
