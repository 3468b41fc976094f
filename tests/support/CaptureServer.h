#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

// A loopback HTTP server for wire tests. It records the exact bytes of every request it receives
// (one request = the head up to the blank line, plus Content-Length bytes of body) and answers each
// with the next scripted reply, or "200 OK" with "{}" when the script is empty. It lives in the
// test's thread: a client waiting for its reply runs the event loop that serves it.
class CaptureServer final : public QObject
{
    Q_OBJECT
public:
    struct Reply
    {
        enum class Kind
        {
            Raw,     // write bytes (then close when asked)
            Closed,  // close the connection without a byte
            Stalled, // write bytes, then nothing more, connection left open
            Held,    // write bytes when release() is called
        };
        Kind kind = Kind::Raw;
        QByteArray bytes;
        bool close = false;
    };

    // Bytes as given (a whole reply), optionally closing the connection after them.
    static Reply raw(QByteArray bytes, bool close = false);
    // A status line with headers, Content-Length and the body.
    static Reply status(const QByteArray& statusline, const QByteArray& body, const QByteArray& headers = {});
    static Reply ok(const QByteArray& body, const QByteArray& headers = {})
    {
        return status("HTTP/1.1 200 OK", body, headers);
    }
    // "200 OK" with a chunked body.
    static Reply chunked(const QList<QByteArray>& chunks);
    // "200 OK" without length: the body ends when the connection closes.
    static Reply closedelimited(const QByteArray& body);
    static Reply closed();
    // The head of a reply announcing more body than is ever sent.
    static Reply stalled(const QByteArray& head);
    static Reply held(const Reply& reply);
    // "200 OK" with the platform's reply envelope holding these members.
    static Reply envelope(const QByteArray& members) { return ok("{\"ApiReturn\":{" + members + "}}"); }
    // The body of a recorded request: what follows its head.
    static QByteArray bodyof(const QByteArray& request);

    explicit CaptureServer(QObject* parent = nullptr);
    ~CaptureServer() override;

    quint16 port() const { return m_server.serverPort(); }
    QString url(const QString& pathandquery = QStringLiteral("/api")) const;

    void enqueue(const Reply& reply) { m_script.append(reply); }
    // Answers the request whose reply is held.
    void release();

    const QList<QByteArray>& requests() const { return m_requests; }
    // The connection (numbered from 0 in order of acceptance) each request came on.
    const QList<int>& connectionof() const { return m_connectionof; }
    int connections() const { return m_connections; }

signals:
    void requestreceived();

private:
    struct Peer
    {
        int id = 0;
        QByteArray pending;
    };

    void accept();
    void read(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Reply& reply);

    QTcpServer m_server;
    QHash<QTcpSocket*, Peer> m_peers;
    QList<Reply> m_script;
    QList<QByteArray> m_requests;
    QList<int> m_connectionof;
    int m_connections = 0;
    QPointer<QTcpSocket> m_heldsocket;
    Reply m_heldreply;
};
