#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

// The keyboard at the counter. The counter window takes its shortcuts and its tooltips from the
// keys of its buttons; `quilba --help` lists every line.
namespace CounterKeys {

// A key that presses a button of the counter window, as a click does.
struct Key
{
    // The button's objectName.
    QString control;
    QKeySequence sequence;
    // Empty: the key acts anywhere in the counter window. Otherwise the objectName of the grid
    // that must have the focus.
    QString scope;
    // What the key does, in French.
    QString action;
};

// What one or more keys do somewhere, in French, as the help shows it.
struct Line
{
    QString keys;
    QString action;
};

struct Window
{
    // As the help names it after "Touches": "du comptoir".
    QString title;
    QList<Line> lines;
};

// The keys of the counter window's buttons.
const QList<Key>& buttons();
// Every key of every window, the counter's buttons first.
QList<Window> windows();
// A key as a French keyboard names it: "F9", "Ctrl+P", "Alt+A", "Inser", "Ctrl+Suppr".
QString keyname(const QKeySequence& sequence);
// A button's tooltip: what it does, and its key between brackets.
QString tooltip(const QString& description, const QKeySequence& sequence);
// The lines of the help, one window after the other.
QString helptext();

} // namespace CounterKeys
