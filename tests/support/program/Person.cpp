#include "Person.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace {

QWidget* target()
{
    if (QWidget* widget = QApplication::focusWidget())
        return widget;
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

} // namespace

QWidget* Person::focus()
{
    return QApplication::focusWidget();
}

void Person::type(const QString& text)
{
    for (const QChar c : text) {
        QWidget* widget = target();
        if (!widget)
            return;
        if (c.unicode() < 0x80) {
            QTest::keyClicks(widget, QString(c));
        } else {
            // Letters beyond ASCII, as a French keyboard gives them.
            const auto key = c.toUpper().unicode() <= 0xff ? Qt::Key(c.toUpper().unicode()) : Qt::Key_unknown;
            QTest::sendKeyEvent(QTest::Press, widget, key, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, widget, key, QString(c), Qt::NoModifier);
        }
        QCoreApplication::processEvents();
    }
}

void Person::press(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    if (QWidget* widget = target())
        QTest::keyClick(widget, key, modifiers);
    QCoreApplication::processEvents();
}

void Person::click(QWidget* widget)
{
    QTest::mouseClick(widget, Qt::LeftButton);
    QCoreApplication::processEvents();
}

void Person::submit(QLineEdit* box, const QString& text)
{
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
    QCoreApplication::processEvents();
}

void Person::click(QAbstractItemView* view, const QModelIndex& index)
{
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    QCoreApplication::processEvents();
}

void Person::doubleclick(QAbstractItemView* view, const QModelIndex& index)
{
    const QPoint at = view->visualRect(index).center();
    // Press and release, then the second press that the system reports as a double click.
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
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
        // Stopped first: `act` may open the next modal window and wait in its loop.
        poll->stop();
        if (act(modal))
            poll->deleteLater();
        else
            poll->start();
    });
    poll->start();
}
