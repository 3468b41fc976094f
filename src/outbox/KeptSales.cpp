#include "outbox/KeptSales.h"

#include "outbox/OutboxRemover.h"

#include "platform/Clock.h"
#include "platform/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The schema's version in PRAGMA user_version.
constexpr int kversion = 4;
// How long a change waits for the other counter's transaction to end.
constexpr int kbusyms = 10000;

constexpr const char* kcolumns =
    "id, memberid, membername, cardnumber, amount, seller, number, request, "
    "kept_at, failure, failed_at, attempts, may_have_left, lease_owner, lease_until, events_before, "
    "kind, coupon_id, settle_after";

// The kinds as the file names them.
const char* kindname(KeptSale::Kind kind)
{
    switch (kind) {
    case KeptSale::Kind::Sale:
        return "sale";
    case KeptSale::Kind::Coupon:
        return "coupon";
    case KeptSale::Kind::MemberCreate:
        return "membercreate";
    case KeptSale::Kind::MemberUpdate:
        return "memberupdate";
    case KeptSale::Kind::ChildCreate:
        return "childcreate";
    case KeptSale::Kind::ChildUpdate:
        return "childupdate";
    case KeptSale::Kind::Kept:
        break;
    }
    return "kept";
}

KeptSale::Kind kindof(const QString& name)
{
    for (const KeptSale::Kind kind :
         {KeptSale::Kind::Sale, KeptSale::Kind::Coupon, KeptSale::Kind::MemberCreate,
          KeptSale::Kind::MemberUpdate, KeptSale::Kind::ChildCreate, KeptSale::Kind::ChildUpdate}) {
        if (name == QLatin1StringView(kindname(kind)))
            return kind;
    }
    return KeptSale::Kind::Kept;
}

// One prepared statement. The first failure (prepare or bind) is kept and returned by step().
class Statement final
{
public:
    Statement(sqlite3* db, const QByteArray& sql)
    {
        m_code = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_statement, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, const QString& text)
    {
        const QByteArray bytes = text.toUtf8();
        return check(sqlite3_bind_text64(m_statement, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                         SQLITE_TRANSIENT, SQLITE_UTF8));
    }
    Statement& bindblob(int index, const QByteArray& bytes)
    {
        // A zero-length blob, not NULL, for an empty request.
        return check(sqlite3_bind_blob64(m_statement, index, bytes.isNull() ? "" : bytes.constData(),
                                         sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT));
    }
    Statement& bind(int index, qint64 value) { return check(sqlite3_bind_int64(m_statement, index, value)); }

    // SQLITE_ROW, SQLITE_DONE or the failure.
    int step()
    {
        if (m_code != SQLITE_OK)
            return m_code;
        const int code = sqlite3_step(m_statement);
        if (code != SQLITE_ROW && code != SQLITE_DONE)
            m_code = code;
        return code;
    }

    QString text(int column) const
    {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
        return QString::fromUtf8(bytes, sqlite3_column_bytes(m_statement, column));
    }
    QByteArray blob(int column) const
    {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
        return QByteArray(bytes, sqlite3_column_bytes(m_statement, column));
    }
    qint64 integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    bool isnull(int column) const { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }

private:
    Statement& check(int code)
    {
        if (m_code == SQLITE_OK && code != SQLITE_OK)
            m_code = code;
        return *this;
    }

    sqlite3_stmt* m_statement = nullptr;
    int m_code = SQLITE_OK;
};

QByteArray select(const QByteArray& rest)
{
    return "SELECT " + QByteArray(kcolumns) + " FROM ventes " + rest;
}

QString isotext(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODate);
}

QDateTime fromiso(const QString& text)
{
    return text.isEmpty() ? QDateTime() : QDateTime::fromString(text, Qt::ISODate).toUTC();
}

