#include "FixedClock.h"
#include "KeptSalesChild.h"
#include "SmallDisk.h"
#include "outbox/KeptSales.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QDateTime t0(QDate(2026, 12, 1), QTime(9, 30, 0), Qt::UTC);

KeptSale sale(const QString& memberid, const QString& number)
{
    KeptSale sale;
    sale.memberid = memberid;
    sale.membername = u"O'CONNOR Seán "_s + memberid;
    sale.cardnumber = u"10100"_s + memberid;
    sale.amount = u"25,80"_s;
    sale.seller = u"VD"_s;
    sale.number = number;
    // Bytes that a text conversion would change: a quote, accents, a line break, a NUL.
    sale.request = "json_data={\"AdEvent\":{\"type\":\"addCA\", \"member\":{\"id\":" + memberid.toUtf8() +
                   "},\"idExternal\":\"" + number.toUtf8() + "\",\"sparam\":\"V\\\"D é€\"" +
                   QByteArray("\r\n\0}}", 5);
    return sale;
}

// The ids of the sales, in list order.
QList<qint64> ids(const std::optional<std::vector<KeptSale>>& sales)
{
    QList<qint64> list;
    if (sales) {
        for (const KeptSale& sale : *sales)
            list.append(sale.id);
    }
    return list;
}

QByteArray readfile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(illisible)");
}

// What SQLite's own check says of the file.
QByteArray integrity(const QString& path)
{
    sqlite3* db = nullptr;
    QByteArray answer;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* check = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
        while (sqlite3_step(check) == SQLITE_ROW)
            answer += reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
        sqlite3_finalize(check);
    }
    sqlite3_close(db);
    return answer;
}

} // namespace

class TestKeptSales : public QObject
{
    Q_OBJECT
private slots:
    // One counter: sales come back in the order kept, each whole and byte for byte; claims take
    // them oldest first; a settled sale goes, a released one comes back first with its failure;
    // the pharmacist removes one.
    void keepClaimSettleReleaseRemove()
    {
        QTemporaryDir dir;
        const FixedClock clock(t0);
        KeptSales sales(KeptSales::pathin(dir.path()), clock);
        QCOMPARE(sales.path(), dir.filePath(u"ventes-en-attente.sqlite"_s));
        QCOMPARE(sales.count(), 0);
        const KeptSale first = sale(u"1001"_s, u"A-1"_s);
        QCOMPARE(sales.keep(first), 1);
        QCOMPARE(sales.keep(sale(u"1002"_s, u"A-2"_s)), 2);
        QCOMPARE(sales.keep(sale(u"\"X\""_s, u"A-3"_s)), 3);
        QCOMPARE(sales.count(), 3);

        const auto kept = sales.list();
        QVERIFY2(kept, qPrintable(sales.errorstring()));
        QCOMPARE(ids(kept), (QList<qint64>{1, 2, 3}));
        const KeptSale& one = kept->front();
        QCOMPARE(one.memberid, first.memberid);
        QCOMPARE(one.membername, first.membername);
        QCOMPARE(one.cardnumber, first.cardnumber);
        QCOMPARE(one.amount, first.amount);
        QCOMPARE(one.seller, first.seller);
        QCOMPARE(one.number, first.number);
        QCOMPARE(one.request, first.request);
        QCOMPARE(one.kept, t0);
        QCOMPARE(one.kept.toString(Qt::ISODate), u"2026-12-01T09:30:00Z"_s);
        QVERIFY(one.failure.isEmpty());
        QVERIFY(!one.failedat.isValid());
        QCOMPARE(one.attempts, 0);
        QVERIFY(!one.mayhaveleft);
        QVERIFY(!one.held);
        QCOMPARE(kept->back().memberid, u"\"X\""_s);

        KeptSales::Claimed claimed = sales.claim();
        QCOMPARE(claimed.status, KeptSales::Status::Done);
        QCOMPARE(claimed.sale.id, 1);
        QCOMPARE(claimed.sale.request, first.request);
        QVERIFY(!claimed.sale.mayhaveleft);
        QCOMPARE(sales.claim().sale.id, 2);
        QCOMPARE(sales.list()->at(0).held, true);
        QCOMPARE(sales.list()->at(0).mayhaveleft, true);

        QCOMPARE(sales.settle(1), KeptSales::Status::Done);
        QCOMPARE(sales.release(2, u"Erreur de socket n° 111\r\nConnexion refusée."_s,
                               KeptSales::Departure::NotLeft),
                 KeptSales::Status::Done);
        QCOMPARE(ids(sales.list()), (QList<qint64>{2, 3}));
        const KeptSale two = sales.list()->front();
        QCOMPARE(two.failure, u"Erreur de socket n° 111\r\nConnexion refusée."_s);
        QCOMPARE(two.failedat, t0);
        QCOMPARE(two.attempts, 1);
        QVERIFY(!two.held);
        QVERIFY(!two.mayhaveleft);
        // A released sale goes first again.
        QCOMPARE(sales.claim().sale.id, 2);
        QCOMPARE(sales.claim().sale.id, 3);
        QCOMPARE(sales.claim().status, KeptSales::Status::None);

        QCOMPARE(sales.remove(3), KeptSales::Status::Done);
        QCOMPARE(ids(sales.list()), (QList<qint64>{2}));
        QCOMPARE(sales.remove(3), KeptSales::Status::None);
        QCOMPARE(sales.errorstring(), u"Cette vente n'est plus en attente."_s);
        QCOMPARE(sales.settle(1), KeptSales::Status::None);
        // Ids are never given again.
        QCOMPARE(sales.keep(sale(u"1004"_s, u"A-4"_s)), 4);
    }

