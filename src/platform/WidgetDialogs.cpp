#include "WidgetDialogs.h"

#include "platform/MessageText.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>

WidgetDialogs::WidgetDialogs(QWidget* parent) : m_parent(parent) {}

int WidgetDialogs::ask(QMessageBox::Icon icon, const QString& text, const QList<Button>& buttons, int escape)
{
    // The window in front gets the keyboard back when the box closes: without it, the field a
    // check puts the focus back into is never left again, and its check never runs again.
    const QPointer<QWidget> front = QApplication::activeWindow();
    QWidget* parent = m_parent ? m_parent.data() : front.data();
    QString caption = QApplication::applicationDisplayName();
    if (caption.isEmpty())
        caption = QStringLiteral("Quilba");

    // A box never outgrows the screen: a whole web page sent back by a proxy shows its first words.
    QMessageBox box(icon, caption, MessageText::bounded(text), QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    QList<QPushButton*> pushed;
    for (const Button& button : buttons)
        pushed.append(box.addButton(button.label, button.role));
    box.setDefaultButton(pushed.first());
    box.setEscapeButton(pushed.at(escape));
    box.exec();
    if (front)
        front->activateWindow();
    const int index = pushed.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
    return index < 0 ? escape : index;
}

void WidgetDialogs::information(const QString& text)
{
    ask(QMessageBox::Information, text, {{QStringLiteral("OK"), QMessageBox::AcceptRole}}, 0);
}

bool WidgetDialogs::error(const QString& text)
{
    return ask(QMessageBox::Critical, text,
               {{QStringLiteral("OK"), QMessageBox::AcceptRole},
                {QStringLiteral("Annuler"), QMessageBox::RejectRole}},
               1) == 0;
}

bool WidgetDialogs::question(const QString& text)
{
    return ask(QMessageBox::Question, text,
               {{QStringLiteral("Oui"), QMessageBox::YesRole}, {QStringLiteral("Non"), QMessageBox::NoRole}},
               1) == 0;
}

bool WidgetDialogs::warning(const QString& text)
{
    return ask(QMessageBox::Warning, text,
               {{QStringLiteral("Oui"), QMessageBox::YesRole}, {QStringLiteral("Non"), QMessageBox::NoRole}},
               1) == 0;
}

void WidgetDialogs::exception(const QString& text)
{
    ask(QMessageBox::Critical, text, {{QStringLiteral("OK"), QMessageBox::AcceptRole}}, 0);
}
