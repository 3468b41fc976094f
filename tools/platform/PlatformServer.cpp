#include "PlatformServer.h"

#include "Encoding.h"

#include <openssl/err.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

thread_local PlatformServer::RequestContext* PlatformServer::t_context = nullptr;

namespace {

constexpr size_t kPayloadLimit = 64u * 1024u * 1024u;
constexpr size_t kPoolSize = 32;

std::string reasonOf(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    default:
        return status >= 500 ? "Internal Server Error" : "Unknown";
    }
}

bool sameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool isLoopback(const std::string& address)
{
    return address.starts_with("127.") || address == "::1" || address.starts_with("::ffff:127.");
}

std::string openSslError()
{
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return text;
}

HttpReply textReply(int status, std::string body)
{
    HttpReply reply;
    reply.status = status;
    reply.contentType = "text/plain; charset=UTF-8";
    reply.body = std::move(body);
    return reply;
}

// A file of the repository folder named by a path of plain names ("." stays where it is, as in apt's
// "<URL>/./InRelease" for a flat repository): nothing outside the folder.
HttpReply repositoryFile(const std::string& folder, const std::string& relative)
{
    std::filesystem::path file(folder);
    size_t start = 0;
    while (start <= relative.size()) {
        const size_t end = std::min(relative.find('/', start), relative.size());
        const std::string name = relative.substr(start, end - start);
        if (name.empty() || name == ".." || name.find('\\') != std::string::npos ||
            name.find('\0') != std::string::npos)
            return textReply(404, "Pas dans le dépôt : " + relative);
        if (name != ".")
            file /= name;
        start = end + 1;
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return textReply(404, "Pas dans le dépôt : " + relative);
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return textReply(404, "Pas dans le dépôt : " + relative);
    HttpReply reply;
    reply.contentType = "application/octet-stream";
    reply.body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return reply;
}

} // namespace

