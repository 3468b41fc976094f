#pragma once

#include "api/JsonValue.h"
#include "members/Member.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <optional>

class SaleLines;

// What the counter holds about the customer at the counter: the current member record, the
// platform id of the member last loaded, the idle flag, the member's event list and the product
// lines of the sale being entered. The lookup fills it, the reset clears it (all but
// currentmemberid and idle), the sale, the coupons, the tickets and the history read it.
class CounterState final : public QObject
{
    Q_OBJECT
public:
    explicit CounterState(QObject* parent = nullptr);

    Member& member() { return m_member; }
    const Member& member() const { return m_member; }

    // The platform id of the member last loaded, as received; only the lookup sets it.
    const QString& currentmemberid() const { return m_currentmemberid; }
    void setcurrentmemberid(const QString& id) { m_currentmemberid = id; }

    // True while no member is shown.
    bool idle() const { return m_idle; }
    void setidle(bool idle) { m_idle = idle; }

    // The value under "event" of the last member reply; none when that reply had no "event".
    // (Not named event(): that would hide QObject::event.)
    const std::optional<JsonValue>& eventlist() const { return m_event; }
    // When the lookup that read the event list left.
    const QDateTime& eventsasked() const { return m_eventsasked; }
    void seteventlist(std::optional<JsonValue> event, const QDateTime& asked)
    {
        m_event = std::move(event);
        m_eventsasked = asked;
    }

    // The product lines of the sale being entered.
    SaleLines& Produits() { return *m_produits; }
    const SaleLines& Produits() const { return *m_produits; }

private:
    Member m_member;
    QString m_currentmemberid;
    bool m_idle = true;
    std::optional<JsonValue> m_event;
    QDateTime m_eventsasked;
    SaleLines* m_produits;
};
