#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

// The platform's notion of "now", as the local date and time "yyyy-mm-dd hh:nn:ss". It can be pinned to a
// fixed instant so that demo data and tests are reproducible.
class Clock final
{
public:
    std::string now() const;
    // nullopt returns to the system clock.
    void setFixed(std::optional<std::string> dateTime);
    std::optional<std::string> fixed() const;

    static bool isDate(std::string_view text);     // yyyy-mm-dd, a real calendar day
    static bool isDateTime(std::string_view text); // yyyy-mm-dd hh:nn:ss
    // Adds whole days to a date-time text (negative to go back); the time of day is kept.
    static std::string addDays(std::string_view dateTime, int days);
    // A date-time at the given day offset from `dateTime` and the given clock time.
    static std::string atTime(std::string_view dateTime, int days, int hour, int minute, int second);

private:
    mutable std::mutex m_mutex;
    std::optional<std::string> m_fixed;
};
