#pragma once

#include "counter/CounterOutcome.h"

#include <QString>

class CounterSession;
class MemberEditor;

// "ADHESION" and "MODIFICATION" of the counter: the enrolment form opened on the counter's member
// record, and what the counter shows once the form has closed.
class MemberEditing final
{
public:
    MemberEditing(CounterSession& counter, MemberEditor& form);

    // The form in create mode. A member the platform accepted is then looked up by its id
    // ("ID=" and the id); otherwise the search text is looked up again, nothing when it is empty.
    // The lookup's outcome, for the counter to show.
    CounterOutcome adhesion(const QString& seller);
    // The form on the member shown (nothing while none is), edited in place. A form closed
    // without a save gives the record back as it was, as the platform holds it. The counter then
    // shows the record, the member staying shown.
    void modification(const QString& seller);

private:
    CounterSession& m_counter;
    MemberEditor& m_form;
};
