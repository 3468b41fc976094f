#pragma once

#include "api/HttpClient.h"

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
    // What one put came to.
    struct Outcome
    {
        enum class Kind
        {
            Replied,          // the reply holds "ApiReturn": `envelope` is its value
            TransportFailure, // no reply: `reply.failure` says why, `reply.sent` whether it left
            Unreadable,       // a reply without "ApiReturn"
        };
        Kind kind = Kind::TransportFailure;
        HttpReply reply;
        // The value of "ApiReturn" as compact JSON text (members in reply order, no blanks,
        // characters as the reply carried them), when the kind is Replied.
        QString envelope;
        // The French texts for the user, in order, each for an information box: that the log file
        // could not take the record (told once a run), then "Erreur technique : " and the
        // failure's text, or "Erreur Format Réponse API".
        QStringList messages;

        bool replied() const { return kind == Kind::Replied; }
    };

    // url: where requests go (the settings' url, read at every request). log: the open log file
    // with the switch "log", otherwise null.
    Connection(const HttpClient& counterclient, ReplyBuffer& buffer, std::function<QString()> url,
               LogFile* log = nullptr);

    // Sends the request text by PUT. A reply is loaded into the reply buffer and recorded in the
    // log file, whether or not it holds "ApiReturn"; a transport failure leaves both as they were.
    Outcome put(const QString& jsondata);

    HttpClient& client() { return m_client; }

    static HttpClient::Profile profile();

private:
    HttpClient m_client;
    ReplyBuffer& m_buffer;
    std::function<QString()> m_url;
    LogFile* m_log;
    bool m_logfailuretold = false;
};
