#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The one text into which every reply is loaded and from which replies are parsed; the log
// window shows it. It holds bytes: a loaded reply keeps them exactly, except that every line
// break becomes CR LF and a UTF-8 byte-order mark at the start is dropped.
class ReplyBuffer final : public QObject
{
    Q_OBJECT
public:
    explicit ReplyBuffer(QObject* parent = nullptr);

    // Replaces the whole content with a reply.
    void load(const QByteArray& reply);
    // Adds a text (UTF-8) as the new last line.
    void appendline(const QString& line);
    // Replaces the content with a text (UTF-8), as the log window's initial "Memo1".
    void settext(const QString& text);

    const QByteArray& bytes() const { return m_bytes; }
    // The content decoded as UTF-8, for the view.
    QString text() const { return QString::fromUtf8(m_bytes); }
    // The content for a text view, at most about `limit` bytes of it: a larger content shows its
    // start and its end around a line that says how much is left out, so that a huge reply cannot
    // hold the window for seconds.
    QString viewtext(qsizetype limit) const;

    // Line ends to CR LF, leading UTF-8 byte-order mark dropped.
    static QByteArray normalised(const QByteArray& reply);

signals:
    void changed();

private:
    QByteArray m_bytes;
};