// The row read by a select() statement; held is judged at `now` (milliseconds since the epoch).
KeptSale readsale(const Statement& row, qint64 now)
{
    KeptSale sale;
    sale.id = row.integer(0);
    sale.memberid = row.text(1);
    sale.membername = row.text(2);
    sale.cardnumber = row.text(3);
    sale.amount = row.text(4);
    sale.seller = row.text(5);
    sale.number = row.text(6);
    sale.request = row.blob(7);
    sale.kept = fromiso(row.text(8));
    sale.failure = row.text(9);
    sale.failedat = fromiso(row.text(10));
    sale.attempts = int(row.integer(11));
    sale.mayhaveleft = row.integer(12) != 0;
    sale.held = !row.text(13).isEmpty() && row.integer(14) > now;
    if (row.isnull(15)) {
        sale.before.reset();
    } else {
        const QString keys = row.text(15);
        const QStringList list = keys.isEmpty() ? QStringList() : keys.split(u'\n');
        sale.before = QSet<QString>(list.begin(), list.end());
    }
    sale.kind = kindof(row.text(16));
    sale.couponId = row.text(17);
    const qint64 after = row.integer(18);
    sale.settleAfter = after > 0 ? QDateTime::fromMSecsSinceEpoch(after, Qt::UTC) : QDateTime();
    return sale;
}

// A step's result as a transaction step's: SQLITE_OK or the failure.
int done(int code)
{
    return code == SQLITE_ROW || code == SQLITE_DONE ? SQLITE_OK : code;
}

} // namespace

QString KeptSales::countcaption(int count)
{
    return count == 1 ? u"1 vente en attente d'envoi"_s : u"%1 ventes en attente d'envoi"_s.arg(count);
}

QString KeptSales::removequestion(const KeptSale& sale)
{
    const QString who = sale.membername.isEmpty() ? sale.cardnumber : sale.membername;
    QString question = u"Supprimer la vente de "_s + sale.amount + u" €"_s +
                       (who.isEmpty() ? QString() : u" de "_s + who) + u" ? "_s;
    // A send whose reply was lost may have landed: its points may be credited already.
    if (sale.mayhaveleft)
        return question + u"La plateforme l'a peut-être déjà reçue (sa réponse s'est perdue) : regardez "
                          u"l'historique du client avant de la supprimer. Supprimée, elle ne sera jamais "
                          u"envoyée."_s;
    return question + u"Elle ne sera jamais envoyée et ses points ne seront pas crédités."_s;
}

QString KeptSales::filename()
{
    return u"ventes-en-attente.sqlite"_s;
}

QString KeptSales::pathin(const QString& folder)
{
    return QDir(folder).filePath(filename());
}

QString KeptSales::confirmCaption(const Counts& counts)
{
    QStringList parts;
    if (counts.sales > 0)
        parts.append(counts.sales == 1 ? u"1 vente à confirmer"_s
                                       : u"%1 ventes à confirmer"_s.arg(counts.sales));
    if (counts.coupons > 0)
        parts.append(counts.coupons == 1 ? u"1 coupon à confirmer"_s
                                         : u"%1 coupons à confirmer"_s.arg(counts.coupons));
    if (counts.enrolments > 0)
        parts.append(counts.enrolments == 1 ? u"1 adhésion à confirmer"_s
                                            : u"%1 adhésions à confirmer"_s.arg(counts.enrolments));
    if (counts.memberchanges > 0)
        parts.append(counts.memberchanges == 1
                         ? u"1 modification de fiche à confirmer"_s
                         : u"%1 modifications de fiche à confirmer"_s.arg(counts.memberchanges));
    return parts.join(u", "_s);
}

QString KeptSales::unnotedquestion(const QString& reason)
{
    return reason +
           u"\n\nSans ce fichier, une réponse perdue de la plateforme ne pourra pas être vérifiée et "
           u"l'envoi pourrait être compté deux fois s'il était refait. Envoyer quand même ?"_s;
}

int KeptSales::processingLimit()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("QUILBA_PROCESSING_LIMIT", &ok);
    return ok && seconds >= 0 ? seconds : 300;
}

int KeptSales::leaseSeconds()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("QUILBA_LEASE_SECONDS", &ok);
    return ok && seconds > 0 ? seconds : kleaseseconds;
}

int KeptSales::renewSeconds()
{
    return std::max(1, leaseSeconds() / 3);
}

KeptSales::KeptSales(const QString& path, const Clock& clock, int processingLimitSeconds)
    : m_path(path), m_clock(clock), m_owner(QUuid::createUuid().toString(QUuid::WithoutBraces)),
      m_limitms(qint64(processingLimitSeconds) * 1000)
{
}

KeptSales::~KeptSales()
{
    m_remover.reset();
    sqlite3_close(m_db);
}

