#include "app/WaitIndicator.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

// Events by which the user acts; during a wait they are dropped, except on the bar.
bool isinput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}

} // namespace

WaitIndicator::WaitIndicator(QWidget* fallback, QObject* parent) : QObject(parent), m_fallback(fallback)
{
    m_timer.setInterval(500);
    connect(&m_timer, &QTimer::timeout, this, &WaitIndicator::tick);
}

WaitIndicator::~WaitIndicator()
{
    if (m_waiting)
        waitended();
}

QString WaitIndicator::text(qint64 milliseconds)
{
    return u"Attente de la plateforme : %1 s"_s.arg(milliseconds / 1000);
}

QFrame* WaitIndicator::bar() const
{
    return m_bar && m_bar->isVisible() ? m_bar.data() : nullptr;
}

void WaitIndicator::waitstarted()
{
    m_waiting = true;
    m_abandoned = false;
    m_elapsed.start();
    m_timer.start();
    qApp->installEventFilter(this);
}

void WaitIndicator::waitended()
{
    m_waiting = false;
    m_timer.stop();
    qApp->removeEventFilter(this);
    if (m_bar) {
        m_bar->hide();
        m_bar->deleteLater();
    }
    if (m_cursor) {
        QApplication::restoreOverrideCursor();
        m_cursor = false;
    }
}

void WaitIndicator::tick()
{
    if (!m_bar)
        show();
    if (m_label)
        m_label->setText(m_abandoned ? u"Abandon en cours…"_s : text(m_elapsed.elapsed()));
}

void WaitIndicator::show()
{
    QWidget* window = QApplication::activeWindow();
    if (!window)
        window = m_fallback;
    if (!window)
        return;
    auto* bar = new QFrame(window);
    bar->setObjectName(u"attenteplateforme"_s);
    bar->setFrameShape(QFrame::StyledPanel);
    bar->setAutoFillBackground(true);
    bar->setStyleSheet(
        u"QFrame#attenteplateforme { background: rgb(255,244,200); border: 1px solid rgb(200,160,0); }"_s);
    m_label = new QLabel(bar);
    m_label->setObjectName(u"attentetexte"_s);
    m_abandon = new QPushButton(u"Abandonner"_s, bar);
    m_abandon->setObjectName(u"abandonner"_s);
    m_abandon->setAccessibleName(u"Abandonner l'attente de la plateforme"_s);
    m_abandon->setToolTip(u"Abandonner l'attente (Échap)"_s);
    // A click on it leaves the keyboard where the pharmacist was; from the keyboard, Escape.
    m_abandon->setFocusPolicy(Qt::NoFocus);
    connect(m_abandon, &QPushButton::clicked, this, &WaitIndicator::abandon);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(8, 2, 4, 2);
    layout->addWidget(m_label, 1);
    layout->addWidget(m_abandon);
    const int height = 30;
    bar->setGeometry(0, window->height() - height, window->width(), height);
    bar->show();
    bar->raise();
    m_bar = bar;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_cursor = true;
}

void WaitIndicator::abandon()
{
    m_abandoned = true;
    HttpClient::abandonwait();
    tick();
}

bool WaitIndicator::onbutton(QObject* watched, QEvent* event) const
{
    if (!m_abandon || !m_abandon->isVisible() || !event->isPointerEvent())
        return false;
    if (watched == m_abandon)
        return true;
    // The display gives a click to the top-level window, which hands it on to the widget under the
    // pointer: the window lets a click aimed at the button through, and the release that ends a
    // press on it wherever the pointer is then.
    QWidget* window = m_abandon->window();
    if (watched != window->windowHandle())
        return false;
    if (m_abandon->isDown())
        return true;
    const auto* pointer = static_cast<const QPointerEvent*>(event);
    if (pointer->points().isEmpty())
        return false;
    for (const QEventPoint& point : pointer->points()) {
        if (!m_abandon->rect().contains(m_abandon->mapFrom(window, point.position().toPoint())))
            return false;
    }
    return true;
}

bool WaitIndicator::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_waiting || !isinput(event->type()))
        return QObject::eventFilter(watched, event);
    const bool escape = (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
                        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
    if (escape && event->type() == QEvent::ShortcutOverride) {
        // Escape stays a key press, whatever shortcut it could also be.
        event->accept();
        return true;
    }
    if (escape) {
        abandon();
        return true;
    }
    // The button abandons with a click; everything else waits for nothing and is dropped.
    if (onbutton(watched, event))
        return QObject::eventFilter(watched, event);
    return true;
}
