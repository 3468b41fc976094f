#include "api/HttpClient.h"

#include "api/CookieJar.h"
#include "api/ProxyAnswer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QThread>
#include <QUrl>

#include <curl/curl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <thread>

using namespace Qt::Literals::StringLiterals;

struct Transfer;

namespace {

// Callers waiting in their event loop; the windows' thread only.
int waitingcallers = 0;
// The transfer the user may abandon now; the windows' thread only.
std::shared_ptr<Transfer> waitingtransfer;

using Clock = std::chrono::steady_clock;

void globalinit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// What every client of the program shares: the TLS sessions and the host names looked up. Every
// form post goes out on a fresh connection, and each client has its own handle: without a shared
// cache, the first connection of each client would pay a full TLS handshake (a round trip more
// than a resumed one with TLS 1.2, a certificate check each time) and a name lookup of its own.
// The clients of other threads (the kept sales' sender) share it too, hence the locks.
class SharedCache final
{
public:
    SharedCache() : m_share(curl_share_init())
    {
        if (!m_share)
            return;
        curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, &SharedCache::lock);
        curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, &SharedCache::unlock);
        curl_share_setopt(m_share, CURLSHOPT_USERDATA, this);
        curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }
    SharedCache(const SharedCache&) = delete;
    SharedCache& operator=(const SharedCache&) = delete;

    // Lives until the process ends: a handle may be cleaned up by a static object's destructor.
    static CURLSH* share()
    {
        static SharedCache* const cache = new SharedCache;
        return cache->m_share;
    }

private:
    static std::mutex& mutexof(void* user, curl_lock_data data)
    {
        auto* cache = static_cast<SharedCache*>(user);
        return cache->m_mutexes[data >= 0 && data < CURL_LOCK_DATA_LAST ? data : CURL_LOCK_DATA_SHARE];
    }
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* user) { mutexof(user, data).lock(); }
    static void unlock(CURL*, curl_lock_data data, void* user) { mutexof(user, data).unlock(); }

    CURLSH* m_share;
    std::mutex m_mutexes[CURL_LOCK_DATA_LAST];
};

QString stoppedmessage()
{
    return u"Requête interrompue : le programme se ferme."_s;
}

// The French text for a system error number of a socket operation.
QString sockettext(long error)
{
    switch (error) {
    case ECONNREFUSED:
        return u"Connexion refusée."_s;
    case ECONNRESET:
        return u"Connexion réinitialisée par le correspondant."_s;
    case ECONNABORTED:
        return u"Connexion abandonnée."_s;
    case ETIMEDOUT:
        return u"Le délai d'attente de la connexion est dépassé."_s;
    case EHOSTUNREACH:
        return u"Hôte inaccessible."_s;
    case ENETUNREACH:
        return u"Réseau inaccessible."_s;
    case ENETDOWN:
        return u"Réseau hors service."_s;
    case EHOSTDOWN:
        return u"Hôte hors service."_s;
    case ENETRESET:
        return u"Connexion interrompue par le réseau."_s;
    case EPIPE:
        return u"Connexion rompue."_s;
    case ENOTCONN:
        return u"Le socket n'est pas connecté."_s;
    case EADDRNOTAVAIL:
        return u"Adresse demandée non disponible."_s;
    case EADDRINUSE:
        return u"Adresse déjà utilisée."_s;
    case ENOBUFS:
        return u"Mémoire tampon insuffisante."_s;
    case EACCES:
        return u"Accès refusé."_s;
    default:
        return u"Erreur réseau inconnue."_s;
    }
}

QString socketfailure(long error)
{
    return u"Erreur de socket n° "_s + QString::number(error) + u"\r\n"_s + sockettext(error);
}

// A list of header lines for CURLOPT_HTTPHEADER / CURLOPT_PROXYHEADER.
class HeaderList final
{
public:
    HeaderList() = default;
    HeaderList(const HeaderList&) = delete;
    HeaderList& operator=(const HeaderList&) = delete;
    ~HeaderList() { curl_slist_free_all(m_list); }

