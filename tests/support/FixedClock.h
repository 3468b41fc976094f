#pragma once

#include "platform/Clock.h"

#include <QDateTime>

// A clock that always tells the same moment: 1 December 2026, 9:30, unless told another.
class FixedClock final : public Clock
{
public:
    FixedClock() = default;
    explicit FixedClock(QDateTime now) : m_now(std::move(now)) {}
    QDateTime now() const override { return m_now; }
    void set(QDateTime now) { m_now = std::move(now); }

private:
    QDateTime m_now{QDate(2026, 12, 1), QTime(9, 30, 0)};
};
