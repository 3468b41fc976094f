#pragma once

#include <QtGlobal>

#include <chrono>
#include <memory>

// A line of the kind a pharmacy reaches its platform by (DSL, 4G), on loopback: a relay between a
// client and a server on 127.0.0.1 that delivers every byte a fixed one-way time after it was
// sent, in each direction. A new connection also pays the round trip of TCP's handshake: what
// the client sends first is held until one round trip after it connected, as if the connection
// had only then been established. Nothing but sockets and a thread of its own.
class SlowLine final
{
public:
    // Listens on a free port of 127.0.0.1 and relays each connection to 127.0.0.1:target.
    SlowLine(quint16 target, std::chrono::microseconds oneway);
    ~SlowLine();
    SlowLine(const SlowLine&) = delete;
    SlowLine& operator=(const SlowLine&) = delete;

    bool started() const;
    quint16 port() const;
    std::chrono::microseconds oneway() const;
    std::chrono::microseconds roundtrip() const { return 2 * oneway(); }

    // Closes every connection open through the line at once, on both sides, as a server does
    // with a connection left idle; returns when they are closed.
    void cut();
    // Connections the line has accepted since it started.
    int connections() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
