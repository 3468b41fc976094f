#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>

class KeptSales;

// Keeps an eye on the outbox file for one of its users: says when another counter (or the
// background sender) changed it, so that the counts shown follow within seconds, and renews the
// leases this user holds while it waits for the platform.
class OutboxWatch final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kpollms = 2000;

    explicit OutboxWatch(KeptSales& store, QObject* parent = nullptr);

signals:
    // The file changed since the last look.
    void changed();

private:
    void look();

    KeptSales& m_store;
    QTimer m_poll;
    QTimer m_renew;
    QDateTime m_modified;
    qint64 m_size = -1;
};
