#pragma once

#include "platform/Dialogs.h"

#include <QStringList>

// Keeps the texts of the boxes a reader shows.
class RecordingDialogs final : public Dialogs
{
public:
    void information(const QString& text) override { texts << text; }
    bool error(const QString& text) override { return record(text); }
    bool question(const QString& text) override { return record(text); }
    bool warning(const QString& text) override { return record(text); }
    void exception(const QString& text) override { texts << text; }

    QStringList texts;

private:
    bool record(const QString& text)
    {
        texts << text;
        return true;
    }
};