    // A round of sending passes over the sales it tried; the events read before a send stay with
    // the sale (an empty set is not "none") until the next send replaces them; only the holder
    // records them.
    void skipAndEventsBefore()
    {
        QTemporaryDir dir;
        const FixedClock clock(t0);
        KeptSales sales(KeptSales::pathin(dir.path()), clock);
        KeptSales other(sales.path(), clock);
        for (int n = 1; n <= 3; ++n)
            sales.keep(sale(QString::number(1000 + n), QString::number(n)));
        QVERIFY(!sales.list()->front().before);

        QCOMPARE(sales.claim().sale.id, 1);
        QCOMPARE(other.recordbefore(1, {u"addCA:9"_s}), KeptSales::Status::Lost);
        QCOMPARE(sales.recordbefore(1, {}), KeptSales::Status::Done);
        QCOMPARE(sales.list()->front().before, QSet<QString>());
        QCOMPARE(sales.recordbefore(1, {u"addCA:9"_s, u"usedcoupon:12"_s}), KeptSales::Status::Done);
        sales.release(1, u"Délai de connexion."_s, KeptSales::Departure::MayHaveLeft);

        const KeptSales::Claimed again = sales.claim({1});
        QCOMPARE(again.sale.id, 2);
        sales.release(2, u"Délai de connexion."_s, KeptSales::Departure::NotLeft);
        QCOMPARE(sales.claim({1, 2}).sale.id, 3);
        QCOMPARE(sales.claim({1, 2, 3}).status, KeptSales::Status::None);
        const KeptSales::Claimed first = other.claim();
        QCOMPARE(first.sale.id, 1);
        QVERIFY(first.sale.mayhaveleft);
        QCOMPARE(first.sale.before, (QSet<QString>{u"addCA:9"_s, u"usedcoupon:12"_s}));
    }

