#include "Person.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

// The window the display gives the keys to: the one that has the keyboard. A window manager hands
// the keyboard to a modal window as it shows; to the window a gone one belonged to, or to the one
// window shown, when the window that had it goes.
QWindow* keywindow()
{
    // An open list or menu has it while it shows.
    if (QWidget* popup = QApplication::activePopupWidget(); popup && popup->windowHandle())
        return popup->windowHandle();
    QWindow* focus = QGuiApplication::focusWindow();
    QWidget* front = QApplication::activeModalWidget();
    if (front && front->isVisible() && front->windowHandle() && focus == front->windowHandle())
        return focus;
    if (!front && focus && focus->isVisible())
        return focus;
    if (!front && focus && focus->transientParent()) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->windowHandle() == focus->transientParent())
                front = window;
        }
    }
    if (!front || !front->isVisible())
        front = QApplication::activeWindow();
    if (!front || !front->isVisible()) {
        QList<QWidget*> shown;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() &&
                !(window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip))
                shown.append(window);
        }
        front = shown.size() == 1 ? shown.constFirst() : nullptr;
    }
    if (!front || !front->windowHandle())
        return nullptr;
    front->activateWindow();
    // Events reach the window whether or not the platform made it active in time.
    (void)QTest::qWaitForWindowActive(front, 1000);
    return front->windowHandle();
}

// One key pressed and released, with its text, on the window that has the keyboard.
void key(Qt::Key code, const QString& text, Qt::KeyboardModifiers modifiers)
{
    QWindow* window = keywindow();
    if (!window) {
        QTest::qFail("aucune fenêtre n'a le clavier", __FILE__, __LINE__);
        return;
    }
    QTest::sendKeyEvent(QTest::Click, window, code, text, modifiers);
    QCoreApplication::processEvents();
}

// Where a point of the widget lies in its top-level window, which the pointer is then moved to;
// null when the widget is not on the screen for a person to reach.
QWindow* pointat(QWidget* widget, QPoint& at)
{
    if (!widget || !widget->isVisible()) {
        QTest::qFail("le contrôle visé n'est pas à l'écran", __FILE__, __LINE__);
        return nullptr;
    }
    QWindow* window = widget->window()->windowHandle();
    if (!window) {
        QTest::qFail("le contrôle visé n'a pas de fenêtre", __FILE__, __LINE__);
        return nullptr;
    }
    if (at.isNull())
        at = widget->rect().center();
    at = window->mapFromGlobal(widget->mapToGlobal(at));
    QTest::mouseMove(window, at);
    return window;
}

} // namespace

QWidget* Person::focus()
{
    return QApplication::focusWidget();
}

void Person::type(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            const char ascii = static_cast<char>(c.unicode());
            key(QTest::asciiToKey(ascii), QString(c), Qt::NoModifier);
        } else {
            // Letters beyond ASCII, as a French keyboard gives them.
            const auto code =
                c.toUpper().unicode() <= 0xff ? Qt::Key(c.toUpper().unicode()) : Qt::Key_unknown;
            key(code, QString(c), Qt::NoModifier);
        }
    }
}

void Person::press(Qt::Key code, Qt::KeyboardModifiers modifiers)
{
    QString text;
    if (const char ascii = QTest::keyToAscii(code))
        text = QString(QChar::fromLatin1(ascii));
    // A letter with Shift is a capital, as the keyboard gives it.
    if (modifiers & Qt::ShiftModifier)
        text = text.toUpper();
    key(code, text, modifiers);
}

void Person::click(QWidget* widget, QPoint at)
{
    if (QWindow* window = pointat(widget, at))
        QTest::mouseClick(window, Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
}

void Person::submit(QLineEdit* box, const QString& text)
{
    click(box);
    press(Qt::Key_A, Qt::ControlModifier);
    type(text);
    press(Qt::Key_Return);
}

void Person::click(QAbstractItemView* view, const QModelIndex& index)
{
    click(view->viewport(), view->visualRect(index).center());
}

void Person::doubleclick(QWidget* widget, QPoint at)
{
    // Two presses and releases in quick succession, which the system reports as a double click.
    if (QWindow* window = pointat(widget, at))
        QTest::mouseDClick(window, Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
}

void Person::doubleclick(QAbstractItemView* view, const QModelIndex& index)
{
    doubleclick(view->viewport(), view->visualRect(index).center());
}

void Person::whenshown(QWidget* window, std::function<void()> act)
{
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, guard = QPointer<QWidget>(window), act] {
        if (!guard) {
            poll->deleteLater();
            return;
        }
        if (!guard->isVisible())
            return;
        guard->activateWindow();
        if (!guard->isActiveWindow() && QApplication::activeModalWidget() != guard)
            return;
        poll->stop();
        poll->deleteLater();
        act();
    });
    poll->start();
}

void Person::whenmodalwidget(std::function<bool(QWidget*)> act)
{
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        // A person acts on it once it has the keyboard.
        if (!modal->isActiveWindow()) {
            modal->activateWindow();
            return;
        }
        // Stopped first: `act` may open the next modal window and wait in its loop.
        poll->stop();
        if (act(modal))
            poll->deleteLater();
        else
            poll->start();
    });
    poll->start();
}
