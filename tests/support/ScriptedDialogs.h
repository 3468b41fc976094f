#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QString>
#include <QStringList>

// Dialogs for tests: records every box (kind and text) and answers from a script.
// Boxes asked for beyond the script answer with the default (true: OK / Yes).
class ScriptedDialogs final : public Dialogs
{
public:
    struct Shown
    {
        QString kind; // "information", "error", "question", "warning", "exception"
        QString text;
    };

    void information(const QString& text) override;
    bool error(const QString& text) override;
    bool question(const QString& text) override;
    bool warning(const QString& text) override;
    void exception(const QString& text) override;

    // Answers given, in order, to the next boxes that take an answer.
    void script(const QList<bool>& answers) { m_answers = answers; }
    const QList<Shown>& shown() const { return m_shown; }
    QStringList texts() const;
    void clear() { m_shown.clear(); }

private:
    bool answer();

    QList<bool> m_answers;
    QList<Shown> m_shown;
};