    // A file written by the first version of the program (no events column) is brought up to date
    // when opened, its sales kept.
    void upgradesFirstVersionFile()
    {
        QTemporaryDir dir;
        const QString path = KeptSales::pathin(dir.path());
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        const char* first = R"sql(
            CREATE TABLE ventes (id INTEGER PRIMARY KEY AUTOINCREMENT, memberid TEXT NOT NULL,
                membername TEXT NOT NULL, cardnumber TEXT NOT NULL, amount TEXT NOT NULL,
                seller TEXT NOT NULL, number TEXT NOT NULL, request BLOB NOT NULL,
                kept_at TEXT NOT NULL, failure TEXT NOT NULL DEFAULT '',
                failed_at TEXT NOT NULL DEFAULT '', attempts INTEGER NOT NULL DEFAULT 0,
                may_have_left INTEGER NOT NULL DEFAULT 0, lease_owner TEXT NOT NULL DEFAULT '',
                lease_until INTEGER NOT NULL DEFAULT 0);
            INSERT INTO ventes (memberid, membername, cardnumber, amount, seller, number, request, kept_at)
                VALUES ('1001', 'DUPONT Jean', '1010', '12,50', 'VD', '7', 'json_data={}', '2026-12-01T09:30:00Z');
            PRAGMA user_version = 1;
        )sql";
        QCOMPARE(sqlite3_exec(db, first, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);

        const FixedClock clock(t0);
        KeptSales sales(path, clock);
        const auto kept = sales.list();
        QVERIFY2(kept, qPrintable(sales.errorstring()));
        QCOMPARE(kept->size(), size_t(1));
        QCOMPARE(kept->front().membername, u"DUPONT Jean"_s);
        QVERIFY(!kept->front().before);
        QCOMPARE(sales.claim().sale.id, 1);
        QCOMPARE(sales.recordbefore(1, {u"addCA:3"_s}), KeptSales::Status::Done);
        QCOMPARE(sales.list()->front().before, QSet<QString>{u"addCA:3"_s});
        QCOMPARE(integrity(path), QByteArray("ok"));
    }

    // Two counters on one file: each sale is claimed by one of them; a sale held by the other is
    // skipped, and so is a later sale of the same member, which must not overtake it; only the
    // holder settles or releases, and nobody removes a sale the other is sending.
    void twoCountersShareTheFile()
    {
        QTemporaryDir dir;
        const FixedClock clock(t0);
        KeptSales a(KeptSales::pathin(dir.path()), clock);
        KeptSales b(KeptSales::pathin(dir.path()), clock);
        QVERIFY(a.owner() != b.owner());
        a.keep(sale(u"1001"_s, u"1"_s));
        b.keep(sale(u"1001"_s, u"2"_s));
        a.keep(sale(u"1002"_s, u"3"_s));
        b.keep(sale(u"1003"_s, u"4"_s));
        QCOMPARE(ids(b.list()), (QList<qint64>{1, 2, 3, 4}));

        QCOMPARE(a.claim().sale.id, 1);
        QCOMPARE(b.claim().sale.id, 3); // 2 waits for 1, its member's older sale
        QCOMPARE(a.claim().sale.id, 4);
        QCOMPARE(b.claim().status, KeptSales::Status::None);
        QCOMPARE(a.claim().status, KeptSales::Status::None);

        QCOMPARE(a.settle(3), KeptSales::Status::Lost);
        QCOMPARE(a.errorstring(), u"Un autre poste a repris l'envoi de cette vente."_s);
        QCOMPARE(a.release(3, u"x"_s, KeptSales::Departure::NotLeft), KeptSales::Status::Lost);
        QCOMPARE(a.remove(3), KeptSales::Status::Held);
        QCOMPARE(a.errorstring(),
                 u"Cette vente est en cours d'envoi par un autre poste : elle ne peut pas être supprimée "
                 u"maintenant."_s);
        QCOMPARE(b.list()->at(2).held, true);
        QCOMPARE(b.list()->at(2).attempts, 0);

        QCOMPARE(a.settle(1), KeptSales::Status::Done);
        QCOMPARE(b.claim().sale.id, 2);
        QCOMPARE(b.settle(3), KeptSales::Status::Done);
        QCOMPARE(a.release(4, u"Délai de connexion."_s, KeptSales::Departure::NotLeft),
                 KeptSales::Status::Done);
        QCOMPARE(b.claim().sale.id, 4);
        QCOMPARE(ids(a.list()), (QList<qint64>{2, 4}));
    }

