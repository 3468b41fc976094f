#include "UpdateRepositories.h"

#include <QDir>
#include <QFile>
#include <QProcess>

using namespace Qt::Literals::StringLiterals;

namespace {

QString script(const QString& name)
{
    return QStringLiteral(QUILBA_PACKAGING_DIR) + u"/repository/"_s + name;
}

} // namespace

UpdateRepositories::UpdateRepositories()
{
    if (!m_dir.isValid()) {
        m_error = u"pas de dossier temporaire"_s;
        return;
    }
    QString key;
    if (!run(u"sh"_s, {script(u"archive-key.sh"_s), m_dir.filePath(u"quilba"_s)}, {}, &key))
        return;
    m_quilbakey = key.trimmed();
    if (!run(u"sh"_s,
             {script(u"archive-key.sh"_s), m_dir.filePath(u"autre"_s), u"Autre éditeur <depot@autre.test>"_s},
             {}, &key))
        return;
    m_otherkey = key.trimmed();
}

QString UpdateRepositories::keyring() const
{
    return m_dir.filePath(u"quilba/quilba-archive-keyring.gpg"_s);
}

bool UpdateRepositories::run(const QString& program, const QStringList& arguments, const QString& gnupghome,
                             QString* output)
{
    QProcess process;
    if (!gnupghome.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"GNUPGHOME"_s, gnupghome);
        process.setProcessEnvironment(environment);
    }
    process.start(program, arguments);
    if (!process.waitForFinished(60 * 1000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        m_error = program + u' ' + arguments.join(u' ') + u" : "_s +
                  QString::fromUtf8(process.readAllStandardError()) + process.errorString();
        return false;
    }
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput());
    return true;
}

QString UpdateRepositories::package(const QString& version)
{
    const QString root = m_dir.filePath(u"paquet-"_s + version);
    QDir(root).removeRecursively();
    if (!QDir().mkpath(root + u"/DEBIAN"_s) || !QDir().mkpath(root + u"/usr/share/doc/quilba"_s)) {
        m_error = u"dossier du paquet"_s;
        return {};
    }
    QFile control(root + u"/DEBIAN/control"_s);
    QFile content(root + u"/usr/share/doc/quilba/version"_s);
    if (!control.open(QIODevice::WriteOnly) || !content.open(QIODevice::WriteOnly)) {
        m_error = u"fichiers du paquet"_s;
        return {};
    }
    QProcess architecture;
    architecture.start(u"dpkg"_s, {u"--print-architecture"_s});
    architecture.waitForFinished();
    control.write("Package: quilba\nVersion: " + version.toUtf8() +
                  "\nArchitecture: " + architecture.readAllStandardOutput().trimmed() +
                  "\nMaintainer: Essai <essai@quilba.fr>\nDescription: paquet d'essai de la mise à jour\n");
    control.close();
    content.write("Quilba " + version.toUtf8() + '\n');
    content.close();
    const QString deb = m_dir.filePath(u"quilba_"_s + version + u".deb"_s);
    if (!run(u"dpkg-deb"_s, {u"--root-owner-group"_s, u"--build"_s, root, deb}, {}))
        return {};
    return deb;
}

QString UpdateRepositories::make(const QString& name, const QString& version, Signature signature,
                                 bool changed)
{
    if (!ready())
        return {};
    const QString deb = package(version);
    if (deb.isEmpty())
        return {};
    const QString folder = m_dir.filePath(u"depots/"_s + name);
    const bool other = signature == Signature::Other;
    const QString gnupghome = m_dir.filePath(other ? u"autre/gnupg"_s : u"quilba/gnupg"_s);
    if (!QDir().mkpath(m_dir.filePath(u"depots"_s)) ||
        !run(u"sh"_s, {script(u"make-repository.sh"_s), folder, other ? m_otherkey : m_quilbakey, deb},
             gnupghome))
        return {};
    run(u"gpgconf"_s, {u"--kill"_s, u"gpg-agent"_s}, gnupghome);
    if (signature == Signature::None && !QFile::remove(folder + u"/InRelease"_s)) {
        m_error = u"InRelease"_s;
        return {};
    }
    if (changed) {
        QDir pool(folder + u"/pool"_s);
        QFile file(pool.filePath(pool.entryList(QDir::Files).value(0)));
        if (!file.open(QIODevice::ReadWrite) || file.size() < 200) {
            m_error = u"paquet du dépôt"_s;
            return {};
        }
        // A byte near the end, in the files' archive: the same size, other bytes.
        file.seek(file.size() - 100);
        char byte = 0;
        file.getChar(&byte);
        file.seek(file.size() - 100);
        file.putChar(char(byte ^ 0x5a));
    }
    return folder;
}
