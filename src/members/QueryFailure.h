#pragma once

#include "api/HttpClient.h"

#include <exception>

// A query sent by form post (the lookup, the coupon query) that the transport did not complete.
// Raised to the lookup, which tells the user (Lookup::failuremessages).
class QueryFailure final : public std::exception
{
public:
    explicit QueryFailure(HttpReply reply) : m_reply(std::move(reply)) {}
    const HttpReply& reply() const noexcept { return m_reply; }
    const char* what() const noexcept override { return "query failed"; }

private:
    HttpReply m_reply;
};