    void add(const QByteArray& line)
    {
        if (curl_slist* grown = curl_slist_append(m_list, line.constData()))
            m_list = grown;
    }
    // "Name: value"; an empty value is written "Name;" (libcurl's way to send a header without value,
    // "Name:" would remove it).
    void add(const QByteArray& name, const QByteArray& value)
    {
        add(value.isEmpty() ? QByteArray(name + ';') : QByteArray(name + ": " + value));
    }
    curl_slist* get() const { return m_list; }

private:
    curl_slist* m_list = nullptr;
};

// The client's worker thread, started at the first request and kept for the next ones: starting a
// thread for each request cost about a millisecond on a busy machine, more than the request
// itself on loopback.
class Worker final
{
public:
    Worker() = default;
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    ~Worker()
    {
        if (!m_thread.joinable())
            return;
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

    // Runs the job on the worker thread; one job at a time.
    void run(std::function<void()> job)
    {
        if (!m_thread.joinable())
            m_thread = std::thread([this] { loop(); });
        {
            const std::lock_guard lock(m_mutex);
            m_job = std::move(job);
            m_busy = true;
        }
        m_wake.notify_all();
    }

    // Waits until the job given last has returned.
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return !m_busy; });
    }

private:
    void loop()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stop || m_job; });
            if (m_stop)
                return;
            std::function<void()> job = std::move(m_job);
            m_job = nullptr;
            lock.unlock();
            job();
            lock.lock();
            m_busy = false;
            m_wake.notify_all();
        }
    }

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::function<void()> m_job;
    bool m_busy = false;
    bool m_stop = false;
};

} // namespace

// One request in flight: shared by the caller, the worker thread that runs it and the client (which
// may be destroyed by an event handled while the caller waits).
struct Transfer
{
    // Set up by the caller before the worker starts.
    QByteArray url;
    QByteArray body;
    HeaderList headers;
    HeaderList proxyheaders;
    qint64 maxreply = 0;
    Clock::duration stall{};
    std::function<void(qint64, qint64)> progress; // called on the worker thread; posts to the caller
    bool viaproxy = false;                        // sent through the client's proxy
    bool tunnel = false;                          // through a tunnel the proxy opens (an https URL)

    // Written by the worker while the transfer runs.
    QByteArray statusline;
    QByteArray location;
    QList<QByteArray> setcookies; // of the last response (not of a CONNECT or an interim one)
    ProxyAnswer::Marks marks;     // of the last response: whether a proxy wrote it itself
    QByteArray replybody;
    qint64 received = 0;
    Clock::time_point lastactivity;
    curl_off_t lastdl = -1;
    curl_off_t lastul = -1;
    curl_off_t lastreported = -1;
    bool stalled = false;
    bool overdue = false;      // the whole transfer took longer than `overall`
    Clock::duration overall{}; // none when zero
    Clock::time_point started;
    std::atomic<bool> abandoned{false};          // the user abandoned the wait
    const std::atomic<bool>* stopping = nullptr; // the client's: stop() was called
    bool oversize = false;
    qsizetype sentbody = 0;       // body bytes handed to libcurl
    bool rewindrefused = false;   // libcurl wanted to send the body again
    bool connectionready = false; // the connection was ready for the request: it may have gone

    // Results, read by the caller once the worker has finished.
    CURLcode code = CURLE_OK;
    long responsecode = 0;
    long connectcode = 0;
    long oserror = 0;
    long requestsize = 0;
    QByteArray errortext;

