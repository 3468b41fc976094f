#pragma once

#include <QString>

// The program's work folder: the settings file, the log file and the downloaded setup program
// live there. QUILBA_WORKDIR names it when set; otherwise it is "Quilba" in the folder shared by
// all users of the machine, created (one level) when missing, with mode 2770 whatever the umask;
// where the system has no such folder, the folder of the executable. The path always ends
// with "/".
class WorkFolder final
{
public:
    struct Location
    {
        QString path;   // ends with "/"
        bool ok = true; // false: the folder is missing and could not be created
    };

    // From the environment and the system.
    static Location locate();
    // The rule itself: workdir is the override (empty: none), commonbase the all-users folder of
    // the system (empty: none), exedir the folder of the executable.
    static Location locate(const QString& workdir, const QString& commonbase, const QString& exedir);

    // The all-users application data folder of the system; empty where there is none.
    static QString commonbase();
};
