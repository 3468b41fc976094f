#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A plain TCP client to 127.0.0.1 for the cases an HTTP library hides: exact bytes, HTTP/1.0, replies
// cut short, connections dropped.
class RawHttp final
{
public:
    struct Response
    {
        std::string statusLine;
        std::vector<std::pair<std::string, std::string>> headers;
        std::string body;
        bool complete = false; // the whole body announced by Content-Length arrived

        std::string header(std::string_view name) const;
    };

    explicit RawHttp(int port);
    ~RawHttp();
    RawHttp(const RawHttp&) = delete;
    RawHttp& operator=(const RawHttp&) = delete;

    void send(std::string_view bytes);
    // One reply; nullopt when the connection closed before its first byte. With `bodyLimit` the read
    // stops after that many body bytes (to look at a reply that is still coming).
    std::optional<Response> readResponse(std::optional<size_t> bodyLimit = std::nullopt);
    // Everything until the server closes the connection.
    std::string readToEnd();

private:
    bool fill(); // false at end of stream

    int m_fd = -1;
    std::string m_pending;
};
