#pragma once

#include "api/HttpClient.h"
#include "api/WriteResult.h"

#include <QString>
#include <QStringList>
#include <functional>

class LogFile;
class ReplyBuffer;

// The connection holder `connexion`: its own client `api_adelya` for the requests that write
// (members, children), with a copy of the counter client's proxy and custom headers (the
// Authorization header) taken at construction, at the end of start-up. The program hands it the
// new Authorization header at every validation of the parameters window, as to the counter client.
class Connection final
{
public:
    // What one put came to: the reply, read as every write's reply is, and the French texts for
    // the user, in order, each for an information box: that the log file could not take the
    // record (told once a run), then "Erreur technique : " and the failure's text when no whole
    // reply came, or "Erreur Format Réponse API" when the reply is not the platform's envelope.
    struct Sent
    {
        HttpReply reply;
        WriteResult result;
        QStringList messages;
    };

    // url: where requests go (the settings' url, read at every request). log: the open log file
    // with the switch "log", otherwise null.
    Connection(const HttpClient& counterclient, ReplyBuffer& buffer, std::function<QString()> url,
               LogFile* log = nullptr);

    // Sends the request text by PUT. A reply is loaded into the reply buffer and recorded in the
    // log file, whether or not it holds "ApiReturn"; a transport failure leaves both as they were.
    Sent put(const QString& jsondata);

    HttpClient& client() { return m_client; }

    static HttpClient::Profile profile();

private:
    HttpClient m_client;
    ReplyBuffer& m_buffer;
    std::function<QString()> m_url;
    LogFile* m_log;
    bool m_logfailuretold = false;
};
