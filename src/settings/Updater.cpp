#include "settings/Updater.h"

#include "api/ReplyBuffer.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "settings/PackageUpdate.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QList>
#include <QSaveFile>

using namespace Qt::Literals::StringLiterals;

namespace {

// A version text is short; a setup program is held whole in memory before it is written.
constexpr qint64 kmaxversion = qint64(1) * 1024 * 1024;
constexpr qint64 kmaxsetup = qint64(512) * 1024 * 1024;

bool blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && blank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && blank(text.back()))
        text.chop(1);
    return text;
}

// The numbers of a version, each without its leading zeros; empty when the text is not a version.
QList<QByteArrayView> numbers(QByteArrayView text)
{
    text = trimmed(text);
    QList<QByteArrayView> parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '.') {
            if (text[i] < '0' || text[i] > '9')
                return {};
            continue;
        }
        QByteArrayView part = text.sliced(start, i - start);
        if (part.isEmpty())
            return {};
        while (part.size() > 1 && part.front() == '0')
            part = part.sliced(1);
        parts.append(part);
        start = i + 1;
    }
    return parts;
}

// Two numbers of any length, written without leading zeros.
int comparenumbers(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

} // namespace

Updater::Updater(const Settings& settings, ReplyBuffer& buffer, Dialogs& dialogs, Shell& shell,
                 const HttpClient& proxysource)
    : m_httpmaj(profile()), m_settings(settings), m_buffer(buffer), m_dialogs(dialogs), m_shell(shell),
      m_proxysource(proxysource)
{
}

HttpClient::Profile Updater::profile()
{
    return {"Mozilla/3.0 (compatible; Indy Library)",
            "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8",
            {}};
}

QString Updater::location(const QString& file) const
{
    QString base = m_settings.urlupdate();
    while (base.endsWith(u'/'))
        base.chop(1);
    return base + u'/' + file;
}

void Updater::checkupdate()
{
    m_httpmaj.setproxy(m_proxysource.proxy());
    m_httpmaj.setmaxreply(kmaxversion);
    const HttpReply reply = m_httpmaj.postform(location(u"version.html"_s), QString());
    if (!reply.ok) {
        m_dialogs.information(u"Erreur Connexion plateforme mise à jour"_s);
        return;
    }
    m_buffer.load(reply.body);
    // The version as the log shows it. An error page or an empty reply is no version: nothing is
    // offered, nothing is said.
    const QByteArray version = ReplyBuffer::normalised(reply.body);
    if (!isnewer(version, ownversion()))
        return;
    if (!m_dialogs.question(
            u"Une nouvelle version est disponible\r\nVoulez vous installer la nouvelle version"_s))
        return;
    m_offered = version;
    installupdate();
}

void Updater::installupdate()
{
    if (m_installer == Installer::SetupProgram)
        installsetup();
    else
        installfromrepository();
}

HttpReply Updater::download(const QString& file)
{
    if (m_display)
        m_display->showprogress();

    bool begun = false;
    qint64 announced = -1;
    m_httpmaj.setmaxreply(kmaxsetup);
    HttpReply reply = m_httpmaj.get(location(file), [&](qint64 done, qint64 total) {
        if (!begun || total != announced) {
            begun = true;
            announced = total;
            if (m_display)
                m_display->httpmajWorkBegin(total);
        }
        if (m_display)
            m_display->httpmajWork(done);
    });
    if (m_display)
        m_display->httpmajWorkEnd();
    if (reply.ok && (reply.body.isEmpty() || (announced >= 0 && reply.body.size() != announced)))
        reply.ok = false;
    return reply;
}

void Updater::installsetup()
{
    const HttpReply reply = download(u"setup.exe"_s);
    // Only a whole setup program is written and started.
    if (!reply.ok)
        return;
    const QString path = m_settings.applicationdata() + u"setup.exe"_s;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(reply.body) != reply.body.size() || !file.commit())
        return;
    m_shell.startinstaller(path, setuparguments(programfolder()));
}

void Updater::installfromrepository()
{
    // The offered version is a version (checked before it was offered): digits and dots only.
    if (!isversion(m_offered))
        return;
    const QString version = QString::fromLatin1(trimmed(m_offered));
    if (m_display)
        m_display->showprogress();
    // Until the installer reports progress (the administrator is being asked), the bar is busy.
    bool begun = false;
    const UpdateRun run = m_shell.installupdate(PackageUpdate::arguments(m_settings.urlupdate(), version),
                                                [&](const QByteArray& line) {
                                                    const int percent = PackageUpdate::progress(line);
                                                    if (percent < 0 || !m_display)
                                                        return;
                                                    if (!begun) {
                                                        begun = true;
                                                        m_display->httpmajWorkBegin(100);
                                                    }
                                                    m_display->httpmajWork(percent);
                                                });
    if (m_display)
        m_display->httpmajWorkEnd();
    const QString message = PackageUpdate::message(run, version);
    if (!message.isEmpty())
        m_dialogs.information(message);
}

QString Updater::ownversion()
{
    return QString::number(QUILBA_VERSION_MAJOR) + u'.' + QString::number(QUILBA_VERSION_MINOR);
}

bool Updater::isversion(QByteArrayView text)
{
    return !numbers(text).isEmpty();
}

int Updater::compareversions(QByteArrayView a, QByteArrayView b)
{
    const QList<QByteArrayView> left = numbers(a);
    const QList<QByteArrayView> right = numbers(b);
    const QByteArrayView zero("0");
    for (qsizetype i = 0; i < qMax(left.size(), right.size()); ++i) {
        const int order =
            comparenumbers(i < left.size() ? left.at(i) : zero, i < right.size() ? right.at(i) : zero);
        if (order != 0)
            return order;
    }
    return 0;
}

bool Updater::isnewer(QByteArrayView remote, const QString& own)
{
    const QByteArray ownbytes = own.toLatin1();
    return isversion(remote) && isversion(ownbytes) && compareversions(remote, ownbytes) > 0;
}

QString Updater::setuparguments(const QString& programfolder)
{
    return u"/SILENT /FORCECLOSEAPPLICATIONS /RESTARTAPPLICATIONS /DIR="_s + u'"' + programfolder + u'"';
}

QString Updater::programfolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + u'/');
}
