#pragma once

#include "Clock.h"
#include "FaultInjector.h"
#include "HandshakeCount.h"
#include "HttpReply.h"
#include "RequestJournal.h"

#include <functional>
#include <string_view>

// The test controls under "/_admin/": the journal of requests, the faults for the next requests, the
// release of stalled replies, the count of connections and TLS handshakes, the close of idle connections,
// and the platform's clock. Served to loopback clients only (the server checks).
class AdminApi final
{
public:
    static constexpr std::string_view kPrefix = "/_admin/";

    // closeIdle: closes, as the keep-alive time limit does, every connection waiting for its next request.
    AdminApi(RequestJournal& journal, FaultInjector& faults, HandshakeCount& handshakes, Clock& clock,
             std::function<void()> closeIdle);

    // `after`: the "after" query parameter of the journal, 0 when absent.
    HttpReply handle(std::string_view method, std::string_view path, std::string_view body, long long after);

private:
    HttpReply addFaults(std::string_view body);
    HttpReply setClock(std::string_view body);

    RequestJournal& m_journal;
    FaultInjector& m_faults;
    HandshakeCount& m_handshakes;
    Clock& m_clock;
    std::function<void()> m_closeIdle;
};
