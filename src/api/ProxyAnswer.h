#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

// What a proxy's reply says about the request it was handed: whether the proxy wrote the reply
// itself because it could not open a connection to the server, so that the server never saw the
// request. Only marks that say so for certain count; any other error page (the server's own 502
// or 503 forwarded, a connection lost after the request went on, an unknown proxy's page) proves
// nothing.
namespace ProxyAnswer {

// The marks of one reply, gathered from its header lines.
struct Marks
{
    QByteArray squiderror;      // Squid's own error pages: "X-Squid-Error: ERR_CONNECT_FAIL 111"
    QByteArrayList proxystatus; // the values of every "Proxy-Status" line (RFC 9209)

    void clear() { *this = Marks(); }
    // Takes a header, by its name in lower case, when it is one of the marks.
    void take(const QByteArray& name, const QByteArray& value);
};

// A reply of this status, sent back by the proxy for a plain http request, is the proxy's own:
// it could not reach the server. Only a 5xx can be.
bool couldnotreach(int status, const Marks& marks);

// The text the user is shown for such a reply, or for a tunnel the proxy would not open.
QString failure(int status);
// The text the user is shown when the proxy turned its credentials away (407): the request never
// reached the platform.
QString denied();

} // namespace ProxyAnswer