    std::atomic<bool> abort{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> clientgone{false};
    std::function<void()> done; // tells the waiting caller

    void activity() { lastactivity = Clock::now(); }

    bool account(size_t bytes)
    {
        received += qint64(bytes);
        activity();
        if (received > maxreply) {
            oversize = true;
            return false;
        }
        return true;
    }

    static size_t onheader(char* data, size_t size, size_t count, void* user)
    {
        const size_t bytes = size * count;
        auto* t = static_cast<Transfer*>(user);
        if (!t)
            return bytes;
        if (!t->account(bytes))
            return 0;
        // Read in place: most header lines are of no interest and cost no copy.
        const QByteArrayView line = QByteArrayView(data, qsizetype(bytes)).trimmed();
        if (line.startsWith("HTTP/")) {
            // A new response (an interim 100, the proxy's answer to CONNECT, then the real one).
            t->statusline = line.toByteArray();
            t->location.clear();
            t->setcookies.clear();
            t->marks.clear();
            return bytes;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return bytes;
        const QByteArrayView name = line.first(colon).trimmed();
        const QByteArrayView value = line.sliced(colon + 1).trimmed();
        if (name.compare("location", Qt::CaseInsensitive) == 0) {
            t->location = value.toByteArray();
        } else if (name.compare("set-cookie", Qt::CaseInsensitive) == 0) {
            t->setcookies.append(value.toByteArray());
        } else if (name.compare("x-squid-error", Qt::CaseInsensitive) == 0 ||
                   name.compare("proxy-status", Qt::CaseInsensitive) == 0) {
            t->marks.take(name.toByteArray().toLower(), value.toByteArray());
        } else if (name.compare("content-length", Qt::CaseInsensitive) == 0) {
            bool ok = false;
            const qint64 length = value.toLongLong(&ok);
            if (ok && length > t->maxreply) {
                t->oversize = true;
                return 0;
            }
        }
        return bytes;
    }

    static size_t onbody(char* data, size_t size, size_t count, void* user)
    {
        const size_t bytes = size * count;
        auto* t = static_cast<Transfer*>(user);
        if (!t)
            return bytes;
        if (!t->account(bytes))
            return 0;
        t->replybody.append(data, qsizetype(bytes));
        return bytes;
    }

    static size_t onread(char* buffer, size_t size, size_t count, void* user)
    {
        auto* t = static_cast<Transfer*>(user);
        if (!t)
            return 0;
        const auto bytes = qMin(qsizetype(size * count), t->body.size() - t->sentbody);
        std::memcpy(buffer, t->body.constData() + t->sentbody, size_t(bytes));
        t->sentbody += bytes;
        return size_t(bytes);
    }

    // libcurl rewinds the body to send the request again on a new connection when a kept one
    // closes without a reply. The server may have acted on the first copy (a sale, a coupon use):
    // the request then ends as a failure instead.
    // Called by libcurl once the connection is ready for the request (a tunnel through the proxy
    // opened, TLS done), just before it sends it.
    static int onready(void* user, char*, char*, int, int)
    {
        if (auto* t = static_cast<Transfer*>(user))
            t->connectionready = true;
        return CURL_PREREQFUNC_OK;
    }

    static int onseek(void* user, curl_off_t offset, int origin)
    {
        auto* t = static_cast<Transfer*>(user);
        if (!t)
            return CURL_SEEKFUNC_FAIL;
        if (origin == SEEK_SET && offset == 0 && t->sentbody == 0)
            return CURL_SEEKFUNC_OK;
        t->rewindrefused = true;
        return CURL_SEEKFUNC_FAIL;
    }

    // Called by libcurl at least about once a second, also while nothing arrives.
    static int onprogress(void* user, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t ulnow)
    {
        auto* t = static_cast<Transfer*>(user);
        if (!t)
            return 0;
        if (t->abort.load() || t->abandoned.load() || (t->stopping && t->stopping->load()))
            return 1;
        if (t->overall.count() > 0 && Clock::now() - t->started >= t->overall) {
            t->overdue = true;
            return 1;
        }
        if (dlnow != t->lastdl || ulnow != t->lastul) {
            t->lastdl = dlnow;
            t->lastul = ulnow;
            t->activity();
        }
        if (Clock::now() - t->lastactivity >= t->stall) {
            t->stalled = true;
            return 1;
        }
        if (t->progress && dlnow != t->lastreported) {
            t->lastreported = dlnow;
            t->progress(qint64(dlnow), dltotal > 0 ? qint64(dltotal) : qint64(-1));
        }
        return 0;
    }
};

struct HttpClient::Private
{
    Profile profile;
    HttpHeaders custom;
    HttpProxy proxy;
    CookieJar cookies;
    int connecttimeout = 0;
    int stallseconds = 60;
    int overallseconds = 0;
    HttpClient::WaitObserver* observer = nullptr;
    std::atomic<bool> stopping{false};
    qint64 maxreply = qint64(64) * 1024 * 1024;
    bool formposted = false; // Content-Type and "Connection: keep-alive" stay once set
    bool readyknown = false; // libcurl tells when the connection is ready for a request
    CURL* curl = nullptr;
    std::shared_ptr<Transfer> current;
    Worker worker;

    enum class Method
    {
        Put,
        Form,
        Get
    };

    // The address of a request, read once: a client asks the same URL all day long.
    struct Target
    {
        QString text;
        QUrl url;
        QByteArray encoded;
        QByteArray host; // the Host line's value
        bool https = false;
        bool valid = false;
    };
    Target target;
    const Target& targetof(const QString& url);

    HttpReply request(Method method, const QString& url, const QByteArray& body,
                      const std::function<void(qint64, qint64)>& progress);
    bool configure(Transfer& t, Method method, const Target& target);
    static void run(CURL* curl, Transfer& t);
    HttpReply outcome(const Transfer& t) const;
};

namespace {

HttpReply failed(const QString& text)
{
    HttpReply reply;
    reply.failure = text;
    return reply;
}

// Whether the connection the client keeps is over: nothing is due on an idle connection, so
// anything waiting to be read there is the server's close. libcurl takes such a connection for
// alive when bytes wait on it, which is what a TLS server's close leaves (its close_notify alert
// before the end of the stream): the request would go out on a dead connection and fail, and a
// write is never sent twice.
bool keptconnectionover(CURL* curl)
{
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (curl_easy_getinfo(curl, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK || socket == CURL_SOCKET_BAD)
        return false;
    pollfd waiting{socket, POLLIN, 0};
    return ::poll(&waiting, 1, 0) > 0;
}

QByteArray hostheader(const QUrl& url)
{
    QByteArray host = url.host(QUrl::FullyEncoded).toUtf8();
    if (host.contains(':'))
        host = '[' + host + ']';
    const int port = url.port(-1);
    const int standard = url.scheme().compare(u"https"_s, Qt::CaseInsensitive) == 0 ? 443 : 80;
    if (port != -1 && port != standard)
        host += ':' + QByteArray::number(port);
    return host;
}

} // namespace

const HttpClient::Private::Target& HttpClient::Private::targetof(const QString& url)
{
    if (target.valid && target.text == url)
        return target;
    target = Target();
    target.text = url;
    target.url = QUrl(url);
    const QString scheme = target.url.scheme().toLower();
    target.valid =
        target.url.isValid() && !target.url.host().isEmpty() && (scheme == u"http"_s || scheme == u"https"_s);
    target.https = scheme == u"https"_s;
    if (target.valid) {
        target.encoded = target.url.toEncoded();
        target.host = hostheader(target.url);
    }
    return target;
}

bool HttpClient::Private::configure(Transfer& t, Method method, const Target& target)
{
    // Headers in the order the platform has always received them, Proxy-Authorization and Cookie
    // included: both are written here, last, rather than by libcurl (which would put them right
    // after the request line). The cookies are those of the client's own jar.
    const bool https = target.https;
    const bool withbody = method != Method::Get;
    t.viaproxy = proxy.enabled();
    t.tunnel = https;
    if (formposted)
        t.headers.add("Connection: keep-alive");
    t.headers.add(formposted ? QByteArray("Content-Type: application/x-www-form-urlencoded")
                             : QByteArray("Content-Type:"));
    if (withbody)
        t.headers.add("Content-Length: " + QByteArray::number(t.body.size()));
    for (const auto& [name, value] : custom)
        t.headers.add(name, value);
    // A custom Host line would be moved by libcurl to the top; removing libcurl's own Host first and
    // then giving ours keeps it in place.
    t.headers.add("Host:");
    t.headers.add("Host", target.host);
    t.headers.add(profile.accept.isEmpty() ? QByteArray("Accept:") : QByteArray("Accept: " + profile.accept));
    if (!profile.acceptcharset.isEmpty())
        t.headers.add("Accept-Charset", profile.acceptcharset);
    t.headers.add("Accept-Encoding: identity");
    t.headers.add(profile.useragent.isEmpty() ? QByteArray("User-Agent:")
                                              : QByteArray("User-Agent: " + profile.useragent));
    // Through the proxy an http request goes to the proxy itself, credentials last; an https one
    // travels in a tunnel, and only the CONNECT that opens it carries them (libcurl writes it).
    if (proxy.enabled() && !https)
        t.headers.add("Proxy-Authorization",
                      "Basic " + (proxy.user + u':' + proxy.password).toUtf8().toBase64());
    const QByteArray cookie = cookies.header(target.url);
    if (!cookie.isEmpty())
        t.headers.add("Cookie", cookie);
    t.headers.add("Expect:");
    t.proxyheaders.add("Proxy-Connection:");

    bool ok = true;
    auto set = [&ok](CURLcode code) { ok = ok && code == CURLE_OK; };
    set(curl_easy_setopt(curl, CURLOPT_URL, t.url.constData()));
    set(curl_easy_setopt(curl, CURLOPT_HTTPHEADER, t.headers.get()));
    set(curl_easy_setopt(curl, CURLOPT_PROXYHEADER, t.proxyheaders.get()));
    set(curl_easy_setopt(curl, CURLOPT_HTTP_VERSION,
                         long(method == Method::Form ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1)));
    if (withbody) {
        // The body's length is always announced: never a chunked request body. It is read through
        // a callback so that libcurl cannot send it a second time unseen (see onseek).
        set(curl_easy_setopt(curl, CURLOPT_POSTFIELDS, nullptr));
        set(curl_easy_setopt(curl, CURLOPT_POST, 1L));
        set(curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(t.body.size())));
        set(curl_easy_setopt(curl, CURLOPT_READFUNCTION, &Transfer::onread));
        set(curl_easy_setopt(curl, CURLOPT_READDATA, &t));
        set(curl_easy_setopt(curl, CURLOPT_SEEKFUNCTION, &Transfer::onseek));
        set(curl_easy_setopt(curl, CURLOPT_SEEKDATA, &t));
        set(curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method == Method::Put ? "PUT" : nullptr));
    } else {
        set(curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, nullptr));
        set(curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L));
    }
    // A form post goes out on a new connection; with one connection kept per client, the one
    // that was open is closed. So does a request whose kept connection the server has closed.
    set(curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT,
                         long(method == Method::Form || keptconnectionover(curl))));
    set(curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(connecttimeout)));

    if (proxy.enabled()) {
        QByteArray proxyhost = proxy.host.toUtf8();
        if (proxyhost.contains(':'))
            proxyhost = '[' + proxyhost + ']';
        const QByteArray proxyurl = "http://" + proxyhost;
        set(curl_easy_setopt(curl, CURLOPT_PROXY, proxyurl.constData()));
        set(curl_easy_setopt(curl, CURLOPT_PROXYPORT, long(proxy.port)));
        set(curl_easy_setopt(curl, CURLOPT_PROXYTYPE, long(CURLPROXY_HTTP)));
        if (https) {
            set(curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, proxy.user.toUtf8().constData()));
            set(curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, proxy.password.toUtf8().constData()));
            // Basic only: the credentials go with the first CONNECT, without waiting for a challenge.
            set(curl_easy_setopt(curl, CURLOPT_PROXYAUTH, long(CURLAUTH_BASIC)));
        } else {
            set(curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, nullptr));
            set(curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, nullptr));
        }
    } else {
        // An empty proxy also keeps libcurl from taking one from the environment.
        set(curl_easy_setopt(curl, CURLOPT_PROXY, ""));
    }

    set(curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t));
    set(curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t));
    set(curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t));
    if (readyknown)
        set(curl_easy_setopt(curl, CURLOPT_PREREQDATA, &t));
    return ok;
}

