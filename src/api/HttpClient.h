#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

// A proxy for every request of a client; Basic credentials are sent with every request.
struct HttpProxy
{
    QString host;
    int port = 0;
    QString user;
    QString password;

    bool enabled() const { return !host.isEmpty(); }
};

// The outcome of one request. On failure, `failure` is the French text the user is shown
// (the status line for a refusal by status, "Délai de connexion.", "Erreur de socket n° …").
struct HttpReply
{
    bool ok = false;
    int status = 0;        // 0 when no status line was received
    QByteArray statusline; // "HTTP/1.1 404 Not Found"
    QByteArray body;       // the reply body, whole
    QString failure;
    int oserror = 0; // the system's error number for socket failures
    // The request left for the server: a failure after this point may have reached it.
    bool sent = false;
    // The reply is the proxy's own: it could not reach the server (its error page for an http
    // URL, its refusal to open the tunnel for an https one), so the server never saw the request.
    // `status` and `statusline` are the proxy's, `sent` is false.
    bool proxyerror = false;
    // The proxy turned its credentials away (407, for the request or for the tunnel): `failure`
    // says so in French, `body` is the proxy's page, `sent` is false.
    bool proxydenied = false;
};

// 401, 403 and 407: the server or the proxy turned the request away before acting on it. The
// proxy's 407 stays a refused access, never a proxy error.
inline bool isaccessdenied(int status)
{
    return status == 401 || status == 403 || status == 407;
}

using HttpHeaders = std::vector<std::pair<QByteArray, QByteArray>>;

// One HTTP client of the program: one libcurl easy handle with its own settings, connection and
// in-memory cookie store, living for the whole run. Requests are synchronous for the caller: the
// transfer runs on a worker thread while the calling thread waits in an event loop that excludes
// user input, so windows keep painting and nothing the user does starts a second request.
class HttpClient final
{
public:
    struct Profile
    {
        QByteArray useragent;
        QByteArray accept;
        QByteArray acceptcharset; // empty: not sent
    };

    // The longest a request to the loyalty platform may take as a whole, in seconds. The platform
    // answers in well under a second; a reply that trickles in (a byte now and then never trips
    // the stall limit) would otherwise hold the counter for hours. Two minutes leave room for a
    // list of thousands of members on a slow line; the pharmacist can abandon sooner.
    static constexpr int kplatformlimit = 120;

    explicit HttpClient(Profile profile);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Custom headers (the Authorization header), sent after Content-Length.
    void setcustomheaders(HttpHeaders headers);
    const HttpHeaders& customheaders() const;

    void setproxy(const HttpProxy& proxy);
    const HttpProxy& proxy() const;

    // Shows the user that a request waits and lets them abandon it.
    class WaitObserver
    {
    public:
        virtual ~WaitObserver() = default;
        // A request starts waiting for its reply; waitended() follows when it is over.
        virtual void waitstarted() = 0;
        virtual void waitended() = 0;
    };

    // How many callers wait for a reply right now, all clients together. While one waits, the
    // user's keys and clicks do not reach the windows (only the observer's, to abandon).
    static int waiting();
    // The observer of this client's waits; none: input waits for the reply.
    void setwaitobserver(WaitObserver* observer);
    // Ends the request waiting now as a failure, as soon as libcurl next reports progress (within
    // a second); `sent` in its reply tells whether it had left.
    static void abandonwait();
    // From any thread: the request running ends as a failure within a second, and every later
    // one fails at once (the program is closing).
    void stop();
    // A transfer that takes longer than this as a whole ends as a failure, even while bytes
    // still trickle in; 0 (the default) means no limit.
    void setoveralltimeout(int seconds);

    // Connect time limit in milliseconds; 0 means none.
    void setconnecttimeout(int milliseconds);
    int connecttimeout() const;

    // A transfer that receives no byte for this long ends as a failure (default 60 s).
    void setstalltimeout(int seconds);
    // A reply larger than this ends as a failure (default 64 MiB).
    void setmaxreply(qint64 bytes);

    // The request text as the raw body of a PUT.
    HttpReply put(const QString& url, const QByteArray& body);
    // The line ("json_data=" and the document) as a URL-encoded form, by POST over HTTP/1.0 on a
    // fresh connection. An empty line gives an empty body.
    HttpReply postform(const QString& url, const QString& line);
    // A plain GET; progress reports the bytes read so far and the announced total (-1: unknown).
    HttpReply get(const QString& url, const std::function<void(qint64 done, qint64 total)>& progress = {});

    // The form-encoding rule of the form posts (split at the first "=", each side encoded).
    static QByteArray formencode(const QString& line);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
