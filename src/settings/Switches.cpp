#include "settings/Switches.h"

Switches::Switches(const QStringList& arguments) : m_arguments(arguments.mid(1)) {}

bool Switches::has(const QString& name) const
{
    for (const QString& argument : m_arguments) {
        if (argument.size() < 2 || (argument.front() != u'-' && argument.front() != u'/'))
            continue;
        if (QStringView(argument).mid(1).compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
