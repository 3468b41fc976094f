#pragma once

#include <QString>
#include <QStringList>

// The command-line switches "debug", "log", "kestrel" and "nocoupon". A switch is present when an
// argument (the program path not counted) begins with "-" or "/" and the rest of it equals the
// switch's name, letter case aside.
class Switches final
{
public:
    Switches() = default;
    // arguments: the whole command line, the program path first.
    explicit Switches(const QStringList& arguments);

    bool has(const QString& name) const;

    bool debug() const { return has(QStringLiteral("debug")); }
    bool log() const { return has(QStringLiteral("log")); }
    bool kestrel() const { return has(QStringLiteral("kestrel")); }
    bool nocoupon() const { return has(QStringLiteral("nocoupon")); }

private:
    QStringList m_arguments;
};