void HttpClient::Private::run(CURL* curl, Transfer& t)
{
    t.activity();
    t.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &t.responsecode);
    curl_easy_getinfo(curl, CURLINFO_HTTP_CONNECTCODE, &t.connectcode);
    curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &t.oserror);
    curl_easy_getinfo(curl, CURLINFO_REQUEST_SIZE, &t.requestsize);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_READDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_SEEKDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_PREREQDATA, nullptr);
}

HttpReply HttpClient::Private::outcome(const Transfer& t) const
{
    HttpReply reply;
    reply.statusline = t.statusline;
    reply.status = int(t.responsecode);
    reply.sent = t.requestsize > 0 || !t.statusline.isEmpty() || t.rewindrefused;
    // Through a tunnel, the bytes and the status line may be those of the CONNECT alone: the
    // request itself can only have gone once the tunnel was open.
    if (t.viaproxy && t.tunnel && readyknown && !t.connectionready)
        reply.sent = false;

    if (t.code != CURLE_OK) {
        // A transfer that failed after its status line is no refusal by status.
        if (stopping.load()) {
            reply.status = 0;
            reply.failure = stoppedmessage();
            return reply;
        }
        if (t.abandoned.load()) {
            reply.status = 0;
            reply.failure = u"Attente abandonnée : la plateforme n'avait pas encore répondu."_s;
            return reply;
        }
        if (t.overdue) {
            reply.status = 0;
            reply.failure = u"La plateforme n'a pas fini de répondre en %1 s."_s.arg(overallseconds);
            return reply;
        }
        if (t.stalled) {
            reply.status = 0;
            reply.failure =
                u"Le serveur ne répond plus (aucune donnée reçue pendant %1 s)."_s.arg(stallseconds);
            return reply;
        }
        if (t.rewindrefused) {
            reply.status = 0;
            reply.failure =
                u"La connexion a été coupée après l'envoi de la demande : la plateforme a pu la recevoir."_s;
            return reply;
        }
        if (t.oversize) {
            reply.status = 0;
            reply.failure = u"Réponse trop volumineuse (plus de %1 octets)."_s.arg(maxreply);
            return reply;
        }
        if (t.connectcode >= 300) {
            reply.status = int(t.connectcode);
            // A refused access: its status line, as for any refusal.
            if (reply.status == 407) {
                reply.sent = false;
                reply.proxydenied = true;
                reply.failure = ProxyAnswer::denied();
                return reply;
            }
            if (isaccessdenied(reply.status)) {
                reply.failure = QString::fromUtf8(t.statusline);
                return reply;
            }
            // The proxy did not open the tunnel: the request, which travels inside it, never left.
            reply.sent = false;
            reply.proxyerror = true;
            reply.failure = ProxyAnswer::failure(reply.status);
            return reply;
        }
        reply.status = 0;
        switch (t.code) {
        case CURLE_OPERATION_TIMEDOUT:
            // No overall time limit is set: the only one that can run out is the connect limit.
            reply.failure = u"Délai de connexion."_s;
            break;
        case CURLE_COULDNT_CONNECT:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
            if (t.oserror != 0) {
                reply.oserror = int(t.oserror);
                reply.failure = socketfailure(t.oserror);
            } else {
                reply.failure = t.code == CURLE_COULDNT_CONNECT ? u"Connexion au serveur impossible."_s
                                                                : u"La connexion au serveur a été coupée."_s;
            }
            break;
        case CURLE_COULDNT_RESOLVE_HOST:
            reply.failure = u"Nom d'hôte introuvable."_s;
            break;
        case CURLE_COULDNT_RESOLVE_PROXY:
            reply.failure = u"Nom du proxy introuvable."_s;
            break;
        case CURLE_GOT_NOTHING:
            reply.failure = u"Le serveur a fermé la connexion sans répondre."_s;
            break;
        case CURLE_PARTIAL_FILE:
            reply.failure = u"La connexion a été coupée avant la fin de la réponse."_s;
            break;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_BAD_CONTENT_ENCODING:
        case CURLE_HTTP2:
            reply.failure = u"Réponse du serveur mal formée."_s;
            break;
        case CURLE_URL_MALFORMAT:
            reply.failure = u"Adresse du serveur invalide."_s;
            break;
        case CURLE_PEER_FAILED_VERIFICATION:
            reply.failure = u"Connexion sécurisée refusée : le certificat du serveur n'est pas valide."_s;
            break;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CLIENTCERT:
            reply.failure = u"Échec de la connexion sécurisée (TLS) avec le serveur."_s;
            break;
        case CURLE_OUT_OF_MEMORY:
            reply.failure = u"Mémoire insuffisante pour la requête."_s;
            break;
        default:
            reply.failure = u"Échec de la requête HTTP (erreur %1)."_s.arg(int(t.code));
            break;
        }
        return reply;
    }

    if (reply.status >= 200 && reply.status <= 299) {
        reply.ok = true;
        reply.body = t.replybody;
    } else if (reply.status >= 300 && reply.status <= 399 && !t.location.isEmpty()) {
        // Redirections are not followed: the request ends here, with an empty reply.
        reply.ok = true;
    } else if (t.statusline.isEmpty()) {
        reply.failure = u"Réponse du serveur mal formée."_s;
    } else if (t.viaproxy && !t.tunnel && ProxyAnswer::couldnotreach(reply.status, t.marks)) {
        // The proxy's own error page: the server never had the request. Inside a tunnel every
        // reply is the server's.
        reply.sent = false;
        reply.proxyerror = true;
        reply.failure = ProxyAnswer::failure(reply.status);
        reply.body = t.replybody;
    } else {
        reply.failure = QString::fromUtf8(t.statusline);
        reply.body = t.replybody;
        // The proxy turned its credentials away: a refused access, which never reached the server.
        if (t.viaproxy && !t.tunnel && reply.status == 407) {
            reply.sent = false;
            reply.proxydenied = true;
            reply.failure = ProxyAnswer::denied();
        }
    }
    return reply;
}

