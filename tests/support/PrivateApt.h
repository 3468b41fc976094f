#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A private root for apt and dpkg, so that the machine's own are left untouched: apt's
// configuration (APT_CONFIG) with its own sources, lists, cache and log, and a dpkg database with
// the folder it installs into. Beside it, the package's update installer and a keyring laid out
// as the package lays them out (libexec/quilba/quilba-update, share/keyrings/), and a pkexec that
// records what it is asked to run, then runs it as the caller would as root: with an emptied
// environment, in this private root.
class PrivateApt final
{
public:
    explicit PrivateApt(const QString& keyring);

    bool ready() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }

    // The installer, as the program is to find it.
    QString installer() const;
    // The folders where the program is to look for pkexec: this one's only.
    QStringList searchpath() const;
    // pkexec answers as when the administrator dismisses its question: nothing runs.
    void setdeclined(bool declined);
    // What pkexec was last asked to run, one argument an item; empty when it was not called.
    QStringList asked() const;
    // The version of the package installed in the private root; empty when it is not installed.
    QString installed(const QString& package) const;
    // The folder dpkg installs into.
    QString target() const;

private:
    bool writefile(const QString& path, const QByteArray& bytes, bool executable = false);

    QTemporaryDir m_dir;
    QString m_error;
};
