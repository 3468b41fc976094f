#pragma once

#include "api/HttpClient.h"

#include <QString>
#include <functional>

class Dialogs;
class LogFile;
class ReplyBuffer;

// The connection holder `connexion`: its own client `api_adelya` for the requests that write
// (members, children), with a copy of the counter client's proxy and custom headers (the
// Authorization header) taken at construction, at the end of start-up. The program hands it the
// new Authorization header at every validation of the parameters window, as to the counter client.
class Connection final
{
public:
    // url: where requests go (the settings' url, read at every request). log: the open log file
    // with the switch "log", otherwise null.
    Connection(const HttpClient& counterclient, ReplyBuffer& buffer, Dialogs& dialogs,
               std::function<QString()> url, LogFile* log = nullptr);

    // Sends the request text by PUT and loads the reply into the reply buffer (and the log file).
    // Returns the reply's "ApiReturn" value as compact JSON text; on a transport failure shows
    // "Erreur technique : " and the failure's text and returns "-1". Raises QuilbaError
    // ("Erreur Format Réponse API") when the reply holds no "ApiReturn".
    QString put(const QString& jsondata);

    HttpClient& client() { return m_client; }

    static HttpClient::Profile profile();

private:
    HttpClient m_client;
    ReplyBuffer& m_buffer;
    Dialogs& m_dialogs;
    std::function<QString()> m_url;
    LogFile* m_log;
    bool m_logfailureshown = false;
};