HttpReply HttpClient::Private::request(Method method, const QString& url, const QByteArray& body,
                                       const std::function<void(qint64, qint64)>& progress)
{
    if (current)
        return failed(u"Une requête est déjà en cours sur ce client."_s);
    if (!curl)
        return failed(u"Client HTTP indisponible."_s);
    if (stopping.load())
        return failed(stoppedmessage());
    const Target& parsed = targetof(url);
    if (!parsed.valid)
        return failed(u"Adresse du serveur invalide : "_s + url);

    auto t = std::make_shared<Transfer>();
    t->url = parsed.encoded;
    t->body = body;
    t->maxreply = maxreply;
    t->stall = std::chrono::seconds(stallseconds);
    t->overall = std::chrono::seconds(overallseconds);
    t->started = Clock::now();
    t->stopping = &stopping;
    if (method == Method::Form)
        formposted = true;
    if (!configure(*t, method, parsed))
        return failed(u"Configuration de la requête impossible."_s);
    current = t;

    if (!QCoreApplication::instance()) {
        t->progress = progress;
        run(curl, *t);
    } else {
        // The caller waits in an event loop that excludes user input; whatever the worker reports
        // is delivered on the caller's thread through this object.
        QObject guard;
        QEventLoop loop;
        if (progress) {
            t->progress = [&guard, progress](qint64 done, qint64 total) {
                QMetaObject::invokeMethod(
                    &guard, [progress, done, total] { progress(done, total); }, Qt::QueuedConnection);
            };
        }
        t->done = [&guard, &loop] {
            QMetaObject::invokeMethod(
                &guard, [&loop] { loop.quit(); }, Qt::QueuedConnection);
        };
        worker.run([handle = curl, t] {
            run(handle, *t);
            t->finished.store(true);
            t->done();
        });
        // A client used on another thread (the kept sales' sender) waits there: the windows'
        // waits, the observer and abandoning are not its business.
        const bool windows = QThread::currentThread() == QCoreApplication::instance()->thread();
        // With an observer, input reaches it during the wait (to abandon it), and it drops the
        // rest; without one, input waits for the end of the request.
        HttpClient::WaitObserver* const observer = windows ? this->observer : nullptr;
        std::shared_ptr<Transfer> outer;
        if (windows) {
            ++waitingcallers;
            outer = waitingtransfer;
            waitingtransfer = t;
        }
        if (observer)
            observer->waitstarted();
        while (!t->finished.load() && !t->clientgone.load())
            loop.exec(observer ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        if (observer)
            observer->waitended();
        if (windows) {
            waitingtransfer = outer;
            --waitingcallers;
        }
        if (t->clientgone.load())
            return failed(u"Requête interrompue : le client HTTP a été fermé."_s); // *this is gone
        worker.wait();
    }
    current.reset();
    cookies.store(target.url, t->setcookies);
    return outcome(*t);
}

HttpClient::HttpClient(Profile profile) : d(std::make_unique<Private>())
{
    globalinit();
    d->profile = std::move(profile);
    d->curl = curl_easy_init();
    if (!d->curl)
        return;
    CURL* curl = d->curl;
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SHARE, SharedCache::share());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_MAXCONNECTS, 1L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Transfer::onheader);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Transfer::onbody);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Transfer::onprogress);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    d->readyknown = curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, &Transfer::onready) == CURLE_OK;
    // Certificates are always checked. A platform behind a private certification authority is
    // trusted the way OpenSSL's own tools allow: SSL_CERT_FILE (a PEM file) takes the place of the
    // system's bundle, SSL_CERT_DIR (a folder prepared by c_rehash) that of its folder.
    const QByteArray cafile = qgetenv("SSL_CERT_FILE");
    if (!cafile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, cafile.constData());
    const QByteArray cadir = qgetenv("SSL_CERT_DIR");
    if (!cadir.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAPATH, cadir.constData());
}

