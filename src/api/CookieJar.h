#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>
#include <vector>

// The cookies of one HTTP client, in memory for the whole run: taken from the "Set-Cookie" lines
// of every reply and sent back as one "Cookie" header on later requests to the same site. The
// client writes that header itself, last of its headers, where the platform has always received
// it. The usual rules hold: a cookie without Domain goes back to its host only, Path limits it to
// a part of the site, Secure to https, Expires and Max-Age end it (a past date deletes it).
class CookieJar final
{
public:
    // The values of the "Set-Cookie" lines of a reply to `url`, in reply order.
    void store(const QUrl& url, const QList<QByteArray>& setcookies);
    // "name=value; name2=value2" for a request to `url`: the longest paths first, then the
    // oldest cookies; empty when none applies.
    QByteArray header(const QUrl& url) const;

    bool isEmpty() const { return m_cookies.empty(); }

private:
    struct Cookie
    {
        QByteArray name;
        QByteArray value;
        QByteArray domain;
        QByteArray path;
        bool hostonly = true;
        bool secure = false;
        qint64 expires = 0; // seconds since the epoch; 0 for a cookie of the run
        quint64 created = 0;
    };

    void store(const QUrl& url, const QByteArray& setcookie, qint64 now);

    std::vector<Cookie> m_cookies;
    quint64 m_next = 0;
};