PlatformServer::PlatformServer(Store& store, Clock& clock, const AccountList& accounts, Config config)
    : m_config(std::move(config)), m_clock(clock), m_api(store, clock, accounts),
      m_operator(store, accounts, clock),
      m_admin(m_journal, m_faults, m_handshakes, clock, [this] { ++m_idleCloses; })
{
    // A client that goes away while a reply is written must not end the process.
    std::signal(SIGPIPE, SIG_IGN);

    if (!m_config.tlsCert.empty() || !m_config.tlsKey.empty()) {
        m_tls = SSL_CTX_new(TLS_server_method());
        if (m_tls == nullptr || SSL_CTX_use_certificate_chain_file(m_tls, m_config.tlsCert.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(m_tls, m_config.tlsKey.c_str(), SSL_FILETYPE_PEM) != 1 ||
            SSL_CTX_check_private_key(m_tls) != 1 ||
            (m_config.tlsMax == "1.2" && SSL_CTX_set_max_proto_version(m_tls, TLS1_2_VERSION) != 1)) {
            const std::string error = openSslError();
            SSL_CTX_free(m_tls);
            m_tls = nullptr;
            throw std::runtime_error("Certificat ou clé TLS inutilisable (" + m_config.tlsCert + ", " +
                                     m_config.tlsKey + ") : " + error);
        }
    }

    new_task_queue = [] { return new httplib::ThreadPool(kPoolSize); };
    set_keep_alive_max_count(100);
    set_keep_alive_timeout(m_config.keepAliveSeconds);
    set_read_timeout(m_config.timeoutSeconds);
    set_write_timeout(m_config.timeoutSeconds);
    set_payload_max_length(kPayloadLimit);

    auto withBody = [this](const httplib::Request& req, httplib::Response& res,
                           const httplib::ContentReader& reader) {
        std::string body;
        reader([&body](const char* data, size_t length) {
            body.append(data, length);
            return true;
        });
        serve(req, res, body);
    };
    Post(".*", withBody);
    Put(".*", withBody);
    Delete(".*", withBody);
    Get(".*",
        [this](const httplib::Request& req, httplib::Response& res) { serve(req, res, std::string()); });
}

PlatformServer::~PlatformServer()
{
    shutdown();
    SSL_CTX_free(m_tls);
}

int PlatformServer::bindPort()
{
    if (m_config.port == 0)
        m_port = bind_to_any_port(m_config.host);
    else
        m_port = bind_to_port(m_config.host, m_config.port) ? m_config.port : -1;
    if (m_port < 0)
        throw std::runtime_error("Impossible d'écouter sur " + m_config.host + ":" +
                                 std::to_string(m_config.port));
    return m_port;
}

void PlatformServer::run()
{
    listen_after_bind();
}

void PlatformServer::waitUntilRunning() const
{
    while (!is_running())
        std::this_thread::yield();
}

void PlatformServer::shutdown()
{
    m_faults.stop();
    stop();
}

bool PlatformServer::process_and_close_socket(socket_t sock)
{
    Connection connection(sock, m_tls, ++m_connectionIds, m_config.timeoutSeconds, m_config.timeoutSeconds);
    if (!connection.handshake()) {
        m_handshakes.add(true, false, false);
        return false;
    }
    // A connection waiting for its next request closes when the server stops, and when told to close
    // the idle ones.
    long long idleCloses = m_idleCloses.load();
    const auto stopping = [this, &idleCloses] {
        return svr_sock_ == INVALID_SOCKET || m_idleCloses.load() != idleCloses;
    };
    bool ret = false;
    size_t left = keep_alive_max_count_;
    while (left > 0) {
        idleCloses = m_idleCloses.load();
        if (!connection.waitForRequest(static_cast<int>(keep_alive_timeout_sec_), stopping))
            break;
        const bool last = left == 1;
        bool connectionClosed = false;
        RequestContext context{&connection, &connectionClosed, last};
        t_context = &context;
        connection.beginRequest();
        ret = process_request(connection, last, connectionClosed, [&connection](httplib::Request& req) {
            connection.get_remote_ip_and_port(req.remote_addr, req.remote_port);
        });
        t_context = nullptr;
        if (!ret || connectionClosed || connection.abandoned())
            break;
        --left;
    }
    // A connection that carried no request cost its handshakes all the same.
    count(connection, false);
    if (connection.countedAsOpen())
        m_handshakes.closed();
    return ret;
}

void PlatformServer::count(Connection& connection, bool control)
{
    if (connection.counted())
        return;
    connection.setCounted(!control);
    if (!control)
        m_handshakes.add(connection.isTls(), true, connection.resumed());
}

void PlatformServer::serve(const httplib::Request& req, httplib::Response& res, const std::string& body)
{
    RequestContext* context = t_context;
    if (context != nullptr)
        count(*context->connection, req.path.starts_with(AdminApi::kPrefix));
    if (req.path.starts_with(AdminApi::kPrefix)) {
        if (!m_config.admin) {
            write(req, res, textReply(404, "Page introuvable : " + req.path));
        } else if (!isLoopback(req.remote_addr)) {
            write(req, res, textReply(403, "Commandes de test réservées à la machine locale"));
        } else {
            long long after = 0;
            if (req.has_param("after"))
                after = std::atoll(req.get_param_value("after").c_str());
            write(req, res, m_admin.handle(req.method, req.path, body, after));
        }
        return;
    }
    if (context == nullptr) {
        write(req, res, route(req, body));
        return;
    }

    Connection& connection = *context->connection;
    JournalEntry entry;
    entry.connection = connection.id();
    entry.tls = connection.isTls();
    entry.remote = req.remote_addr + ":" + std::to_string(req.remote_port);
    entry.time = m_clock.now();
    entry.method = req.method;
    entry.target = req.target;
    entry.version = req.version;
    entry.headers = RequestJournal::headersOf(connection.capture());
    entry.body = body;
    m_journal.record(std::move(entry));

    const auto fault = m_faults.take(req.path);
    if (!fault) {
        write(req, res, route(req, body));
        return;
    }
    if (fault->delayMs > 0 && !m_faults.sleepFor(fault->delayMs)) {
        connection.abandon();
        return;
    }
    std::optional<HttpReply> normal;
    if (fault->reachesPlatform())
        normal = route(req, body);
    switch (fault->action) {
    case Fault::Action::None:
        write(req, res, *normal);
        return;
    case Fault::Action::Close:
        connection.abandon();
        return;
    case Fault::Action::Status: {
        std::string raw = fault->statusLine + "\r\n";
        bool hasLength = false;
        if (!fault->contentType.empty())
            raw += "Content-Type: " + fault->contentType + "\r\n";
        for (const auto& [name, value] : fault->headers) {
            hasLength = hasLength || sameText(name, "Content-Length");
            raw += name + ": " + value + "\r\n";
        }
        if (!hasLength)
            raw += "Content-Length: " + std::to_string(fault->body.size()) + "\r\n";
        raw += "Connection: close\r\n\r\n" + fault->body;
        connection.writeRaw(raw);
        connection.abandon();
        return;
    }
    case Fault::Action::Body:
        writeFaultBody(req, res, *fault);
        return;
    case Fault::Action::Stall:
        stall(connection, *normal, *fault);
        return;
    }
}

HttpReply PlatformServer::route(const httplib::Request& req, const std::string& body)
{
    if (req.path == kApiPath) {
        HttpReply reply = m_api.handle(req.method, body, req.get_header_value("Authorization"));
        // Like the platform's web server, a session cookie for clients that do not send one back yet.
        if (req.get_header_value("Cookie").find("JSESSIONID=") == std::string::npos) {
            char session[32];
            std::snprintf(session, sizeof session, "QB%016llX", ++m_sessionIds);
            reply.headers.emplace_back("Set-Cookie",
                                       std::string("JSESSIONID=") + session + "; Path=/; HttpOnly");
        }
        return reply;
    }
    if (req.path == kVersionPath && (req.method == "GET" || req.method == "POST" || req.method == "HEAD")) {
        HttpReply reply;
        reply.contentType = "text/html; charset=UTF-8";
        reply.body = m_config.updateVersion;
        return reply;
    }
    if (req.path == kSetupPath && (req.method == "GET" || req.method == "HEAD")) {
        if (!m_config.setup)
            return textReply(404, "Aucun programme d'installation");
        HttpReply reply;
        reply.contentType = "application/octet-stream";
        reply.body = *m_config.setup;
        return reply;
    }
    if (!m_config.repository.empty() && req.path.rfind(kRepositoryPath, 0) == 0 &&
        (req.method == "GET" || req.method == "HEAD"))
        return repositoryFile(m_config.repository, req.path.substr(kRepositoryPath.size()));
    if (req.path == kOperatorPath && (req.method == "GET" || req.method == "HEAD")) {
        std::optional<long long> member;
        if (req.has_param("member"))
            member = std::atoll(req.get_param_value("member").c_str());
        HttpReply reply;
        reply.contentType = "text/html; charset=UTF-8";
        reply.body = m_operator.render(req.get_param_value("rcg"), member);
        return reply;
    }
    return textReply(404, "Page introuvable : " + req.path);
}

void PlatformServer::write(const httplib::Request& req, httplib::Response& res, const HttpReply& reply)
{
    res.status = reply.status;
    for (const auto& [name, value] : reply.headers)
        res.set_header(name, value);
    res.set_content(reply.body, reply.contentType);
    // cpp-httplib keeps an HTTP/1.0 connection only for "Keep-Alive" written just so; any letter case will
    // do.
    RequestContext* context = t_context;
    if (context != nullptr && req.version == "HTTP/1.0" && !context->lastOnConnection &&
        sameText(req.get_header_value("Connection"), "keep-alive")) {
        *context->connectionClosed = false;
        res.set_header("Connection", "keep-alive");
    }
}

void PlatformServer::writeFaultBody(const httplib::Request& req, httplib::Response& res, const Fault& fault)
{
    const std::string contentType =
        fault.contentType.empty() ? std::string("application/json; charset=UTF-8") : fault.contentType;
    if (fault.hugeSize == 0) {
        HttpReply reply;
        reply.contentType = contentType;
        reply.body = fault.body;
        reply.headers = fault.headers;
        write(req, res, reply);
        return;
    }
    // A well-formed envelope whose message fills the size asked for, produced as it is sent.
    const std::string head = R"({"ApiReturn":{"code":"OK","message":")";
    const std::string tail = R"("}})";
    const size_t size = std::max(fault.hugeSize, head.size() + tail.size());
    res.status = 200;
    res.set_content_provider(size, contentType,
                             [head, tail, size](size_t offset, size_t length, httplib::DataSink& sink) {
                                 const size_t end = offset + std::min<size_t>(length, 1u << 20);
                                 std::string chunk(end - offset, 'x');
                                 for (size_t i = offset; i < std::min(end, head.size()); ++i)
                                     chunk[i - offset] = head[i];
                                 const size_t tailStart = size - tail.size();
                                 for (size_t i = std::max(offset, tailStart); i < end; ++i)
                                     chunk[i - offset] = tail[i - tailStart];
                                 return sink.write(chunk.data(), chunk.size());
                             });
}

void PlatformServer::stall(Connection& connection, const HttpReply& reply, const Fault& fault)
{
    const size_t cut = std::min(fault.stallAfter.value_or(reply.body.size() / 2), reply.body.size());
    std::string raw = "HTTP/1.1 " + std::to_string(reply.status) + " " + reasonOf(reply.status) + "\r\n";
    raw += "Content-Type: " + reply.contentType + "\r\n";
    for (const auto& [name, value] : reply.headers)
        raw += name + ": " + value + "\r\n";
    raw += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n\r\n";
    raw.append(reply.body, 0, cut);
    const long long seen = m_faults.releases();
    if (connection.writeRaw(raw) && m_faults.waitForRelease(fault.stallMs, seen) && fault.finish)
        connection.writeRaw(std::string_view(reply.body).substr(cut));
    connection.abandon();
}