    // Whether a claimed sale may have left: only a release that says it certainly did not leave
    // clears the mark; a holder that went away leaves it, and its lease runs out.
    void mayHaveLeft_data()
    {
        QTest::addColumn<QString>("end"); // how the first holder's send ended
        QTest::addColumn<bool>("mayhaveleft");
        QTest::newRow("never sent") << u"none"_s << false;
        QTest::newRow("released: did not leave") << u"notleft"_s << false;
        QTest::newRow("released: reply lost") << u"lost"_s << true;
        QTest::newRow("holder gone, lease ran out") << u"gone"_s << true;
    }
    void mayHaveLeft()
    {
        QFETCH(QString, end);
        QFETCH(bool, mayhaveleft);
        QTemporaryDir dir;
        const QString path = KeptSales::pathin(dir.path());
        const FixedClock clock(t0);
        KeptSales first(path, clock);
        first.keep(sale(u"1001"_s, u"1"_s));
        if (end != u"none"_s)
            QCOMPARE(first.claim({}, 60).sale.id, 1);
        if (end == u"notleft"_s)
            first.release(1, u"Connexion refusée."_s, KeptSales::Departure::NotLeft);
        else if (end == u"lost"_s)
            first.release(1, u"Le serveur a fermé la connexion sans répondre."_s,
                          KeptSales::Departure::MayHaveLeft);

        // Within the first holder's lease, another counter leaves the sale alone; after it, the
        // sale is taken again and the late holder can no longer settle it.
        const FixedClock within(t0.addSecs(59));
        KeptSales other(path, within);
        KeptSales::Claimed claimed = other.claim();
        if (end == u"gone"_s) {
            QCOMPARE(claimed.status, KeptSales::Status::None);
            const FixedClock later(t0.addSecs(61));
            KeptSales next(path, later);
            claimed = next.claim();
            QCOMPARE(first.settle(1), KeptSales::Status::Lost);
        }
        QCOMPARE(claimed.status, KeptSales::Status::Done);
        QCOMPARE(claimed.sale.id, 1);
        QCOMPARE(claimed.sale.mayhaveleft, mayhaveleft);
    }

    // Closed and opened again: every sale is there as it was, a running lease included.
    void restart()
    {
        QTemporaryDir dir;
        const QString path = KeptSales::pathin(dir.path());
        const FixedClock clock(t0);
        std::vector<KeptSale> before;
        {
            KeptSales sales(path, clock);
            for (int n = 1; n <= 3; ++n)
                sales.keep(sale(QString::number(1000 + n), QString::number(n)));
            sales.claim();
            sales.release(1, u"Connexion refusée."_s, KeptSales::Departure::MayHaveLeft);
            sales.claim(); // 1 again, held
            before = *sales.list();
        }
        KeptSales again(path, clock);
        const auto after = again.list();
        QVERIFY2(after, qPrintable(again.errorstring()));
        QCOMPARE(after->size(), before.size());
        for (size_t i = 0; i < before.size(); ++i) {
            QCOMPARE(after->at(i).id, before[i].id);
            QCOMPARE(after->at(i).memberid, before[i].memberid);
            QCOMPARE(after->at(i).request, before[i].request);
            QCOMPARE(after->at(i).failure, before[i].failure);
            QCOMPARE(after->at(i).attempts, before[i].attempts);
            QCOMPARE(after->at(i).mayhaveleft, before[i].mayhaveleft);
            QCOMPARE(after->at(i).held, before[i].held);
        }
        QCOMPARE(after->front().held, true);
        QCOMPARE(again.claim().sale.id, 2);
    }

