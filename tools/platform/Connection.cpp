#include "Connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace {

void addressOf(const sockaddr_storage& addr, std::string& ip, int& port)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (addr.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&addr);
        inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        port = ntohs(in->sin_port);
    } else if (addr.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&addr);
        inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
        port = ntohs(in6->sin6_port);
    }
    ip = text;
}

} // namespace

Connection::Connection(int fd, SSL_CTX* tls, long long id, int readTimeoutSeconds, int writeTimeoutSeconds)
    : m_fd(fd), m_id(id), m_readTimeoutMs(readTimeoutSeconds * 1000),
      m_writeTimeoutMs(writeTimeoutSeconds * 1000)
{
    // Replies go out as head and body in separate writes; without this the body would wait for the
    // client's delayed acknowledgement.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (tls != nullptr) {
        m_ssl = SSL_new(tls);
        if (m_ssl != nullptr)
            SSL_set_fd(m_ssl, fd);
    }
}

Connection::~Connection()
{
    if (m_ssl != nullptr) {
        if (m_handshakeDone && !m_abandoned)
            SSL_shutdown(m_ssl);
        SSL_free(m_ssl);
    }
    ::shutdown(m_fd, SHUT_RDWR);
    ::close(m_fd);
}

bool Connection::handshake()
{
    if (m_ssl == nullptr)
        return true;
    // The accepted socket carries the server's receive and send time limits, so this cannot hang.
    m_handshakeDone = SSL_accept(m_ssl) == 1;
    m_resumed = m_handshakeDone && SSL_session_reused(m_ssl) == 1;
    return m_handshakeDone;
}

bool Connection::poll(short events, int milliseconds) const
{
    pollfd p{m_fd, events, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, milliseconds);
    } while (rc < 0 && errno == EINTR);
    return rc > 0;
}

bool Connection::waitForRequest(int seconds, const std::function<bool()>& stopping)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        if (m_bufferPos < m_buffer.size() || (m_ssl != nullptr && SSL_pending(m_ssl) > 0))
            return true;
        if (stopping())
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        // Short slices, so that a server being stopped does not wait for idle connections.
        if (poll(POLLIN, static_cast<int>(std::min<long long>(left.count(), 100))))
            return true;
    }
}

bool Connection::is_readable() const
{
    if (m_bufferPos < m_buffer.size() || (m_ssl != nullptr && SSL_pending(m_ssl) > 0))
        return true;
    return poll(POLLIN, m_readTimeoutMs);
}

bool Connection::is_writable() const
{
    return !m_abandoned && poll(POLLOUT, m_writeTimeoutMs);
}

ssize_t Connection::read(char* ptr, size_t size)
{
    if (m_bufferPos >= m_buffer.size()) {
        m_buffer.clear();
        m_bufferPos = 0;
        if (!is_readable())
            return -1;
        char chunk[16384];
        ssize_t n;
        if (m_ssl != nullptr) {
            n = SSL_read(m_ssl, chunk, sizeof chunk);
            if (n <= 0)
                return n == 0 ? 0 : -1;
        } else {
            do {
                n = ::recv(m_fd, chunk, sizeof chunk, 0);
            } while (n < 0 && errno == EINTR);
            if (n <= 0)
                return n;
        }
        m_buffer.assign(chunk, static_cast<size_t>(n));
    }
    const size_t count = std::min(size, m_buffer.size() - m_bufferPos);
    std::copy_n(m_buffer.data() + m_bufferPos, count, ptr);
    m_capture.append(m_buffer.data() + m_bufferPos, count);
    m_bufferPos += count;
    return static_cast<ssize_t>(count);
}

ssize_t Connection::writeSome(const char* ptr, size_t size)
{
    if (!poll(POLLOUT, m_writeTimeoutMs))
        return -1;
    if (m_ssl != nullptr) {
        const int n = SSL_write(m_ssl, ptr, static_cast<int>(std::min<size_t>(size, 1 << 30)));
        return n > 0 ? n : -1;
    }
    ssize_t n;
    do {
        n = ::send(m_fd, ptr, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n;
}

ssize_t Connection::write(const char* ptr, size_t size)
{
    if (m_abandoned)
        return -1;
    return writeSome(ptr, size);
}

bool Connection::writeRaw(std::string_view bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = writeSome(bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void Connection::get_remote_ip_and_port(std::string& ip, int& port) const
{
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (getpeername(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        addressOf(addr, ip, port);
}

void Connection::get_local_ip_and_port(std::string& ip, int& port) const
{
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        addressOf(addr, ip, port);
}
