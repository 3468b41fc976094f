#include "HandshakeCount.h"

void HandshakeCount::add(bool tls, bool handshook, bool resumed)
{
    const std::lock_guard lock(m_mutex);
    ++m_connections;
    if (handshook)
        ++m_open;
    if (!tls)
        return;
    if (!handshook)
        ++m_failed;
    else if (resumed)
        ++m_resumed;
    else
        ++m_full;
}

void HandshakeCount::closed()
{
    const std::lock_guard lock(m_mutex);
    --m_open;
}

void HandshakeCount::clear()
{
    const std::lock_guard lock(m_mutex);
    m_connections = m_full = m_resumed = m_failed = 0;
}

std::string HandshakeCount::toJson() const
{
    const std::lock_guard lock(m_mutex);
    return R"({"connections":)" + std::to_string(m_connections) + R"(,"tls_full":)" + std::to_string(m_full) +
           R"(,"tls_resumed":)" + std::to_string(m_resumed) + R"(,"tls_failed":)" + std::to_string(m_failed) +
           R"(,"open":)" + std::to_string(m_open) + "}";
}
