#pragma once

#include <stdexcept>
#include <string>

// A refusal of the platform, answered as an "ApiReturn" whose "code" is not "OK".
class ApiError final : public std::runtime_error
{
public:
    static constexpr const char* kCardTaken = "33";    // the card number belongs to another member
    static constexpr const char* kUnknown = "3008";    // no such member, child or coupon (or no match)
    static constexpr const char* kUnreadable = "10";   // the document cannot be read
    static constexpr const char* kInvalidValue = "11"; // a value has the wrong form
    static constexpr const char* kGroupRefused = "12"; // the group is not the account's pharmacy
    static constexpr const char* kCouponClosed = "13"; // the coupon is used, deleted or expired

    ApiError(std::string code, const std::string& message)
        : std::runtime_error(message), m_code(std::move(code))
    {
    }
    const std::string& code() const { return m_code; }

private:
    std::string m_code;
};
