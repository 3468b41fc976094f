#include "app/LogWindow.h"

#include "api/ReplyBuffer.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

LogWindow::LogWindow(ReplyBuffer& buffer, QWidget* parent)
    : QWidget(parent, Qt::Window), m_buffer(buffer), m_memo(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("formlog"));
    setWindowTitle(QStringLiteral("formlog"));
    resize(437, 236);
    move(0, 0);

    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setAccessibleName(QStringLiteral("Requêtes et réponses de la plateforme"));
    m_memo->setReadOnly(true);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_memo);

    // The view follows the buffer only while it is shown: a hidden window costs nothing.
    connect(&m_buffer, &ReplyBuffer::changed, this, [this] {
        if (isVisible())
            refresh();
    });
}

void LogWindow::showEvent(QShowEvent* event)
{
    refresh();
    QWidget::showEvent(event);
}

void LogWindow::refresh()
{
    // 1 MiB lays out in a fraction of a second; the 64 MiB a reply may reach would take minutes.
    m_memo->setPlainText(m_buffer.viewtext(qsizetype(1) << 20));
    m_memo->moveCursor(QTextCursor::End);
}
