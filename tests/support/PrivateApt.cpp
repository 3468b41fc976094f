#include "PrivateApt.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>

using namespace Qt::Literals::StringLiterals;

PrivateApt::PrivateApt(const QString& keyring)
{
    if (!m_dir.isValid()) {
        m_error = u"pas de dossier temporaire"_s;
        return;
    }
    // Root's apt reads the keyring and the lists as the user _apt: they are readable by all, as
    // in /usr/share/keyrings.
    QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | QFile::ReadGroup |
                                            QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    const QDir root(m_dir.path());
    for (const QString& folder :
         {u"etc/apt.conf.d"_s, u"etc/preferences.d"_s, u"etc/sources.list.d"_s, u"etc/trusted.gpg.d"_s,
          u"state/lists/partial"_s, u"cache/archives/partial"_s, u"log"_s, u"target/var/lib/dpkg/info"_s,
          u"target/var/lib/dpkg/updates"_s, u"target/var/lib/dpkg/triggers"_s, u"bin"_s,
          u"usr/libexec/quilba"_s, u"usr/share/keyrings"_s}) {
        if (!root.mkpath(folder)) {
            m_error = u"dossier "_s + folder;
            return;
        }
    }
    // ROOT stands for this root's folder.
    QByteArray config = R"(Dir::State "ROOT/state";
Dir::State::status "ROOT/target/var/lib/dpkg/status";
Dir::Cache "ROOT/cache";
Dir::Etc "ROOT/etc";
Dir::Log "ROOT/log";
DPkg::Options { "--root=ROOT/target"; "--force-not-root"; "--log=ROOT/log/dpkg.log"; };
)";
    QByteArray pkexec = R"(#!/bin/sh
printf '%s\n' "$@" >'ROOT/asked'
[ -e 'ROOT/declined' ] && exit 126
exec env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin APT_CONFIG='ROOT/apt.conf' "$@"
)";
    config.replace("ROOT", m_dir.path().toUtf8());
    pkexec.replace("ROOT", m_dir.path().toUtf8());
    const QByteArray installer = readfile(QStringLiteral(QUILBA_PACKAGING_DIR) + u"/debian/quilba-update"_s);
    const QByteArray key = readfile(keyring);
    if (installer.isEmpty() || key.isEmpty()) {
        m_error = u"installateur ou trousseau illisible"_s;
        return;
    }
    if (!writefile(root.filePath(u"apt.conf"_s), config) ||
        !writefile(root.filePath(u"etc/sources.list"_s), {}) ||
        !writefile(root.filePath(u"target/var/lib/dpkg/status"_s), {}) ||
        !writefile(root.filePath(u"target/var/lib/dpkg/available"_s), {}) ||
        !writefile(root.filePath(u"bin/pkexec"_s), pkexec, true) ||
        !writefile(this->installer(), installer, true) ||
        !writefile(root.filePath(u"usr/share/keyrings/quilba-archive-keyring.gpg"_s), key))
        m_error = u"fichiers de la racine privée"_s;
}

bool PrivateApt::writefile(const QString& path, const QByteArray& bytes, bool executable)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return !executable || file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeUser);
}

QString PrivateApt::installer() const
{
    return m_dir.filePath(u"usr/libexec/quilba/quilba-update"_s);
}

QStringList PrivateApt::searchpath() const
{
    return {m_dir.filePath(u"bin"_s)};
}

void PrivateApt::setdeclined(bool declined)
{
    QFile marker(m_dir.filePath(u"declined"_s));
    if (declined)
        marker.open(QIODevice::WriteOnly);
    else
        marker.remove();
}

QStringList PrivateApt::asked() const
{
    QByteArray text = readfile(m_dir.filePath(u"asked"_s));
    if (text.isEmpty())
        return {};
    text.chop(1);
    QStringList arguments;
    for (const QByteArray& argument : text.split('\n'))
        arguments.append(QString::fromUtf8(argument));
    return arguments;
}

QString PrivateApt::installed(const QString& package) const
{
    QProcess query;
    query.start(u"dpkg-query"_s, {u"--admindir="_s + target() + u"/var/lib/dpkg"_s, u"--show"_s,
                                  u"--showformat=${Status} ${Version}"_s, package});
    if (!query.waitForFinished(30 * 1000) || query.exitCode() != 0)
        return {};
    const QString shown = QString::fromUtf8(query.readAllStandardOutput());
    const QString installed = u"install ok installed "_s;
    return shown.startsWith(installed) ? shown.mid(installed.size()) : QString();
}

QString PrivateApt::target() const
{
    return m_dir.filePath(u"target"_s);
}
