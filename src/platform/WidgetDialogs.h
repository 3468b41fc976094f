#pragma once

#include "platform/Dialogs.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

// The real message boxes: modal, captioned with the application's name, French buttons, the text
// bounded to what fits on a screen (MessageText).
class WidgetDialogs final : public Dialogs
{
public:
    // parent: the window the boxes are centred on; none: the active window.
    explicit WidgetDialogs(QWidget* parent = nullptr);

    void information(const QString& text) override;
    bool error(const QString& text) override;
    bool question(const QString& text) override;
    bool warning(const QString& text) override;
    void exception(const QString& text) override;

private:
    struct Button
    {
        QString label;
        QMessageBox::ButtonRole role;
    };

    // Shows one box; answers the index of the button pressed. The first button is the default,
    // the one at index escape answers Escape and a box closed any other way.
    int ask(QMessageBox::Icon icon, const QString& text, const QList<Button>& buttons, int escape);

    QPointer<QWidget> m_parent;
};
