#pragma once

#include <httplib.h>
#include <openssl/ssl.h>

#include <functional>
#include <string>
#include <string_view>

// One accepted connection, plain or TLS, as the stream cpp-httplib reads requests from and writes replies
// to. It keeps a copy of the bytes each request consumed (for the journal), and lets the fault injector
// write raw bytes or drop the connection without a reply ("abandon": every later write fails).
class Connection final : public httplib::Stream
{
public:
    Connection(int fd, SSL_CTX* tls, long long id, int readTimeoutSeconds, int writeTimeoutSeconds);
    ~Connection() override;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool handshake();
    // Waits for the first byte of the next request, giving up after `seconds` or when `stopping` says so.
    bool waitForRequest(int seconds, const std::function<bool()>& stopping);
    void beginRequest() { m_capture.clear(); }
    // The bytes consumed since beginRequest(): request line, headers and body as they came.
    const std::string& capture() const { return m_capture; }

    bool writeRaw(std::string_view bytes);
    void abandon() { m_abandoned = true; }
    bool abandoned() const { return m_abandoned; }

    long long id() const { return m_id; }
    bool isTls() const { return m_ssl != nullptr; }
    // The TLS handshake took up an earlier session (an abbreviated handshake).
    bool resumed() const { return m_resumed; }
    // Whether the connection was already counted among the handshakes, or left out (test controls).
    bool counted() const { return m_counted; }
    bool countedAsOpen() const { return m_countedOpen; }
    void setCounted(bool open)
    {
        m_counted = true;
        m_countedOpen = open;
    }

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return m_fd; }

private:
    bool poll(short events, int milliseconds) const;
    ssize_t writeSome(const char* ptr, size_t size);

    int m_fd;
    SSL* m_ssl = nullptr;
    bool m_handshakeDone = false;
    bool m_resumed = false;
    bool m_counted = false;
    bool m_countedOpen = false;
    long long m_id;
    int m_readTimeoutMs;
    int m_writeTimeoutMs;
    std::string m_buffer;
    size_t m_bufferPos = 0;
    std::string m_capture;
    bool m_abandoned = false;
};
