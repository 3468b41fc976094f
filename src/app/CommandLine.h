#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for before any window exists: the version, the help, or a normal run.
// "--version" and "--help" (also "-h", "-?", "/?") are answered on standard output without a
// display; every other argument is left to the switches ("-debug", "/LOG", ...).
class CommandLine final
{
public:
    enum class Request
    {
        Run,
        Version,
        Help
    };

    // arguments: the whole command line, the program path first. The first of the two requests
    // found wins.
    static Request request(const QStringList& arguments);
    // The command line as given to main, before any application object exists.
    static QStringList arguments(int argc, const char* const* argv);

    static QString versiontext(const QString& version);
    static QString helptext();
};
