#include "api/Connection.h"

#include "api/ApiReturn.h"
#include "api/LogFile.h"
#include "api/ReplyBuffer.h"

using namespace Qt::Literals::StringLiterals;

Connection::Connection(const HttpClient& counterclient, ReplyBuffer& buffer, std::function<QString()> url,
                       LogFile* log)
    : m_client(profile()), m_buffer(buffer), m_url(std::move(url)), m_log(log)
{
    m_client.setproxy(counterclient.proxy());
    m_client.setcustomheaders(counterclient.customheaders());
    m_client.setoveralltimeout(HttpClient::kplatformlimit);
}

HttpClient::Profile Connection::profile()
{
    return {"Mozilla/3.0 (compatible; Indy Library)",
            "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8",
            {}};
}

Connection::Sent Connection::put(const QString& jsondata)
{
    Sent sent;
    m_client.setconnecttimeout(10000);
    sent.reply = m_client.put(m_url(), jsondata.toUtf8());
    sent.result = WriteResult::read(sent.reply);
    if (!sent.reply.ok) {
        sent.messages.append(u"Erreur technique : "_s + sent.reply.failure);
        return sent;
    }
    m_buffer.load(sent.reply.body);
    // The log file records the reply as the buffer holds it; the envelope is read from the same
    // bytes.
    const QByteArray bytes = ReplyBuffer::normalised(sent.reply.body);
    // The platform has the request whatever happens to the log: a record that cannot be written
    // is told once and does not turn the answer into a failure.
    if (m_log && !m_log->write(jsondata, bytes) && !m_logfailuretold) {
        m_logfailuretold = true;
        sent.messages.append(
            m_log->error() +
            u"\nLa demande a bien été reçue par la plateforme ; le journal reste incomplet."_s);
    }
    if (sent.result.envelope.isEmpty())
        sent.messages.append(badformatmessage());
    return sent;
}
