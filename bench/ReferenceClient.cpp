#include "ReferenceClient.h"

#include "LocalPlatform.h"

#include "api/CounterClient.h"
#include "api/HttpClient.h"

#include <QByteArrayList>
#include <QUrl>

ReferenceClient::ReferenceClient(const QString& url, const QByteArray& cafile)
    : m_curl(curl_easy_init()), m_url(url.toUtf8()), m_host("Host: " + QUrl(url).authority().toUtf8()),
      m_cafile(cafile)
{
    curl_easy_setopt(m_curl, CURLOPT_URL, m_url.constData());
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_MAXCONNECTS, 1L);
    curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &ReferenceClient::onbody);
    curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, &m_reply);
    if (!m_cafile.isEmpty())
        curl_easy_setopt(m_curl, CURLOPT_CAINFO, m_cafile.constData());
    // The counter's header lines, in its order; libcurl writes Content-Length after them.
    const HttpClient::Profile profile = CounterClient::profile();
    const QByteArrayList lines{QByteArray("Connection: keep-alive"),
                               QByteArray("Content-Type: application/x-www-form-urlencoded"),
                               QByteArray("Authorization: " + LocalPlatform::demoauthorization()),
                               QByteArray("Host:"),
                               m_host,
                               QByteArray("Accept: " + profile.accept),
                               QByteArray("Accept-Charset: " + profile.acceptcharset),
                               QByteArray("Accept-Encoding: identity"),
                               QByteArray("User-Agent: " + profile.useragent),
                               QByteArray("Expect:")};
    for (const QByteArray& line : lines)
        m_headers = curl_slist_append(m_headers, line.constData());
    curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, m_headers);
}

ReferenceClient::~ReferenceClient()
{
    curl_easy_cleanup(m_curl);
    curl_slist_free_all(m_headers);
}

size_t ReferenceClient::onbody(char* data, size_t size, size_t count, void* reply)
{
    static_cast<std::string*>(reply)->append(data, size * count);
    return size * count;
}

bool ReferenceClient::post(const QString& line)
{
    return perform(HttpClient::formencode(line), true, true);
}

bool ReferenceClient::put(const QString& text, bool fresh)
{
    return perform(text.toUtf8(), false, fresh);
}

bool ReferenceClient::perform(const QByteArray& body, bool form, bool fresh)
{
    m_body = body;
    curl_easy_setopt(m_curl, CURLOPT_HTTP_VERSION,
                     long(form ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(m_curl, CURLOPT_CUSTOMREQUEST, form ? nullptr : "PUT");
    curl_easy_setopt(m_curl, CURLOPT_POSTFIELDS, m_body.constData());
    curl_easy_setopt(m_curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(m_body.size()));
    curl_easy_setopt(m_curl, CURLOPT_FRESH_CONNECT, long(fresh));
    m_reply.clear();
    const CURLcode code = curl_easy_perform(m_curl);
    long status = 0;
    curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &status);
    const bool ok = code == CURLE_OK && status >= 200 && status <= 299;
    m_error = ok                 ? std::string()
              : code != CURLE_OK ? curl_easy_strerror(code)
                                 : "statut " + std::to_string(status);
    return ok;
}
