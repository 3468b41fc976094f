#include "RawHttp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <stdexcept>

RawHttp::RawHttp(int port)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_fd < 0 || ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        throw std::runtime_error("connect failed");
    // A safety net against a test hanging for ever, not a measure of anything.
    timeval tv{30, 0};
    setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

RawHttp::~RawHttp()
{
    ::close(m_fd);
}

void RawHttp::send(std::string_view bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            throw std::runtime_error("send failed");
        done += static_cast<size_t>(n);
    }
}

bool RawHttp::fill()
{
    char buffer[65536];
    const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
    if (n <= 0)
        return false;
    m_pending.append(buffer, static_cast<size_t>(n));
    return true;
}

std::optional<RawHttp::Response> RawHttp::readResponse(std::optional<size_t> bodyLimit)
{
    size_t headEnd;
    while ((headEnd = m_pending.find("\r\n\r\n")) == std::string::npos) {
        if (!fill()) {
            if (m_pending.empty())
                return std::nullopt;
            Response partial;
            partial.statusLine = m_pending.substr(0, m_pending.find("\r\n"));
            m_pending.clear();
            return partial;
        }
    }
    Response response;
    const std::string head = m_pending.substr(0, headEnd);
    m_pending.erase(0, headEnd + 4);
    size_t lineEnd = head.find("\r\n");
    response.statusLine = head.substr(0, lineEnd);
    while (lineEnd != std::string::npos) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line =
            head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const size_t colon = line.find(':');
        if (colon != std::string::npos)
            response.headers.emplace_back(line.substr(0, colon),
                                          line.substr(line.find_first_not_of(' ', colon + 1)));
    }
    const std::string length = response.header("Content-Length");
    if (length.empty()) {
        response.body = readToEnd();
        return response;
    }
    const size_t expected = std::stoul(length);
    const size_t wanted = bodyLimit ? std::min(*bodyLimit, expected) : expected;
    while (m_pending.size() < wanted && fill()) {
    }
    response.body = m_pending.substr(0, wanted);
    m_pending.erase(0, response.body.size());
    response.complete = response.body.size() == expected;
    return response;
}

std::string RawHttp::readToEnd()
{
    while (fill()) {
    }
    std::string all;
    all.swap(m_pending);
    return all;
}

std::string RawHttp::Response::header(std::string_view name) const
{
    for (const auto& [key, value] : headers) {
        if (key.size() != name.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < key.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(key[i])) ==
                   std::tolower(static_cast<unsigned char>(name[i]));
        if (same)
            return value;
    }
    return {};
}
