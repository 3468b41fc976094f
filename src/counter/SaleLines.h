#pragma once

#include "counter/SaleLine.h"

#include <QObject>
#include <QString>
#include <optional>
#include <vector>

// The product lines of the sale being entered, in the order they were added. A line is either
// stored or being entered: a new line (appendpending) and a stored line edited since are being
// entered until store() stores them, which needs a code. Only the stored lines count: they make
// the amount and go with the sale.
//
// Whoever shows the lines hears of every change: a line about to be added or removed, the lines
// about to be emptied, then that it is done; a field edited. While a change is in progress
// (changing()), lines are neither added, stored, removed nor edited: those calls do nothing and
// say so.
class SaleLines final : public QObject
{
    Q_OBJECT
public:
    explicit SaleLines(QObject* parent = nullptr);

    int size() const { return static_cast<int>(m_lines.size()); }
    // The line at `row`, stored or not; an empty line when there is none.
    SaleLine at(int row) const;
    // The stored lines, in order: what the amount and the sale are made of.
    std::vector<SaleLine> stored() const;
    // True when some line, stored or not, holds anything.
    bool anytyped() const;

    // True while the line is being entered (added by appendpending or edited since it was stored).
    bool entering(int row) const;
    // True when the line was added by appendpending and never stored.
    bool inserted(int row) const;

    // Adds an empty line at the end, being entered. Its row, or -1 during a change.
    int appendpending();
    // Puts a typed text into a field of the line, which is then being entered. Why the text
    // cannot be held (the line unchanged), as SaleLine::settext says; none otherwise (nothing
    // changes during a change nor for a row that is not there).
    std::optional<QString> settext(int row, SaleLine::Field field, const QString& text);
    // "Total" := "Quantité" × "Prix Unitaire" of the line; a total that is already that is left
    // as it is, and the line with it.
    void producttotal(int row);
    // Stores a line being entered: the message of SaleLine::incomplete(), the line staying in
    // entry; nothing when it is stored (then `linestored` is emitted) or was not being entered.
    std::optional<QString> store(int row);
    // Drops a line added by appendpending and never stored; false for any other line.
    bool cancel(int row);
    // Removes any line; then `linedeleted` is emitted. False when there is no such line.
    bool remove(int row);
    // Empties the lines.
    void clear();
    // True while a line is being added, stored or removed, or the lines emptied.
    bool changing() const { return m_changing > 0; }

signals:
    void beforeinsert(int row);
    void afterinsert();
    void beforeremove(int row);
    void afterremove();
    void beforeclear();
    void afterclear();
    void edited(int row, SaleLine::Field field);
    // A line was stored by store().
    void linestored(int row);
    // A line went by remove().
    void linedeleted();

private:
    enum class State
    {
        Stored,
        Inserting,
        Editing,
    };
    bool has(int row) const { return row >= 0 && row < size(); }
    // Sets the field and tells it; the line is being entered afterwards.
    void edit(int row, SaleLine::Field field, const SaleLine& line);

    // Counts the changes in progress; see changing().
    class Changing;

    struct Entry
    {
        SaleLine line;
        State state = State::Stored;
    };
    std::vector<Entry> m_lines;
    int m_changing = 0;
};
