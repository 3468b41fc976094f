#include "api/ReplyBuffer.h"

#include <algorithm>
#include <cstring>

using namespace Qt::Literals::StringLiterals;

ReplyBuffer::ReplyBuffer(QObject* parent) : QObject(parent) {}

QByteArray ReplyBuffer::normalised(const QByteArray& reply)
{
    const qsizetype start = reply.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const char* const data = reply.constData();
    const char* const end = data + reply.size();
    // The first line break, if any: a compact JSON reply has none and is shared as it is, without
    // a copy (every reply is read here twice, for the buffer and by its reader).
    const char* next = data + start;
    const auto* lf = static_cast<const char*>(std::memchr(next, '\n', size_t(end - next)));
    const auto* cr = static_cast<const char*>(std::memchr(next, '\r', size_t((lf ? lf : end) - next)));
    const char* breakat = cr ? cr : lf;
    if (!breakat)
        return start == 0 ? reply : reply.sliced(start);

    QByteArray out;
    out.reserve(reply.size() - start + reply.size() / 32 + 16);
    while (breakat) {
        out.append(next, breakat - next);
        out.append("\r\n", 2);
        next = breakat + 1;
        if (*breakat == '\r' && next < end && *next == '\n')
            ++next;
        breakat = std::find_if(next, end, [](char c) { return c == '\r' || c == '\n'; });
        if (breakat == end)
            breakat = nullptr;
    }
    out.append(next, end - next);
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
