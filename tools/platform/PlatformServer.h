#pragma once

#include "AccountList.h"
#include "AdminApi.h"
#include "ApiRouter.h"
#include "Clock.h"
#include "Connection.h"
#include "FaultInjector.h"
#include "HandshakeCount.h"
#include "HttpReply.h"
#include "OperatorPage.h"
#include "RequestJournal.h"
#include "Store.h"

#include <httplib.h>
#include <openssl/ssl.h>

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

// The platform's HTTP(S) server: the API path, the update location, the operator page and, for loopback
// clients, the test controls. cpp-httplib parses requests and writes replies; the connections are this
// class's own (see Connection), so that a fault can write raw bytes or drop a connection.
class PlatformServer final : public httplib::Server
{
public:
    static constexpr std::string_view kApiPath = "/apiv1/webapi.do";
    static constexpr std::string_view kVersionPath = "/updatequilba/version.html";
    static constexpr std::string_view kSetupPath = "/updatequilba/setup.exe";
    static constexpr std::string_view kRepositoryPath = "/updatequilba/debian/";
    static constexpr std::string_view kOperatorPath = "/loyaltyoperator/login.jsp";

    struct Config
    {
        std::string host = "127.0.0.1";
        int port = 0; // 0: any free port
        std::string tlsCert;
        std::string tlsKey;
        std::string tlsMax; // "1.2": no TLS 1.3, as an older platform; empty: what OpenSSL offers
        std::string updateVersion = "1.4";
        std::optional<std::string> setup; // the bytes of setup.exe; none: 404
        std::string repository;           // the folder served as the Debian repository; none: 404
        bool admin = true;
        int keepAliveSeconds = 5;
        int timeoutSeconds = 5; // reading a request, writing a reply
    };

    // Throws std::runtime_error when the certificate or the key cannot be loaded.
    PlatformServer(Store& store, Clock& clock, const AccountList& accounts, Config config);
    ~PlatformServer() override;

    // Binds the listening socket; answers the port, or throws std::runtime_error.
    int bindPort();
    // Serves until shutdown(); call after bindPort().
    void run();
    void waitUntilRunning() const;
    void shutdown();

    int port() const { return m_port; }
    bool isTls() const { return m_tls != nullptr; }
    RequestJournal& journal() { return m_journal; }
    FaultInjector& faults() { return m_faults; }
    HandshakeCount& handshakes() { return m_handshakes; }

private:
    struct RequestContext
    {
        Connection* connection;
        bool* connectionClosed;
        bool lastOnConnection;
    };
    static thread_local RequestContext* t_context;

    bool process_and_close_socket(socket_t sock) override;
    void serve(const httplib::Request& req, httplib::Response& res, const std::string& body);
    HttpReply route(const httplib::Request& req, const std::string& body);
    void write(const httplib::Request& req, httplib::Response& res, const HttpReply& reply);
    void writeFaultBody(const httplib::Request& req, httplib::Response& res, const Fault& fault);
    void stall(Connection& connection, const HttpReply& reply, const Fault& fault);
    // Counts the connection once, at its first request, unless that request is a test control.
    void count(Connection& connection, bool control);

    Config m_config;
    Clock& m_clock;
    ApiRouter m_api;
    OperatorPage m_operator;
    RequestJournal m_journal;
    FaultInjector m_faults;
    HandshakeCount m_handshakes;
    AdminApi m_admin;
    SSL_CTX* m_tls = nullptr;
    std::atomic<long long> m_connectionIds{0};
    std::atomic<unsigned long long> m_sessionIds{0};
    // Raised by the test control that closes the connections waiting for their next request.
    std::atomic<long long> m_idleCloses{0};
    int m_port = -1;
};
