#include "api/ProxyAnswer.h"

#include <optional>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace ProxyAnswer {

namespace {

// Squid's errors raised before any connection to the server was open: its name could not be
// resolved, the connection was refused or timed out, or no route to it was left to try. A
// request with a body is never tried again once it has gone out on a connection, so the error
// of the last attempt is that of the only one that might have reached the server. Errors met
// after the request went out (ERR_READ_ERROR, ERR_ZERO_SIZE_OBJECT, ERR_READ_TIMEOUT, …) say
// nothing of what the server did.
bool squidnotreached(const QByteArray& value)
{
    const QByteArray name = value.trimmed().split(' ').value(0);
    return name == "ERR_CONNECT_FAIL" || name == "ERR_DNS_FAIL" || name == "ERR_CANNOT_FORWARD";
}

// The error types of RFC 9209 that say the next hop was never handed the request.
// "connection_terminated", the timeouts after connecting, the TLS errors other than the
// certificate's and the proxy's internal errors can come after the request went on.
bool statusnotreached(const QByteArray& error)
{
    static const QByteArrayList types{"dns_timeout",
                                      "dns_error",
                                      "destination_not_found",
                                      "destination_unavailable",
                                      "destination_ip_prohibited",
                                      "destination_ip_unroutable",
                                      "connection_refused",
                                      "connection_timeout",
                                      "connection_limit_reached",
                                      "tls_certificate_error",
                                      "http_request_denied",
                                      "proxy_internal_response"};
    return types.contains(error);
}

// One member of a Proxy-Status list: an intermediary, with its error and whether it received a
// status from its next hop.
struct Member
{
    QByteArray error;
    bool receivedstatus = false;
};

// A reader of the Structured Field list (RFC 8941) of Proxy-Status, just as far as its members'
// parameters. Anything it cannot read makes the whole field unreadable.
class ListReader
{
public:
    explicit ListReader(const QByteArray& text) : m_text(text) {}

    std::optional<std::vector<Member>> members()
    {
        std::vector<Member> list;
        skipspaces();
        while (!atend()) {
            Member member;
            if (!skipitem())
                return std::nullopt;
            while (peek() == ';') {
                ++m_at;
                skipspaces();
                const QByteArray key = readkey();
                if (key.isEmpty())
                    return std::nullopt;
                QByteArray value;
                if (peek() == '=') {
                    ++m_at;
                    const std::optional<QByteArray> read = readvalue();
                    if (!read)
                        return std::nullopt;
                    value = *read;
                }
                if (key == "error")
                    member.error = value;
                else if (key == "received-status")
                    member.receivedstatus = true;
            }
            list.push_back(member);
            skipspaces();
            if (atend())
                break;
            if (peek() != ',')
                return std::nullopt;
            ++m_at;
            skipspaces();
            if (atend())
                return std::nullopt; // a trailing comma
        }
        return list;
    }

private:
    bool atend() const { return m_at >= m_text.size(); }
    char peek() const { return atend() ? '\0' : m_text.at(m_at); }
    void skipspaces()
    {
        while (peek() == ' ' || peek() == '\t')
            ++m_at;
    }

    // The intermediary's name: a token or a string.
    bool skipitem() { return readvalue().has_value(); }

    QByteArray readkey()
    {
        const qsizetype begin = m_at;
        for (char c = peek();
             (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.' || c == '*';
             c = peek())
            ++m_at;
        return m_text.mid(begin, m_at - begin);
    }

    // A bare item: a string (its content), a byte sequence, or a token, number or boolean (its text).
    std::optional<QByteArray> readvalue()
    {
        if (peek() == '"') {
            ++m_at;
            QByteArray content;
            while (!atend()) {
                const char c = m_text.at(m_at++);
                if (c == '"')
                    return content;
                if (c == '\\') {
                    if (atend())
                        return std::nullopt;
                    content += m_text.at(m_at++);
                } else {
                    content += c;
                }
            }
            return std::nullopt;
        }
        if (peek() == ':') {
            const qsizetype end = m_text.indexOf(':', m_at + 1);
            if (end < 0)
                return std::nullopt;
            const QByteArray bytes = m_text.mid(m_at, end + 1 - m_at);
            m_at = end + 1;
            return bytes;
        }
        const qsizetype begin = m_at;
        while (!atend() && peek() != ';' && peek() != ',' && peek() != ' ' && peek() != '\t' && peek() != '"')
            ++m_at;
        if (m_at == begin)
            return std::nullopt;
        return m_text.mid(begin, m_at - begin);
    }

    QByteArray m_text;
    qsizetype m_at = 0;
};

} // namespace

void Marks::take(const QByteArray& name, const QByteArray& value)
{
    if (name == "x-squid-error")
        squiderror = value;
    else if (name == "proxy-status")
        proxystatus.append(value);
}

bool couldnotreach(int status, const Marks& marks)
{
    if (status < 500 || status > 599)
        return false;
    if (squidnotreached(marks.squiderror))
        return true;
    if (marks.proxystatus.isEmpty())
        return false;
    // Several lines are one list. An intermediary that received a status from its next hop
    // was answered: whatever error it reports came after.
    const std::optional<std::vector<Member>> members = ListReader(marks.proxystatus.join(',')).members();
    if (!members)
        return false;
    for (const Member& member : *members) {
        if (statusnotreached(member.error) && !member.receivedstatus)
            return true;
    }
    return false;
}

QString failure(int status)
{
    return u"Le proxy n'a pas pu joindre la plateforme (HTTP %1)."_s.arg(status);
}

QString denied()
{
    return u"Le proxy a refusé son mot de passe (HTTP 407) : la demande n'a pas atteint la plateforme."_s;
}

} // namespace ProxyAnswer