QByteArray KeptSales::notremoved() const
{
    if (!m_remover)
        return {};
    const QList<qint64> ids = m_remover->pending();
    if (ids.isEmpty())
        return {};
    QByteArrayList numbers;
    for (const qint64 id : ids)
        numbers.append(QByteArray::number(id));
    return " AND id NOT IN (" + numbers.join(',') + ')';
}

qint64 KeptSales::nowms() const
{
    return m_clock.now().toMSecsSinceEpoch();
}

int KeptSales::exec(const char* sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
}

bool KeptSales::fail(const QString& action, int code)
{
    m_error = action + reason(code);
    return false;
}

// Why the system will not let us write the file or create a file beside it (its journal); 0 when
// it would.
int KeptSales::writeerror() const
{
    for (const QString& place : {m_path, QFileInfo(m_path).absolutePath()}) {
        if (::access(QFile::encodeName(place).constData(), W_OK) != 0 && errno != ENOENT)
            return errno;
    }
    return 0;
}

QString KeptSales::reason(int code) const
{
    const int error = m_db ? sqlite3_system_errno(m_db) : 0;
    switch (code & 0xff) {
    case SQLITE_FULL:
        return SystemError::text(ENOSPC);
    case SQLITE_READONLY:
        // SQLite opened the file for reading only, or cannot write its journal beside it.
        if (const int refused = writeerror())
            return SystemError::text(refused);
        return u"Le fichier ne peut être que lu."_s;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return u"Le fichier est occupé par un autre poste ; réessayez dans un instant."_s;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return u"Le fichier est endommagé ou ce n'est pas un fichier de ventes en attente."_s;
    case SQLITE_NOMEM:
        return SystemError::text(ENOMEM);
    case SQLITE_TOOBIG:
        return SystemError::text(EFBIG);
    case SQLITE_CANTOPEN:
        if (m_db && sqlite3_extended_errcode(m_db) == SQLITE_CANTOPEN_SYMLINK)
            return SystemError::text(ELOOP);
        // A file that could not be created says "missing" after SQLite's try to read it: the
        // folder tells why.
        if (error == ENOENT) {
            if (const int refused = writeerror())
                return SystemError::text(refused);
        }
        return SystemError::text(error != 0 ? error : EIO);
    case SQLITE_IOERR:
    case SQLITE_PERM:
        return SystemError::text(error != 0 ? error : EIO);
    default:
        return u"Erreur SQLite n° %1."_s.arg(code);
    }
}

