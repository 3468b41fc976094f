#include "counter/MemberEditing.h"

#include "counter/CounterSession.h"
#include "counter/CounterState.h"
#include "members/MemberEditor.h"

MemberEditing::MemberEditing(CounterSession& counter, MemberEditor& form) : m_counter(counter), m_form(form)
{
}

CounterOutcome MemberEditing::adhesion(const QString& seller)
{
    if (m_form.execute(m_counter.state().member(), SaveMode::Create, seller))
        m_counter.setsearchtext(QStringLiteral("ID=") + m_form.edited().Getid());
    return m_counter.refresh();
}

void MemberEditing::modification(const QString& seller)
{
    if (m_counter.idle())
        return;
    Member& current = m_counter.state().member();
    const Member before = current;
    if (!m_form.execute(current, SaveMode::Update, seller))
        current = before;
    m_counter.refreshmember();
}
