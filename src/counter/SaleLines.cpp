#include "counter/SaleLines.h"

#include <algorithm>

using namespace Qt::StringLiterals;

class SaleLines::Changing final
{
public:
    explicit Changing(SaleLines& lines) : m_lines(lines) { ++m_lines.m_changing; }
    ~Changing() { --m_lines.m_changing; }
    Changing(const Changing&) = delete;
    Changing& operator=(const Changing&) = delete;

private:
    SaleLines& m_lines;
};

SaleLines::SaleLines(QObject* parent) : QObject(parent)
{
    setObjectName(u"Produits"_s);
}

SaleLine SaleLines::at(int row) const
{
    return has(row) ? m_lines[static_cast<std::size_t>(row)].line : SaleLine();
}

std::vector<SaleLine> SaleLines::stored() const
{
    std::vector<SaleLine> out;
    for (const Entry& entry : m_lines) {
        if (entry.state == State::Stored)
            out.push_back(entry.line);
    }
    return out;
}

bool SaleLines::anytyped() const
{
    return std::any_of(m_lines.begin(), m_lines.end(),
                       [](const Entry& entry) { return !entry.line.blank(); });
}

bool SaleLines::entering(int row) const
{
    return has(row) && m_lines[static_cast<std::size_t>(row)].state != State::Stored;
}

bool SaleLines::inserted(int row) const
{
    return has(row) && m_lines[static_cast<std::size_t>(row)].state == State::Inserting;
}

int SaleLines::appendpending()
{
    if (changing())
        return -1;
    const Changing guard(*this);
    const int row = size();
    emit beforeinsert(row);
    m_lines.push_back({SaleLine(), State::Inserting});
    emit afterinsert();
    return row;
}

std::optional<QString> SaleLines::settext(int row, SaleLine::Field field, const QString& text)
{
    if (changing() || !has(row))
        return std::nullopt;
    SaleLine line = m_lines[static_cast<std::size_t>(row)].line;
    if (std::optional<QString> why = line.settext(field, text))
        return why;
    edit(row, field, line);
    return std::nullopt;
}

void SaleLines::producttotal(int row)
{
    if (changing() || !has(row))
        return;
    SaleLine line = m_lines[static_cast<std::size_t>(row)].line;
    const double total = line.producttotal();
    if (line.total == total)
        return;
    line.total = total;
    edit(row, SaleLine::Field::Total, line);
}

void SaleLines::edit(int row, SaleLine::Field field, const SaleLine& line)
{
    Entry& entry = m_lines[static_cast<std::size_t>(row)];
    entry.line = line;
    if (entry.state == State::Stored)
        entry.state = State::Editing;
    emit edited(row, field);
}

std::optional<QString> SaleLines::store(int row)
{
    if (changing() || !entering(row))
        return std::nullopt;
    Entry& entry = m_lines[static_cast<std::size_t>(row)];
    if (std::optional<QString> message = entry.line.incomplete())
        return message;
    entry.state = State::Stored;
    const Changing guard(*this);
    emit linestored(row);
    return std::nullopt;
}

bool SaleLines::cancel(int row)
{
    if (changing() || !inserted(row))
        return false;
    const Changing guard(*this);
    emit beforeremove(row);
    m_lines.erase(m_lines.begin() + row);
    emit afterremove();
    return true;
}

bool SaleLines::remove(int row)
{
    if (changing() || !has(row))
        return false;
    {
        const Changing guard(*this);
        emit beforeremove(row);
        m_lines.erase(m_lines.begin() + row);
        emit afterremove();
    }
    emit linedeleted();
    return true;
}

void SaleLines::clear()
{
    if (m_lines.empty() || changing())
        return;
    const Changing guard(*this);
    emit beforeclear();
    m_lines.clear();
    emit afterclear();
}
