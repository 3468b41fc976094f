#pragma once

#include <QDialog>
#include <QPoint>
#include <QString>
#include <Qt>
#include <functional>
#include <type_traits>

class QAbstractItemView;
class QLineEdit;
class QModelIndex;
class QWidget;

// What a person does at the keyboard and the mouse, delivered as the display delivers it: keys to
// the window that has the keyboard, clicks to the top-level window at the point of the screen
// aimed at. Qt routes them from there as at the counter, through the application's filters, modal
// windows, shortcuts and focus, to whatever has the focus or lies under the pointer.
namespace Person {

// Each character as a key press to the widget that has the focus at that moment.
void type(const QString& text);
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// A left click in the middle of the widget, or at that point of it; the pointer moves there first.
// What lies on top of the widget at that point gets it, as on the screen.
void click(QWidget* widget, QPoint at = {});
void doubleclick(QWidget* widget, QPoint at = {});
// A click into the box, Ctrl+A over what it holds, the text typed and Enter.
void submit(QLineEdit* box, const QString& text);
// A click or a double click on a cell of a grid.
void click(QAbstractItemView* view, const QModelIndex& index);
void doubleclick(QAbstractItemView* view, const QModelIndex& index);
// The widget that has the keyboard.
QWidget* focus();
// Runs `act` once `window` is shown and active: a modal window is acted on from inside its own
// event loop, as a person does.
void whenshown(QWidget* window, std::function<void()> act);
// Runs `act` once on the first modal window that is shown, from inside its own event loop, as soon
// as `act` takes it (answers true); a modal window of another kind is left to whoever waits for it.
void whenmodalwidget(std::function<bool(QWidget*)> act);
// The same for the first modal window of that kind shown, a dialog unless told another.
template <typename Window = QDialog> void whenmodal(std::type_identity_t<std::function<void(Window*)>> act)
{
    whenmodalwidget([act](QWidget* modal) {
        auto* window = qobject_cast<Window*>(modal);
        if (window)
            act(window);
        return window != nullptr;
    });
}

} // namespace Person
