#include "Clock.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

bool digits(std::string_view text, size_t from, size_t count)
{
    for (size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

int number(std::string_view text, size_t from, size_t count)
{
    int value = 0;
    for (size_t i = from; i < from + count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

std::string format(const std::chrono::year_month_day& day, int hour, int minute, int second)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(day.year()),
                  static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()), hour, minute, second);
    return buffer;
}

std::chrono::year_month_day dayOf(std::string_view text)
{
    return std::chrono::year_month_day{std::chrono::year{number(text, 0, 4)},
                                       std::chrono::month{static_cast<unsigned>(number(text, 5, 2))},
                                       std::chrono::day{static_cast<unsigned>(number(text, 8, 2))}};
}

} // namespace

std::string Clock::now() const
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_fixed)
            return *m_fixed;
    }
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

void Clock::setFixed(std::optional<std::string> dateTime)
{
    const std::lock_guard lock(m_mutex);
    m_fixed = std::move(dateTime);
}

std::optional<std::string> Clock::fixed() const
{
    const std::lock_guard lock(m_mutex);
    return m_fixed;
}

bool Clock::isDate(std::string_view text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !digits(text, 0, 4) || !digits(text, 5, 2) ||
        !digits(text, 8, 2))
        return false;
    return dayOf(text).ok();
}

bool Clock::isDateTime(std::string_view text)
{
    if (text.size() != 19 || !isDate(text.substr(0, 10)) || text[10] != ' ' || text[13] != ':' ||
        text[16] != ':' || !digits(text, 11, 2) || !digits(text, 14, 2) || !digits(text, 17, 2))
        return false;
    return number(text, 11, 2) < 24 && number(text, 14, 2) < 60 && number(text, 17, 2) < 60;
}

std::string Clock::addDays(std::string_view dateTime, int days)
{
    return atTime(dateTime, days, number(dateTime, 11, 2), number(dateTime, 14, 2), number(dateTime, 17, 2));
}

std::string Clock::atTime(std::string_view dateTime, int days, int hour, int minute, int second)
{
    const std::chrono::sys_days shifted = std::chrono::sys_days{dayOf(dateTime)} + std::chrono::days{days};
    return format(std::chrono::year_month_day{shifted}, hour, minute, second);
}
