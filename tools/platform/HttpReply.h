#pragma once

#include <string>
#include <utility>
#include <vector>

// What a handler answers, before the server writes it.
struct HttpReply
{
    int status = 200;
    std::string contentType = "application/json; charset=UTF-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};
