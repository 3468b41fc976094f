#include "api/ReplyBuffer.h"

using namespace Qt::Literals::StringLiterals;

ReplyBuffer::ReplyBuffer(QObject* parent) : QObject(parent) {}

QByteArray ReplyBuffer::normalised(const QByteArray& reply)
{
    qsizetype start = reply.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    QByteArray out;
    out.reserve(reply.size() - start + reply.size() / 32 + 16);
    const char* data = reply.constData();
    const qsizetype size = reply.size();
    for (qsizetype i = start; i < size; ++i) {
        const char c = data[i];
        if (c == '\r') {
            out.append("\r\n", 2);
            if (i + 1 < size && data[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out.append("\r\n", 2);
        } else {
            out.append(c);
        }
    }
    return out;
}

void ReplyBuffer::load(const QByteArray& reply)
{
    m_bytes = normalised(reply);
    emit changed();
}

void ReplyBuffer::appendline(const QString& line)
{
    if (!m_bytes.isEmpty() && !m_bytes.endsWith("\r\n"))
        m_bytes.append("\r\n", 2);
    m_bytes.append(normalised(line.toUtf8()));
    emit changed();
}

void ReplyBuffer::settext(const QString& text)
{
    m_bytes = normalised(text.toUtf8());
    emit changed();
}

QString ReplyBuffer::viewtext(qsizetype limit) const
{
    if (m_bytes.size() <= limit)
        return text();
    const qsizetype tail = limit / 4;
    const qsizetype head = limit - tail;
    const qsizetype left = m_bytes.size() - head - tail;
    return QString::fromUtf8(m_bytes.first(head)) + u"\r\n[… %1 octets non affichés …]\r\n"_s.arg(left) +
           QString::fromUtf8(m_bytes.last(tail));
}
