#include "TestFiles.h"

#include <QByteArrayList>
#include <QFile>

QByteArray readfile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray filledlines(const QString& path)
{
    QByteArrayList lines = readfile(path).split('\n');
    lines.removeAll(QByteArray());
    return lines.join('\n');
}