    // A counter killed in the middle of its writes leaves a file that opens and holds whole sales:
    // every sale it reported kept, at most one more, none torn. Killed at any moment, twenty times
    // over on one file; or while its commit waits for a reader, when the change it was making
    // leaves no trace.
    void killedWriterLeavesWholeSales_data()
    {
        QTest::addColumn<bool>("commitwaits");
        QTest::addColumn<int>("rounds");
        QTest::newRow("killed anywhere in its loop") << false << 20;
        QTest::newRow("killed while its commit waits") << true << 1;
    }
    void killedWriterLeavesWholeSales()
    {
        QFETCH(bool, commitwaits);
        QFETCH(int, rounds);
        QTemporaryDir dir;
        const QString path = KeptSales::pathin(dir.path());
        const QString journal = path + u"-journal"_s;
        const FixedClock clock(t0);
        int acknowledged = 0;
        int hot = 0; // kills that left a journal SQLite had to play back
        for (int round = 0; round < rounds; ++round) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QString::fromUtf8(KEPTSALES_CHILD), {path, u"garder"_s});
            QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
            QByteArray out;
            const auto reported = [&] {
                out += child.readAllStandardOutput();
                return int(out.count("gardée"));
            };
            QTRY_VERIFY_WITH_TIMEOUT(reported() >= 3, 60000);

