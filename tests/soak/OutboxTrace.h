#pragma once

#include <QString>
#include <QStringList>

// The soak's own record of what happened to each row of the shared outbox: triggers in the file
// note every write noted, every change of its kind, holder or settling time, and every removal,
// with the time and the row as it was. A failing history prints a sale's rows beside what the
// counters told, so that the story of a write nobody settled can be read.
namespace OutboxTrace {

// Creates the outbox at path (through the program's own store, so that its schema is the
// program's) and adds the trace table and its triggers; an error text, empty when done.
QString install(const QString& path);

// What the trace holds of the sale with that number, a line per change, oldest first.
QStringList story(const QString& path, const QString& number);

} // namespace OutboxTrace
