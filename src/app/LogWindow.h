#pragma once

#include <QWidget>

class QPlainTextEdit;
class ReplyBuffer;

// The log window: a view of the reply buffer, shown at start with the switch "debug".
class LogWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit LogWindow(ReplyBuffer& buffer, QWidget* parent = nullptr);

    QPlainTextEdit* memo() const { return m_memo; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();

    ReplyBuffer& m_buffer;
    QPlainTextEdit* m_memo;
};
