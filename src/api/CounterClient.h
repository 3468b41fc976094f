#pragma once

#include "api/HttpClient.h"

#include <QString>
#include <functional>

class ReplyBuffer;

// The counter window's client `IdHTTP1` and its two request styles: sales and coupon uses go out
// by `httpput`, queries by `postform`. Every reply that arrives is loaded into the reply buffer.
class CounterClient final
{
public:
    // url: where requests go (the settings' url, read at every request).
    CounterClient(ReplyBuffer& buffer, std::function<QString()> url);

    // The client itself, for its Authorization header, its proxy and its connect time limit.
    HttpClient& client() { return m_client; }

    // PUT of the request text. A reply that arrived is also loaded into the reply buffer; a
    // failure leaves the buffer as it was and says whether the request left for the platform (a
    // failure after that may have landed).
    HttpReply httpput(const QString& jsondata);
    // Form post of the line ("json_data=" and the document). A reply that arrived is also loaded
    // into the reply buffer; a failure comes with its text (and status, status line and body for a
    // refusal by status), the buffer left as it was.
    HttpReply postform(const QString& line);

    static HttpClient::Profile profile();

    // Called after every reply that arrived: the platform can be reached.
    void setreached(std::function<void()> reached) { m_reached = std::move(reached); }

private:
    // A reply that arrived goes into the reply buffer and says the platform was reached.
    HttpReply arrived(HttpReply reply);

    HttpClient m_client;
    ReplyBuffer& m_buffer;
    std::function<QString()> m_url;
    std::function<void()> m_reached;
};
