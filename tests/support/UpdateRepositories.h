#pragma once

#include <QString>
#include <QTemporaryDir>

// Signed Debian repositories of Quilba's updates, made by the scripts that ./run package uses:
// the package's key and another one by archive-key.sh, each repository by make-repository.sh,
// holding a small package quilba built with dpkg-deb. Everything lives in a temporary folder; no
// agent of GnuPG is left running.
class UpdateRepositories final
{
public:
    enum class Signature
    {
        Quilba, // the package's key
        Other,  // a key the package does not know
        None    // no InRelease: Release alone, unsigned
    };

    UpdateRepositories();

    bool ready() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }
    // The public keyring of the package's key, as the package ships it.
    QString keyring() const;

    // A repository folder holding quilba of `version`, signed so; `changed`: the package's bytes
    // altered after signing (its size kept). Empty on failure, with error().
    QString make(const QString& name, const QString& version, Signature signature, bool changed = false);

private:
    bool run(const QString& program, const QStringList& arguments, const QString& gnupghome,
             QString* output = nullptr);
    QString package(const QString& version);

    QTemporaryDir m_dir;
    QString m_quilbakey;
    QString m_otherkey;
    QString m_error;
};
