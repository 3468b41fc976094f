#pragma once

#include <mutex>
#include <string>

// The connections the platform accepted and their TLS handshakes, full or resumed: the round trips a
// client pays before its first request. Connections that carried the test controls are left out, so
// that reading the count does not change it.
class HandshakeCount final
{
public:
    // One connection: whether it speaks TLS, whether its handshake succeeded and whether it resumed an
    // earlier session. A connection added with its handshake done is open until closed().
    void add(bool tls, bool handshook, bool resumed);
    void closed();
    // Sets the count back to zero; the connections open stay counted as open.
    void clear();
    // {"connections":N,"tls_full":N,"tls_resumed":N,"tls_failed":N,"open":N}
    std::string toJson() const;

private:
    mutable std::mutex m_mutex;
    long long m_connections = 0;
    long long m_full = 0;
    long long m_resumed = 0;
    long long m_failed = 0;
    long long m_open = 0;
};
