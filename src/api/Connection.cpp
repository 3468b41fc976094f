#include "api/Connection.h"

#include "api/ApiReturn.h"
#include "api/LogFile.h"
#include "api/ReplyBuffer.h"
#include "platform/Dialogs.h"

using namespace Qt::Literals::StringLiterals;

Connection::Connection(const HttpClient& counterclient, ReplyBuffer& buffer, Dialogs& dialogs,
                       std::function<QString()> url, LogFile* log)
    : m_client(profile()), m_buffer(buffer), m_dialogs(dialogs), m_url(std::move(url)), m_log(log)
{
    m_client.setproxy(counterclient.proxy());
    m_client.setcustomheaders(counterclient.customheaders());
}

HttpClient::Profile Connection::profile()
{
    return {"Mozilla/3.0 (compatible; Indy Library)",
            "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8",
            {}};
}

QString Connection::put(const QString& jsondata)
{
    m_client.setconnecttimeout(10000);
    const HttpReply reply = m_client.put(m_url(), jsondata.toUtf8());
    if (!reply.ok) {
        m_dialogs.information(u"Erreur technique : "_s + reply.failure);
        return u"-1"_s;
    }
    m_buffer.load(reply.body);
    // The platform has the request whatever happens to the log: a record that cannot be written
    // is told once and does not turn the answer into a failure.
    if (m_log && !m_log->write(jsondata, m_buffer.bytes()) && !m_logfailureshown) {
        m_logfailureshown = true;
        m_dialogs.information(
            m_log->error() +
            u"\nLa demande a bien été reçue par la plateforme ; le journal reste incomplet."_s);
    }
    return QString::fromUtf8(extractenvelope(m_buffer.bytes()));
}
