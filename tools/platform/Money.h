#pragma once

#include <optional>
#include <string>
#include <string_view>

// Amounts in euros are kept as whole cents.
class Money final
{
public:
    // "12.5", "-20", "7.50", " 3 ": cents; a comma, letters, an empty text or more than 12 integer digits
    // answer nullopt. Decimals beyond the cent are rounded half away from zero.
    static std::optional<long long> parse(std::string_view text);
    // The shortest decimal text: 750 gives "7.5", 2000 gives "20", -1234 gives "-12.34".
    static std::string format(long long cents);
};