HttpClient::~HttpClient()
{
    if (d->current) {
        // Destroyed by an event handled while a request waits: stop the transfer and let the
        // waiting caller return without touching this client.
        d->current->abort.store(true);
        d->worker.wait();
        d->current->clientgone.store(true);
    }
    if (d->curl)
        curl_easy_cleanup(d->curl);
}

void HttpClient::setcustomheaders(HttpHeaders headers)
{
    d->custom = std::move(headers);
}

const HttpHeaders& HttpClient::customheaders() const
{
    return d->custom;
}

void HttpClient::setproxy(const HttpProxy& proxy)
{
    d->proxy = proxy;
}

const HttpProxy& HttpClient::proxy() const
{
    return d->proxy;
}

void HttpClient::setconnecttimeout(int milliseconds)
{
    d->connecttimeout = qMax(0, milliseconds);
}

int HttpClient::waiting()
{
    return waitingcallers;
}

void HttpClient::setwaitobserver(WaitObserver* observer)
{
    d->observer = observer;
}

void HttpClient::stop()
{
    d->stopping.store(true);
}

void HttpClient::abandonwait()
{
    if (waitingtransfer)
        waitingtransfer->abandoned.store(true);
}

void HttpClient::setoveralltimeout(int seconds)
{
    d->overallseconds = qMax(0, seconds);
}

