#pragma once

#include <QByteArray>
#include <QString>

#include <curl/curl.h>
#include <string>

// The reference of every figure at the counter: one plain libcurl easy handle, as anyone would
// write it, sending the counter's own header lines and bodies. A form post goes over HTTP/1.0 on
// a fresh connection (kept alive after it, as the counter asks); a PUT goes over HTTP/1.1 on the
// connection kept, one connection at most, as the counter's. Nothing else: no callbacks but the
// one that keeps the reply, no thread, no event loop, libcurl's own cache of TLS sessions (one per
// handle).
class ReferenceClient final
{
public:
    // url: the platform's API address; cafile: the authority trusted for an https URL (none: the
    // system's).
    explicit ReferenceClient(const QString& url, const QByteArray& cafile = {});
    ~ReferenceClient();
    ReferenceClient(const ReferenceClient&) = delete;
    ReferenceClient& operator=(const ReferenceClient&) = delete;

    // The line ("json_data=" and the document) form-encoded, by POST; false when no 2xx reply came.
    bool post(const QString& line);
    // The request text as the raw body of a PUT; on a new connection when told that the platform
    // closed the one kept (libcurl 7.88 takes a TLS connection closed by the server for alive).
    bool put(const QString& text, bool fresh = false);
    // The last reply's body.
    const std::string& reply() const { return m_reply; }
    // What went wrong with the last request: libcurl's text, or the status.
    const std::string& error() const { return m_error; }

private:
    bool perform(const QByteArray& body, bool form, bool fresh);
    static size_t onbody(char* data, size_t size, size_t count, void* reply);

    CURL* m_curl;
    curl_slist* m_headers = nullptr;
    QByteArray m_url;
    QByteArray m_host;
    QByteArray m_cafile;
    QByteArray m_body;
    std::string m_reply;
    std::string m_error;
};
