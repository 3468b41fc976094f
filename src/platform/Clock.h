#pragma once

#include <QDateTime>

// The current date and time: the request dates, the birth-date checks, the points ticket.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

// The system's clock, in local time.
class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