int HttpClient::connecttimeout() const
{
    return d->connecttimeout;
}

void HttpClient::setstalltimeout(int seconds)
{
    d->stallseconds = qMax(1, seconds);
}

void HttpClient::setmaxreply(qint64 bytes)
{
    d->maxreply = qMax<qint64>(0, bytes);
}

HttpReply HttpClient::put(const QString& url, const QByteArray& body)
{
    return d->request(Private::Method::Put, url, body, {});
}

HttpReply HttpClient::postform(const QString& url, const QString& line)
{
    // Blanks and line breaks around the line do not reach the body.
    qsizetype begin = 0;
    qsizetype end = line.size();
    auto blank = [](QChar c) { return c == u' ' || c == u'\r' || c == u'\n' || c == u'\t'; };
    while (begin < end && blank(line.at(begin)))
        ++begin;
    while (end > begin && blank(line.at(end - 1)))
        --end;
    return d->request(Private::Method::Form, url, formencode(line.mid(begin, end - begin)), {});
}

HttpReply HttpClient::get(const QString& url, const std::function<void(qint64, qint64)>& progress)
{
    return d->request(Private::Method::Get, url, {}, progress);
}

QByteArray HttpClient::formencode(const QString& line)
{
    auto encode = [](const QString& part) {
        static const char hex[] = "0123456789ABCDEF";
        QByteArray out;
        const QByteArray utf8 = part.toUtf8();
        out.reserve(utf8.size() * 3);
        for (const char ch : utf8) {
            const auto c = static_cast<unsigned char>(ch);
            if (c == ' ') {
                out.append('+');
            } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '*' || c == '-' || c == '.' || c == '_') {
                out.append(char(c));
            } else {
                out.append('%');
                out.append(hex[c >> 4]);
                out.append(hex[c & 0x0F]);
            }
        }
        return out;
    };
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return encode(line);
    return encode(line.left(equals)) + '=' + encode(line.mid(equals + 1));
}
