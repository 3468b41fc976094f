#pragma once

#include "platform/Shell.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The update on Debian. The package's own installer (quilba-update, which the system runs as an
// administrator) takes the package quilba from the Debian repository of the update location,
// whose index must be signed by the key the package ships; apt checks the signature and every
// hash. The program only hands it the repository's address and the version: never a file.
// This class holds what the program and the installer say to each other, and what the
// pharmacist is told of it.
class PackageUpdate final
{
public:
    // The installer's exit statuses.
    enum Status
    {
        Installed = 0,
        WrongArguments = 1,
        Unreachable = 2,
        Unsigned = 3,
        NoSuchVersion = 4,
        NotFetched = 5,
        NotInstalled = 6
    };

    // The repository of the update location: "<urlupdate>/debian".
    static QString repository(const QString& urlupdate);
    // The installer's arguments: the repository and the version to install.
    static QStringList arguments(const QString& urlupdate, const QString& version);
    // The percentage of one of the installer's progress lines ("progression 40"); -1 for any
    // other line.
    static int progress(QByteArrayView line);
    // What the pharmacist is told once the installer has run; empty when the administrator's
    // question was dismissed (nothing changed, nothing to say).
    static QString message(const UpdateRun& run, const QString& version);
};
