#include "Money.h"

std::optional<long long> Money::parse(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    long long euros = 0;
    int intDigits = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (++intDigits > 12)
            return std::nullopt;
        euros = euros * 10 + (text[i] - '0');
    }
    long long cents = 0;
    int fracDigits = 0;
    bool roundUp = false;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            ++fracDigits;
            if (fracDigits <= 2)
                cents = cents * 10 + (text[i] - '0');
            else if (fracDigits == 3)
                roundUp = text[i] >= '5';
        }
        if (fracDigits == 0)
            return std::nullopt;
    }
    if (i != text.size() || intDigits + fracDigits == 0)
        return std::nullopt;
    if (fracDigits == 1)
        cents *= 10;
    long long total = euros * 100 + cents + (roundUp ? 1 : 0);
    return negative ? -total : total;
}

std::string Money::format(long long cents)
{
    std::string out;
    if (cents < 0) {
        out += '-';
        cents = -cents;
    }
    out += std::to_string(cents / 100);
    const long long rest = cents % 100;
    if (rest != 0) {
        out += '.';
        out += static_cast<char>('0' + rest / 10);
        if (rest % 10 != 0)
            out += static_cast<char>('0' + rest % 10);
    }
    return out;
}
