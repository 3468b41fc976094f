#include "CaptureServer.h"

#include <QHostAddress>

CaptureServer::Reply CaptureServer::raw(QByteArray bytes, bool close)
{
    return {Reply::Kind::Raw, std::move(bytes), close};
}

CaptureServer::Reply CaptureServer::status(const QByteArray& statusline, const QByteArray& body,
                                           const QByteArray& headers)
{
    return raw(statusline + "\r\n" + headers + "Content-Length: " + QByteArray::number(body.size()) +
               "\r\n\r\n" + body);
}

CaptureServer::Reply CaptureServer::chunked(const QList<QByteArray>& chunks)
{
    QByteArray bytes = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (const QByteArray& chunk : chunks)
        bytes += QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
    bytes += "0\r\n\r\n";
    return raw(bytes);
}

CaptureServer::Reply CaptureServer::closedelimited(const QByteArray& body)
{
    return raw("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body, true);
}

CaptureServer::Reply CaptureServer::closed()
{
    return {Reply::Kind::Closed, {}, true};
}

CaptureServer::Reply CaptureServer::stalled(const QByteArray& head)
{
    return {Reply::Kind::Stalled, head, false};
}

CaptureServer::Reply CaptureServer::held(const Reply& reply)
{
    return {Reply::Kind::Held, reply.bytes, reply.close};
}

QByteArray CaptureServer::bodyof(const QByteArray& request)
{
    const qsizetype end = request.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : request.mid(end + 4);
}

CaptureServer::CaptureServer(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &CaptureServer::accept);
    m_server.listen(QHostAddress::LocalHost, 0);
}

CaptureServer::~CaptureServer()
{
    const auto sockets = m_peers.keys();
    for (QTcpSocket* socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        delete socket;
    }
}

QString CaptureServer::url(const QString& pathandquery) const
{
    return QStringLiteral("http://127.0.0.1:") + QString::number(port()) + pathandquery;
}

void CaptureServer::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(nullptr);
        m_peers.insert(socket, Peer{m_connections++, {}});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_peers.remove(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            read(socket);
    }
}

void CaptureServer::read(QTcpSocket* socket)
{
    auto peer = m_peers.find(socket);
    if (peer == m_peers.end())
        return;
    peer->pending += socket->readAll();
    for (;;) {
        const qsizetype headend = peer->pending.indexOf("\r\n\r\n");
        if (headend < 0)
            return;
        qint64 length = 0;
        const QList<QByteArray> lines = peer->pending.left(headend).split('\n');
        for (const QByteArray& line : lines) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().toLower() == "content-length")
                length = line.mid(colon + 1).trimmed().toLongLong();
        }
        const qsizetype total = headend + 4 + length;
        if (peer->pending.size() < total)
            return;
        m_requests.append(peer->pending.left(total));
        m_connectionof.append(peer->id);
        peer->pending.remove(0, total);
        emit requestreceived();
        answer(socket, m_script.isEmpty() ? ok("{}") : m_script.takeFirst());
        peer = m_peers.find(socket);
        if (peer == m_peers.end())
            return;
    }
}

void CaptureServer::answer(QTcpSocket* socket, const Reply& reply)
{
    switch (reply.kind) {
    case Reply::Kind::Held:
        m_heldsocket = socket;
        m_heldreply = {Reply::Kind::Raw, reply.bytes, reply.close};
        return;
    case Reply::Kind::Closed:
        socket->disconnectFromHost();
        return;
    case Reply::Kind::Stalled:
    case Reply::Kind::Raw:
        socket->write(reply.bytes);
        if (reply.close)
            socket->disconnectFromHost();
        return;
    }
}

void CaptureServer::release()
{
    if (m_heldsocket)
        answer(m_heldsocket, m_heldreply);
    m_heldsocket.clear();
}
