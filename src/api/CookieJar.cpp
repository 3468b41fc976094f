#include "api/CookieJar.h"

#include <QDateTime>

#include <curl/curl.h>

#include <algorithm>
#include <limits>

namespace {

QByteArray hostof(const QUrl& url)
{
    return url.host(QUrl::FullyEncoded).toLower().toUtf8();
}

QByteArray pathof(const QUrl& url)
{
    const QByteArray path = url.path(QUrl::FullyEncoded).toUtf8();
    return path.isEmpty() ? QByteArray("/") : path;
}

bool isaddress(const QByteArray& host)
{
    return host.contains(':') ||
           std::all_of(host.begin(), host.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

// The host is the domain, or ends with "." and the domain (an address never does).
bool domainmatch(const QByteArray& host, const QByteArray& domain)
{
    if (host == domain)
        return true;
    return !isaddress(host) && host.size() > domain.size() && host.endsWith(domain) &&
           host.at(host.size() - domain.size() - 1) == '.';
}

bool pathmatch(const QByteArray& requestpath, const QByteArray& cookiepath)
{
    if (requestpath == cookiepath)
        return true;
    return requestpath.startsWith(cookiepath) &&
           (cookiepath.endsWith('/') || requestpath.at(cookiepath.size()) == '/');
}

// The folder of the request's path: "/apiv1/webapi.do" gives "/apiv1".
QByteArray defaultpath(const QByteArray& requestpath)
{
    const qsizetype slash = requestpath.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : requestpath.left(slash);
}

} // namespace

void CookieJar::store(const QUrl& url, const QList<QByteArray>& setcookies)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (const QByteArray& setcookie : setcookies)
        store(url, setcookie, now);
}

void CookieJar::store(const QUrl& url, const QByteArray& setcookie, qint64 now)
{
    const QList<QByteArray> parts = setcookie.split(';');
    const QByteArray pair = parts.front();
    const qsizetype equals = pair.indexOf('=');
    if (equals < 0)
        return;
    Cookie cookie;
    cookie.name = pair.left(equals).trimmed();
    cookie.value = pair.mid(equals + 1).trimmed();
    if (cookie.name.isEmpty())
        return;

    const QByteArray host = hostof(url);
    const bool https = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    QByteArray domain;
    QByteArray path;
    bool hasmaxage = false;
    bool expired = false;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray attribute = parts.at(i).trimmed();
        const qsizetype sign = attribute.indexOf('=');
        const QByteArray name = (sign < 0 ? attribute : attribute.left(sign)).trimmed().toLower();
        const QByteArray value = sign < 0 ? QByteArray() : attribute.mid(sign + 1).trimmed();
        if (name == "expires" && !hasmaxage) {
            const time_t when = curl_getdate(value.constData(), nullptr);
            if (when != -1) {
                cookie.expires = qMax<qint64>(1, qint64(when));
                expired = cookie.expires <= now;
            }
        } else if (name == "max-age") {
            bool ok = false;
            const qint64 seconds = value.toLongLong(&ok);
            if (ok) {
                hasmaxage = true;
                expired = seconds <= 0;
                cookie.expires = expired ? 1 : now + qMin(seconds, std::numeric_limits<qint64>::max() - now);
            }
        } else if (name == "domain") {
            domain = value.startsWith('.') ? value.mid(1).toLower() : value.toLower();
        } else if (name == "path") {
            path = value;
        } else if (name == "secure") {
            cookie.secure = true;
        }
    }
    // A secure cookie comes from a secure site only.
    if (cookie.secure && !https)
        return;
    if (domain.isEmpty() || domain == host) {
        cookie.domain = host;
        cookie.hostonly = domain.isEmpty();
    } else {
        // A cookie for another site, or for a whole top-level domain, is refused.
        if (!domainmatch(host, domain) || !domain.contains('.'))
            return;
        cookie.domain = domain;
        cookie.hostonly = false;
    }
    cookie.path = path.startsWith('/') ? path : defaultpath(pathof(url));

    // The same name, domain and path: the new cookie takes the old one's place (and its age); a
    // date in the past deletes it.
    const auto same = std::find_if(m_cookies.begin(), m_cookies.end(), [&](const Cookie& held) {
        return held.name == cookie.name && held.domain == cookie.domain && held.path == cookie.path;
    });
    cookie.created = same != m_cookies.end() ? same->created : m_next++;
    if (same != m_cookies.end())
        m_cookies.erase(same);
    if (!expired)
        m_cookies.push_back(cookie);
}

QByteArray CookieJar::header(const QUrl& url) const
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QByteArray host = hostof(url);
    const QByteArray path = pathof(url);
    const bool https = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    std::vector<const Cookie*> sent;
    for (const Cookie& cookie : m_cookies) {
        if (cookie.expires != 0 && cookie.expires <= now)
            continue;
        if (cookie.hostonly ? host != cookie.domain : !domainmatch(host, cookie.domain))
            continue;
        if (!pathmatch(path, cookie.path) || (cookie.secure && !https))
            continue;
        sent.push_back(&cookie);
    }
    std::stable_sort(sent.begin(), sent.end(), [](const Cookie* a, const Cookie* b) {
        if (a->path.size() != b->path.size())
            return a->path.size() > b->path.size();
        return a->created < b->created;
    });
    QByteArray line;
    for (const Cookie* cookie : sent) {
        if (!line.isEmpty())
            line += "; ";
        line += cookie->name + '=' + cookie->value;
    }
    return line;
}
