#include "api/CounterClient.h"

#include "api/ReplyBuffer.h"

CounterClient::CounterClient(ReplyBuffer& buffer, std::function<QString()> url)
    : m_client(profile()), m_buffer(buffer), m_url(std::move(url))
{
    m_client.setoveralltimeout(HttpClient::kplatformlimit);
}

HttpClient::Profile CounterClient::profile()
{
    return {"Embarcadero RESTClient/1.0", "application/json, text/plain; q=0.9, text/html;q=0.8,",
            "UTF-8, *;q=0.8"};
}

HttpReply CounterClient::httpput(const QString& jsondata)
{
    return arrived(m_client.put(m_url(), jsondata.toUtf8()));
}

HttpReply CounterClient::postform(const QString& line)
{
    return arrived(m_client.postform(m_url(), line));
}

HttpReply CounterClient::arrived(HttpReply reply)
{
    if (reply.ok) {
        m_buffer.load(reply.body);
        if (m_reached)
            m_reached();
    }
    return reply;
}
