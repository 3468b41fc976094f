#include "ScriptedDialogs.h"

bool ScriptedDialogs::answer()
{
    return m_answers.isEmpty() ? true : m_answers.takeFirst();
}

void ScriptedDialogs::information(const QString& text)
{
    m_shown.append({QStringLiteral("information"), text});
}

bool ScriptedDialogs::error(const QString& text)
{
    m_shown.append({QStringLiteral("error"), text});
    return answer();
}

bool ScriptedDialogs::question(const QString& text)
{
    m_shown.append({QStringLiteral("question"), text});
    return answer();
}

bool ScriptedDialogs::warning(const QString& text)
{
    m_shown.append({QStringLiteral("warning"), text});
    return answer();
}

void ScriptedDialogs::exception(const QString& text)
{
    m_shown.append({QStringLiteral("exception"), text});
}

QStringList ScriptedDialogs::texts() const
{
    QStringList out;
    for (const Shown& s : m_shown)
        out.append(s.text);
    return out;
}