            sqlite3* reader = nullptr;
            qint64 counted = -1;
            if (commitwaits) {
                // A read transaction of our own: the child's next commit cannot take the file.
                QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &reader, SQLITE_OPEN_READONLY,
                                         nullptr),
                         SQLITE_OK);
                sqlite3_busy_timeout(reader, 10000);
                QCOMPARE(sqlite3_exec(reader, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
                sqlite3_stmt* count = nullptr;
                // Reading the schema may find the child in the middle of its commit: SQLite then
                // answers busy at once, whatever the time-out.
                int prepared = SQLITE_BUSY;
                for (int attempt = 0; attempt < 100 && prepared != SQLITE_OK; ++attempt) {
                    if (attempt > 0)
                        QTest::qWait(20);
                    prepared = sqlite3_prepare_v2(reader, "SELECT count(*) FROM ventes", -1, &count, nullptr);
                }
                QCOMPARE(prepared, SQLITE_OK);
                QCOMPARE(sqlite3_step(count), SQLITE_ROW);
                counted = sqlite3_column_int64(count, 0);
                sqlite3_finalize(count);
                // Its change under way.
                QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(journal).size() > 0, 30000);
            }
            child.kill();
            QVERIFY(child.waitForFinished());
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            acknowledged += reported();
            if (reader) {
                sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
                sqlite3_close(reader);
            }
            // A journal whose header is written is played back by the next reader.
            static const QByteArray magic = QByteArray::fromHex("d9d505f920a163d7");
            if (readfile(journal).startsWith(magic))
                ++hot;

            KeptSales sales(path, clock);
            const auto found = sales.list();
            QVERIFY2(found, qPrintable(sales.errorstring()));
            QCOMPARE(integrity(path), QByteArray("ok"));
            const int rows = int(found->size());
            QVERIFY2(rows == acknowledged || rows == acknowledged + 1,
                     qPrintable(u"%1 ventes pour %2 annoncées"_s.arg(rows).arg(acknowledged)));
            if (commitwaits)
                QCOMPARE(rows, counted);
            for (int i = 0; i < rows; ++i) {
                const KeptSale& row = found->at(size_t(i));
                const KeptSale expected = KeptSalesChild::sale(i + 1);
                QCOMPARE(row.id, i + 1);
                QCOMPARE(row.memberid, expected.memberid);
                QCOMPARE(row.membername, expected.membername);
                QCOMPARE(row.amount, expected.amount);
                QCOMPARE(row.number, expected.number);
                QVERIFY(row.request == expected.request);
                QCOMPARE(row.failure, row.attempts == 0 ? QString() : KeptSalesChild::failure(row.attempts));
            }
            acknowledged = rows;
        }
        qInfo("arrêts brutaux : %d, journaux rejoués : %d", rounds, hot);
        // The next change takes the file as it is, leaving no journal behind.
        KeptSales sales(path, clock);
        QCOMPARE(sales.keep(KeptSalesChild::sale(acknowledged + 1)), acknowledged + 1);
        QVERIFY(!QFileInfo::exists(journal));
    }

    // Two counters, two processes, sending from one file at the same time: every sale is sent, and
    // none twice.
    void twoProcessesSendEachSaleOnce()
    {
        QTemporaryDir dir;
        const QString path = KeptSales::pathin(dir.path());
        const FixedClock clock(t0);
        {
            KeptSales sales(path, clock);
            for (int n = 1; n <= 300; ++n)
                QVERIFY(sales.keep(KeptSalesChild::sale(n)));
        }
        QProcess counters[2];
        for (QProcess& counter : counters) {
            counter.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            counter.start(QString::fromUtf8(KEPTSALES_CHILD), {path, u"envoyer"_s});
        }
        QList<qint64> sent[2];
        for (int i = 0; i < 2; ++i) {
            QVERIFY(counters[i].waitForFinished(120000));
            QCOMPARE(counters[i].exitCode(), 0);
            for (const QByteArray& line : counters[i].readAllStandardOutput().split('\n')) {
                if (line.startsWith("envoyée "))
                    sent[i].append(line.mid(int(qstrlen("envoyée "))).toLongLong());
            }
        }
        qInfo("ventes envoyées par chaque poste : %lld et %lld", qlonglong(sent[0].size()),
              qlonglong(sent[1].size()));
        QList<qint64> all = sent[0] + sent[1];
        std::sort(all.begin(), all.end());
        QList<qint64> expected;
        for (qint64 id = 1; id <= 300; ++id)
            expected.append(id);
        QCOMPARE(all, expected);
    }

    // A full or read-only disk: the change is refused with the French reason, and the sales that
    // were there stay, readable, the file's bytes untouched. On a real small tmpfs.
    void refusedDiskKeepsTheSales_data()
    {
        QTest::addColumn<QString>("disk"); // "full", "readonly"
        QTest::addColumn<QString>("reason");
        QTest::newRow("disk full") << u"full"_s << u"Plus de place sur le disque."_s;
        QTest::newRow("read-only file system")
            << u"readonly"_s << u"Le système de fichiers est en lecture seule."_s;
    }
    void refusedDiskKeepsTheSales()
    {
        QFETCH(QString, disk);
        QFETCH(QString, reason);
        SmallDisk small(512);
        if (!small.ok())
            QSKIP(qPrintable(small.reason()));
        const QString path = KeptSales::pathin(small.path());
        const FixedClock clock(t0);
        auto sales = std::make_unique<KeptSales>(path, clock);
        for (int n = 1; n <= 3; ++n)
            QVERIFY2(sales->keep(sale(QString::number(1000 + n), QString::number(n))),
                     qPrintable(sales->errorstring()));
        QCOMPARE(sales->claim().sale.id, 1);
        const QByteArray bytes = readfile(path);
        if (disk == u"full"_s) {
            QVERIFY(small.fill());
        } else {
            // The system remounts it read-only only once no file on it is open for writing.
            sales.reset();
            QVERIFY(small.makereadonly());
            sales = std::make_unique<KeptSales>(path, clock);
        }

        // A sale bigger than a page, so that the file would have to grow.
        KeptSale big = sale(u"1009"_s, u"9"_s);
        big.request += QByteArray(20000, 'x');
        QVERIFY(!sales->keep(big));
        QCOMPARE(sales->errorstring(), u"La vente n'a pas pu être mise en attente : "_s + reason);
        QCOMPARE(sales->release(1, u"Connexion refusée."_s, KeptSales::Departure::NotLeft),
                 KeptSales::Status::Failed);
        QCOMPARE(sales->errorstring(), u"L'échec de l'envoi n'a pas pu être noté : "_s + reason);
        QCOMPARE(sales->remove(2), KeptSales::Status::Failed);
        QCOMPARE(sales->errorstring(), u"La vente en attente n'a pas pu être supprimée : "_s + reason);
        QCOMPARE(sales->claim().status, KeptSales::Status::Failed);

        QCOMPARE(ids(sales->list()), (QList<qint64>{1, 2, 3}));
        QCOMPARE(readfile(path), bytes);
        KeptSales again(path, clock);
        QCOMPARE(ids(again.list()), (QList<qint64>{1, 2, 3}));
        QCOMPARE(again.list()->front().held, true);
        QCOMPARE(readfile(path), bytes);
    }

    // A new file is readable and writable by its owner and the counter's group only, whatever the
    // umask: every account at the counter writes it, and it holds members' names.
    void newFileIsForTheGroup()
    {
        QTemporaryDir dir;
        const FixedClock clock(t0);
        const mode_t before = ::umask(022);
        KeptSales sales(KeptSales::pathin(dir.path()), clock);
        const bool kept = sales.keep(sale(u"1001"_s, u"1"_s)).has_value();
        ::umask(before);
        QVERIFY2(kept, qPrintable(sales.errorstring()));
        QCOMPARE(QFileInfo(sales.path()).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup);
    }

    // A file that cannot be opened says why in French, and every operation fails with it.
    void unopenableFile_data()
    {
        QTest::addColumn<QString>("place"); // what is at the file's place
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder missing") << u"nofolder"_s << u"Fichier ou dossier introuvable."_s;
        QTest::newRow("not a database")
            << u"text"_s << u"Le fichier est endommagé ou ce n'est pas un fichier de ventes en attente."_s;
        QTest::newRow("a folder in its place") << u"folder"_s << u"C'est un dossier, pas un fichier."_s;
        QTest::newRow("a link in its place")
            << u"link"_s
            << u"Le fichier est un lien symbolique : par sécurité, il n'est ni suivi ni remplacé."_s;
        QTest::newRow("from a newer program")
            << u"newer"_s << u"il vient d'une version plus récente du programme."_s;
        QTest::newRow("read-only disk, no file yet")
            << u"readonly"_s << u"Le système de fichiers est en lecture seule."_s;
    }
    void unopenableFile()
    {
        QFETCH(QString, place);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        SmallDisk small;
        QString path = KeptSales::pathin(dir.path());
        if (place == u"nofolder"_s) {
            path = KeptSales::pathin(dir.filePath(u"absent"_s));
        } else if (place == u"text"_s) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, 'x'));
        } else if (place == u"folder"_s) {
            QVERIFY(QDir().mkpath(path));
        } else if (place == u"link"_s) {
            // Somebody else's file, which must stay as it is.
            QFile target(dir.filePath(u"autre"_s));
            QVERIFY(target.open(QIODevice::WriteOnly));
            target.write("pas une base");
            target.close();
            QVERIFY(QFile::link(target.fileName(), path));
        } else if (place == u"newer"_s) {
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
            QCOMPARE(sqlite3_exec(db, "PRAGMA user_version = 5", nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        } else if (place == u"readonly"_s) {
            if (!small.ok())
                QSKIP(qPrintable(small.reason()));
            QVERIFY(small.makereadonly());
            path = KeptSales::pathin(small.path());
        }
        const QByteArray before = readfile(path);
        const FixedClock clock(t0);
        KeptSales sales(path, clock);
        const QString told = u"Le fichier des ventes en attente "_s + path + u" ne s'ouvre pas : "_s + reason;
        QVERIFY(!sales.open());
        QCOMPARE(sales.errorstring(), told);
        QVERIFY(!sales.keep(sale(u"1001"_s, u"1"_s)));
        QCOMPARE(sales.errorstring(), told);
        QVERIFY(!sales.list());
        QCOMPARE(sales.claim().status, KeptSales::Status::Failed);
        QCOMPARE(sales.errorstring(), told);
        QCOMPARE(readfile(path), before);
    }
};

QTEST_GUILESS_MAIN(TestKeptSales)
#include "tst_keptsales.moc"
