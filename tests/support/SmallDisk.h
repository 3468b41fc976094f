#pragma once

#include <QString>
#include <QTemporaryDir>

// A real small file system for the tests of a full or read-only disk: a tmpfs mounted on a
// temporary folder for the life of the object. Mounting needs root (CI runs the tests as root);
// elsewhere ok() is false and reason() says why, for QSKIP.
class SmallDisk final
{
public:
    explicit SmallDisk(int kilobytes = 64);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool ok() const { return m_mounted; }
    const QString& reason() const { return m_reason; }
    // The folder the file system is mounted on.
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    // Takes every free byte with a filler file: the next write that needs room fails with ENOSPC.
    bool fill();
    // Mounts it again read-only.
    bool makereadonly();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_reason;
};