bool KeptSales::open()
{
    if (m_db)
        return true;
    const QString action = u"Le fichier des ventes en attente "_s + m_path + u" ne s'ouvre pas : "_s;
    const QByteArray path = QFile::encodeName(m_path);
    // A new file is for the counter's group only, whatever the umask: it holds members' names
    // and card numbers, and every account at the counter writes it. SQLite gives its journal the
    // same mode. A failure here is told by SQLite's own try below.
    const int fresh =
        ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fresh >= 0) {
        ::fchmod(fresh, S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP);
        ::close(fresh);
    }
    // Never through a symbolic link: in the folder shared by the group it could point at somebody
    // else's file.
    int code = sqlite3_open_v2(path.constData(), &m_db,
                               SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (code == SQLITE_OK) {
        sqlite3_extended_result_codes(m_db, 1);
        sqlite3_busy_timeout(m_db, kbusyms);
        code = exec("PRAGMA synchronous = FULL");
    }
    if (code == SQLITE_OK) {
        // A rollback journal, whatever the file held before: WAL would not be shared by two
        // machines.
        Statement journal(m_db, "PRAGMA journal_mode = DELETE");
        code = done(journal.step());
    }
    qint64 version = 0;
    if (code == SQLITE_OK) {
        Statement read(m_db, "PRAGMA user_version");
        code = done(read.step());
        version = read.integer(0);
    }
    if (code != SQLITE_OK) {
        fail(action, code);
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    if (version > kversion) {
        m_error = action + u"il vient d'une version plus récente du programme."_s;
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    if (version == kversion)
        return true;
    const bool created = transact(action, [this] {
        // Read again inside the transaction: another counter may have just brought the file up
        // to date.
        qint64 version = 0;
        int code = SQLITE_OK;
        {
            Statement read(m_db, "PRAGMA user_version");
            code = done(read.step());
            version = read.integer(0);
        }
        if (code != SQLITE_OK || version >= kversion)
            return code;
        if (version < 1) {
            code = exec(R"sql(
                CREATE TABLE IF NOT EXISTS ventes (
                    id INTEGER PRIMARY KEY AUTOINCREMENT,
                    memberid TEXT NOT NULL,
                    membername TEXT NOT NULL,
                    cardnumber TEXT NOT NULL,
                    amount TEXT NOT NULL,
                    seller TEXT NOT NULL,
                    number TEXT NOT NULL,
                    request BLOB NOT NULL,
                    kept_at TEXT NOT NULL,
                    failure TEXT NOT NULL DEFAULT '',
                    failed_at TEXT NOT NULL DEFAULT '',
                    attempts INTEGER NOT NULL DEFAULT 0,
                    may_have_left INTEGER NOT NULL DEFAULT 0,
                    lease_owner TEXT NOT NULL DEFAULT '',
                    lease_until INTEGER NOT NULL DEFAULT 0);
            )sql");
        }
        // Version 2: the member's event keys read before the last send, one per line; NULL
        // before the first send.
        if (code == SQLITE_OK && version < 2)
            code = exec("ALTER TABLE ventes ADD COLUMN events_before TEXT");
        // Version 3: the outbox of the counter's writes. A sale or coupon use of the counter is
        // recorded before it leaves and stays while its outcome is not known; settle_after is
        // when (milliseconds since the epoch, UTC) its absence from the member's events is final.
        if (code == SQLITE_OK && version < 3)
            code = exec("ALTER TABLE ventes ADD COLUMN kind TEXT NOT NULL DEFAULT 'kept'");
        if (code == SQLITE_OK && version < 3)
            code = exec("ALTER TABLE ventes ADD COLUMN coupon_id TEXT NOT NULL DEFAULT ''");
        if (code == SQLITE_OK && version < 3)
            code = exec("ALTER TABLE ventes ADD COLUMN settle_after INTEGER NOT NULL DEFAULT 0");
        // Version 4: the kinds of the member writes (membercreate, memberupdate, childcreate,
        // childupdate). No column changes; the version keeps a program of version 3, which would
        // take an unknown kind for a kept sale and send it, from opening the file.
        if (code == SQLITE_OK)
            code = exec(QByteArray("PRAGMA user_version = " + QByteArray::number(kversion)).constData());
        return code;
    });
    if (!created) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
    return created;
}

template <typename Work> bool KeptSales::transact(const QString& action, Work work)
{
    int code = exec("BEGIN IMMEDIATE");
    if (code == SQLITE_OK)
        code = work();
    if (code == SQLITE_OK)
        code = exec("COMMIT");
    if (code == SQLITE_OK)
        return true;
    fail(action, code);
    // SQLite may have rolled back already (a full disk); a COMMIT that found the other counter
    // reading is still open.
    if (!sqlite3_get_autocommit(m_db))
        exec("ROLLBACK");
    return false;
}

std::optional<qint64> KeptSales::keep(const KeptSale& sale)
{
    if (!open())
        return std::nullopt;
    qint64 id = 0;
    const bool kept = transact(u"La vente n'a pas pu être mise en attente : "_s, [&] {
        Statement insert(m_db,
                         "INSERT INTO ventes (memberid, membername, cardnumber, amount, seller, number, "
                         "request, kept_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        insert.bind(1, sale.memberid).bind(2, sale.membername).bind(3, sale.cardnumber).bind(4, sale.amount);
        insert.bind(5, sale.seller).bind(6, sale.number).bindblob(7, sale.request);
        insert.bind(8, isotext(m_clock.now()));
        const int code = done(insert.step());
        id = sqlite3_last_insert_rowid(m_db);
        return code;
    });
    if (!kept)
        return std::nullopt;
    return id;
}

template <typename Rows>
std::optional<std::vector<KeptSale>> KeptSales::readall(Rows& rows, const QString& action)
{
    std::vector<KeptSale> writes;
    const qint64 now = nowms();
    int code;
    while ((code = rows.step()) == SQLITE_ROW)
        writes.push_back(readsale(rows, now));
    if (code != SQLITE_DONE) {
        fail(action, code);
        return std::nullopt;
    }
    return writes;
}

std::optional<std::vector<KeptSale>> KeptSales::list()
{
    if (!open())
        return std::nullopt;
    Statement rows(m_db, select("WHERE kind IN ('kept', 'sale')" + notremoved() + " ORDER BY id"));
    return readall(rows, u"Les ventes en attente n'ont pas pu être lues : "_s);
}

std::optional<int> KeptSales::count()
{
    if (!open())
        return std::nullopt;
    Statement rows(m_db, "SELECT count(*) FROM ventes WHERE kind = 'kept'");
    const int code = rows.step();
    if (code != SQLITE_ROW) {
        fail(u"Les ventes en attente n'ont pas pu être lues : "_s, code);
        return std::nullopt;
    }
    return int(rows.integer(0));
}

std::optional<KeptSales::Counts> KeptSales::counts()
{
    if (!open())
        return std::nullopt;
    Statement rows(m_db,
                   "SELECT sum(kind = 'kept'), sum(kind = 'sale'), sum(kind = 'coupon'), "
                   "sum(kind = 'membercreate'), sum(kind IN ('memberupdate', 'childcreate', 'childupdate')) "
                   "FROM ventes WHERE 1" +
                       notremoved());
    const int code = rows.step();
    if (code != SQLITE_ROW) {
        fail(u"Les ventes en attente n'ont pas pu être lues : "_s, code);
        return std::nullopt;
    }
    return Counts{int(rows.integer(0)), int(rows.integer(1)), int(rows.integer(2)), int(rows.integer(3)),
                  int(rows.integer(4))};
}

std::optional<std::vector<KeptSale>> KeptSales::pendingFor(const QString& memberid)
{
    if (!open())
        return std::nullopt;
    Statement rows(
        m_db, select("WHERE kind IN ('sale', 'coupon') AND memberid = ?" + notremoved() + " ORDER BY id"));
    rows.bind(1, memberid);
    return readall(rows, u"Les écritures à confirmer n'ont pas pu être lues : "_s);
}

std::optional<std::vector<KeptSale>>
KeptSales::pendingMemberWrites(const QString& memberid, const QString& cardnumber, const QString& membername)
{
    if (!open())
        return std::nullopt;
    Statement rows(m_db,
                   select("WHERE kind IN ('membercreate', 'memberupdate', 'childcreate', 'childupdate') "
                          "AND ((memberid <> '' AND memberid = ?1) "
                          "OR (kind = 'membercreate' AND cardnumber <> '' AND cardnumber = ?2) "
                          "OR (kind = 'membercreate' AND membername <> '' AND membername = ?3))" +
                          notremoved() + " ORDER BY id"));
    rows.bind(1, memberid).bind(2, cardnumber).bind(3, membername);
    return readall(rows, u"Les écritures à confirmer n'ont pas pu être lues : "_s);
}

KeptSales::Claimed KeptSales::find(qint64 id)
{
    Claimed found;
    if (!open()) {
        found.status = Status::Failed;
        return found;
    }
    Statement row(m_db, select("WHERE id = ?"));
    row.bind(1, id);
    const int code = row.step();
    if (code == SQLITE_ROW) {
        found.status = Status::Done;
        found.sale = readsale(row, nowms());
    } else if (code != SQLITE_DONE) {
        found.status = Status::Failed;
        fail(u"Les écritures à confirmer n'ont pas pu être lues : "_s, code);
    }
    return found;
}

QString KeptSales::couponBusyMessage()
{
    return u"Ce coupon est en cours d'utilisation à un autre poste : son utilisation n'est pas envoyée une "
           "seconde fois. Cliquez sur Actualiser dans un moment pour voir s'il a été utilisé."_s;
}

std::optional<qint64> KeptSales::begin(const KeptSale& write)
{
    m_busy = false;
    if (!open())
        return std::nullopt;
    qint64 id = 0;
    QString action = u"La vente n'a pas pu être notée avant l'envoi : "_s;
    switch (write.kind) {
    case KeptSale::Kind::Coupon:
        action = u"L'utilisation du coupon n'a pas pu être notée avant l'envoi : "_s;
        break;
    case KeptSale::Kind::MemberCreate:
        action = u"L'adhésion n'a pas pu être notée avant l'envoi : "_s;
        break;
    case KeptSale::Kind::MemberUpdate:
    case KeptSale::Kind::ChildCreate:
    case KeptSale::Kind::ChildUpdate:
        action = u"La modification de la fiche n'a pas pu être notée avant l'envoi : "_s;
        break;
    case KeptSale::Kind::Kept:
    case KeptSale::Kind::Sale:
        break;
    }
    const bool begun = transact(action, [&] {
        const qint64 now = nowms();
        QStringList keys;
        if (write.before)
            keys = QStringList(write.before->begin(), write.before->end());
        keys.sort();
        // Two counters showing the same coupon: the first use noted goes, the other is stopped
        // here, in the transaction that would note it.
        if (write.kind == KeptSale::Kind::Coupon) {
            Statement other(m_db,
                            "SELECT 1 FROM ventes WHERE kind = 'coupon' AND coupon_id = ? AND memberid = ?" +
                                notremoved());
            other.bind(1, write.couponId).bind(2, write.memberid);
            const int found = other.step();
            if (found == SQLITE_ROW) {
                m_busy = true;
                return SQLITE_OK;
            }
            if (found != SQLITE_DONE)
                return done(found);
        }
        Statement insert(m_db,
                         "INSERT INTO ventes (memberid, membername, cardnumber, amount, seller, number, "
                         "request, kept_at, kind, coupon_id, may_have_left, lease_owner, lease_until, "
                         "events_before, settle_after) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1, ?, ?, ?, ?)");
        insert.bind(1, write.memberid).bind(2, write.membername).bind(3, write.cardnumber);
        insert.bind(4, write.amount).bind(5, write.seller).bind(6, write.number).bindblob(7, write.request);
        insert.bind(8, isotext(m_clock.now())).bind(9, QString::fromLatin1(kindname(write.kind)));
        insert.bind(10, write.couponId).bind(11, m_owner).bind(12, now + qint64(leaseSeconds()) * 1000);
        if (write.before)
            insert.bind(13, keys.join(u'\n'));
        // Should this counter die with it, absence is final once its lease and the platform's
        // processing are over.
        insert.bind(14, now + qint64(leaseSeconds()) * 1000 + m_limitms);
        const int code = done(insert.step());
        id = sqlite3_last_insert_rowid(m_db);
        return code;
    });
    if (!begun)
        return std::nullopt;
    if (m_busy) {
        m_error = couponBusyMessage();
        return std::nullopt;
    }
    m_holding.insert(id);
    return id;
}

KeptSales::Status KeptSales::await(qint64 id, const QDateTime& settleAfter)
{
    m_holding.remove(id);
    return asholder(id, u"L'écriture à confirmer n'a pas pu être notée : "_s, [&] {
        Statement back(m_db, "UPDATE ventes SET may_have_left = 1, lease_owner = '', lease_until = 0, "
                             "settle_after = CASE WHEN ?1 > 0 THEN ?1 ELSE settle_after END "
                             "WHERE id = ?2 AND lease_owner = ?3");
        back.bind(1, settleAfter.isValid() ? settleAfter.toMSecsSinceEpoch() : qint64(0));
        back.bind(2, id).bind(3, m_owner);
        return done(back.step());
    });
}

KeptSales::Status KeptSales::expect(qint64 id, const QDateTime& settleAfter)
{
    return asholder(id, u"L'écriture à confirmer n'a pas pu être notée : "_s, [&] {
        Statement note(
            m_db, "UPDATE ventes SET may_have_left = 1, settle_after = ? WHERE id = ? AND lease_owner = ?");
        note.bind(1, settleAfter.toMSecsSinceEpoch()).bind(2, id).bind(3, m_owner);
        return done(note.step());
    });
}

KeptSales::Status KeptSales::keepSale(qint64 id, const QString& failure)
{
    m_holding.remove(id);
    return asholder(id, u"La vente n'a pas pu être mise en attente : "_s, [&] {
        Statement back(m_db, "UPDATE ventes SET kind = 'kept', may_have_left = 0, lease_owner = '', "
                             "lease_until = 0, failure = ?, failed_at = ? WHERE id = ? AND lease_owner = ?");
        back.bind(1, failure).bind(2, failure.isEmpty() ? QString() : isotext(m_clock.now()));
        back.bind(3, id).bind(4, m_owner);
        return done(back.step());
    });
}

KeptSales::Claimed KeptSales::claimWrite(qint64 id)
{
    Claimed claimed;
    if (!open()) {
        claimed.status = Status::Failed;
        return claimed;
    }
    const bool ok = transact(u"L'écriture à confirmer n'a pas pu être prise : "_s, [&] {
        const qint64 now = nowms();
        Statement row(m_db, select("WHERE id = ?"));
        row.bind(1, id);
        int code = row.step();
        if (code != SQLITE_ROW)
            return done(code);
        claimed.sale = readsale(row, now);
        if (claimed.sale.held) {
            claimed.status = Status::Held;
            return SQLITE_OK;
        }
        code = take(id, now, claimed.sale);
        if (code == SQLITE_OK)
            claimed.status = Status::Done;
        return code;
    });
    if (!ok)
        return Claimed{Status::Failed, {}};
    if (claimed.status == Status::Done) {
        m_holding.insert(id);
        claimed.sale.held = true;
    }
    return claimed;
}

void KeptSales::renew()
{
    if (m_holding.isEmpty() || !open())
        return;
    transact(u"Les écritures en cours n'ont pas pu être gardées : "_s, [&] {
        Statement extend(m_db, "UPDATE ventes SET lease_until = ? WHERE lease_owner = ?");
        extend.bind(1, nowms() + qint64(leaseSeconds()) * 1000).bind(2, m_owner);
        return done(extend.step());
    });
}

// Takes the lease of a row read in the same transaction. A row whose lease ran out was held by a
// counter that is gone: it may have sent it, and the platform may process that send until the
// platform's limit after the lease ended.
int KeptSales::take(qint64 id, qint64 now, KeptSale& sale)
{
    Statement take(m_db, "UPDATE ventes SET settle_after = CASE WHEN lease_owner <> '' "
                         "AND lease_until + ?1 > settle_after THEN lease_until + ?1 ELSE settle_after END, "
                         "lease_owner = ?2, lease_until = ?3, may_have_left = 1 WHERE id = ?4");
    take.bind(1, m_limitms).bind(2, m_owner).bind(3, now + qint64(leaseSeconds()) * 1000).bind(4, id);
    int code = done(take.step());
    if (code != SQLITE_OK)
        return code;
    // The sale as it is now, but for "may have left", which tells whether an earlier holder may
    // have sent it.
    const bool mayhaveleft = sale.mayhaveleft;
    Statement again(m_db, select("WHERE id = ?"));
    again.bind(1, id);
    code = again.step();
    if (code == SQLITE_ROW)
        sale = readsale(again, now);
    sale.mayhaveleft = mayhaveleft;
    return done(code);
}

KeptSales::Status KeptSales::remove(qint64 id)
{
    if (!open())
        return Status::Failed;
    Status status = Status::Done;
    const bool removed = transact(u"La vente en attente n'a pas pu être supprimée : "_s, [&] {
        Statement holder(m_db, "SELECT lease_owner, lease_until FROM ventes WHERE id = ?");
        holder.bind(1, id);
        const int code = holder.step();
        if (code != SQLITE_ROW) {
            status = Status::None;
            return done(code);
        }
        if (!holder.text(0).isEmpty() && holder.text(0) != m_owner && holder.integer(1) > nowms()) {
            status = Status::Held;
            return SQLITE_OK;
        }
        Statement erase(m_db, "DELETE FROM ventes WHERE id = ?");
        erase.bind(1, id);
        return done(erase.step());
    });
    if (!removed)
        return Status::Failed;
    if (status == Status::None)
        m_error = u"Cette vente n'est plus en attente."_s;
    else if (status == Status::Held)
        m_error = u"Cette vente est en cours d'envoi par un autre poste : elle ne peut pas être supprimée "
                  u"maintenant."_s;
    return status;
}

KeptSales::Claimed KeptSales::claim(const QSet<qint64>& skip, int leaseseconds)
{
    Claimed claimed;
    if (!open()) {
        claimed.status = Status::Failed;
        return claimed;
    }
    const bool ok = transact(u"La vente en attente n'a pas pu être prise pour l'envoi : "_s, [&] {
        const qint64 now = nowms();
        // Free, or held under a lease that ran out; and no older sale of the same member still
        // held, so that it cannot overtake that one.
        Statement oldest(m_db, select(R"sql(AS v
            WHERE NOT (v.lease_owner <> '' AND v.lease_until > ?1)
              AND instr(',' || ?2 || ',', ',' || v.id || ',') = 0
              AND NOT EXISTS (SELECT 1 FROM ventes AS o WHERE o.memberid = v.memberid AND o.id < v.id
                                 AND o.lease_owner <> '' AND o.lease_until > ?1)
            ORDER BY v.id LIMIT 1)sql"));
        QStringList skipped;
        for (const qint64 id : skip)
            skipped.append(QString::number(id));
        oldest.bind(1, now).bind(2, skipped.join(u','));
        const int code = oldest.step();
        if (code != SQLITE_ROW)
            return done(code);
        claimed.sale = readsale(oldest, now);
        claimed.status = Status::Done;
        const int taken = take(claimed.sale.id, now, claimed.sale);
        if (taken == SQLITE_OK && leaseseconds > 0 && leaseseconds != leaseSeconds()) {
            Statement lease(m_db, "UPDATE ventes SET lease_until = ? WHERE id = ?");
            lease.bind(1, now + qint64(leaseseconds) * 1000).bind(2, claimed.sale.id);
            return done(lease.step());
        }
        return taken;
    });
    if (!ok) {
        claimed = Claimed{Status::Failed, {}};
        return claimed;
    }
    claimed.sale.held = claimed.status == Status::Done;
    if (claimed.sale.held)
        m_holding.insert(claimed.sale.id);
    return claimed;
}

template <typename Change>
KeptSales::Status KeptSales::asholder(qint64 id, const QString& action, Change change)
{
    if (!open())
        return Status::Failed;
    Status status = Status::Done;
    const bool changed = transact(action, [&] {
        const int code = change();
        if (code != SQLITE_OK || sqlite3_changes(m_db) == 1)
            return code;
        Statement still(m_db, "SELECT 1 FROM ventes WHERE id = ?");
        still.bind(1, id);
        const int found = still.step();
        status = found == SQLITE_ROW ? Status::Lost : Status::None;
        return done(found);
    });
    if (!changed)
        return Status::Failed;
    if (status == Status::Lost)
        m_error = u"Un autre poste a repris l'envoi de cette vente."_s;
    else if (status == Status::None)
        m_error = u"Cette vente n'est plus en attente."_s;
    return status;
}

KeptSales::Status KeptSales::recordbefore(qint64 id, const QSet<QString>& before)
{
    QStringList keys(before.begin(), before.end());
    keys.sort();
    return asholder(id, u"La vente en attente n'a pas pu être préparée pour l'envoi : "_s, [&] {
        Statement note(m_db, "UPDATE ventes SET events_before = ? WHERE id = ? AND lease_owner = ?");
        note.bind(1, keys.join(u'\n')).bind(2, id).bind(3, m_owner);
        return done(note.step());
    });
}

KeptSales::Status KeptSales::settle(qint64 id)
{
    m_holding.remove(id);
    return asholder(id, u"La vente envoyée n'a pas pu être retirée des ventes en attente : "_s, [&] {
        Statement erase(m_db, "DELETE FROM ventes WHERE id = ? AND lease_owner = ?");
        erase.bind(1, id).bind(2, m_owner);
        return done(erase.step());
    });
}

void KeptSales::settleLater(qint64 id)
{
    m_holding.remove(id);
    if (!m_remover)
        m_remover = std::make_unique<OutboxRemover>(m_path, m_owner);
    m_remover->remove(id);
}

void KeptSales::waitSettled()
{
    if (m_remover)
        m_remover->wait();
}

KeptSales::Status KeptSales::release(qint64 id, const QString& failure, Departure departure,
                                     const QDateTime& settleAfter)
{
    m_holding.remove(id);
    return asholder(id, u"L'échec de l'envoi n'a pas pu être noté : "_s, [&] {
        Statement back(m_db, "UPDATE ventes SET failure = ?1, failed_at = ?2, attempts = attempts + 1, "
                             "may_have_left = ?3, lease_owner = '', lease_until = 0, "
                             "settle_after = CASE WHEN ?6 > 0 THEN ?6 ELSE settle_after END "
                             "WHERE id = ?4 AND lease_owner = ?5");
        back.bind(1, failure).bind(2, isotext(m_clock.now()));
        back.bind(3, qint64(departure == Departure::NotLeft ? 0 : 1)).bind(4, id).bind(5, m_owner);
        back.bind(6, settleAfter.isValid() ? settleAfter.toMSecsSinceEpoch() : qint64(0));
        return done(back.step());
    });
}
