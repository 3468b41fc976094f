#pragma once

#include <QByteArray>
#include <QString>

// Files as a test reads them back.

// The whole file; empty when it cannot be read.
QByteArray readfile(const QString& path);
// The lines of a file that are not blank, joined with "\n".
QByteArray filledlines(const QString& path);
