#pragma once

#include "api/HttpClient.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QFrame;
class QLabel;
class QPushButton;
class QWidget;

// Shows the pharmacist that the program waits for the platform (set as the wait observer of the
// clients that talk to it), and lets them abandon the wait.
// Half a second after a request started without its reply, a bar over the bottom of the window in
// front says so with the seconds elapsed, beside a button "Abandonner", and the cursor turns busy.
// Escape or a click on the button abandons the request. Any other key or click during the wait is
// dropped: nothing typed then reaches a field afterwards, and the keyboard stays where it was.
class WaitIndicator final : public QObject, public HttpClient::WaitObserver
{
    Q_OBJECT
public:
    // `fallback`: the window the bar goes over when no window is active.
    explicit WaitIndicator(QWidget* fallback, QObject* parent = nullptr);
    ~WaitIndicator() override;

    void waitstarted() override;
    void waitended() override;

    // The bar while it is shown, else null.
    QFrame* bar() const;
    // The text of the bar: "Attente de la plateforme : 3 s".
    static QString text(qint64 milliseconds);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void show();
    void tick();
    void abandon();
    // Whether the pointer event is a click on the button, at the button or at its window.
    bool onbutton(QObject* watched, QEvent* event) const;

    QPointer<QWidget> m_fallback;
    QPointer<QFrame> m_bar;
    QLabel* m_label = nullptr;
    QPushButton* m_abandon = nullptr;
    QTimer m_timer;
    QElapsedTimer m_elapsed;
    bool m_waiting = false;
    bool m_cursor = false;
    bool m_abandoned = false;
};
