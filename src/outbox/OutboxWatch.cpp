#include "outbox/OutboxWatch.h"

#include "outbox/KeptSales.h"

#include <QFileInfo>

OutboxWatch::OutboxWatch(KeptSales& store, QObject* parent) : QObject(parent), m_store(store)
{
    const QFileInfo file(m_store.path());
    m_modified = file.lastModified();
    m_size = file.exists() ? file.size() : -1;
    m_poll.setInterval(kpollms);
    connect(&m_poll, &QTimer::timeout, this, &OutboxWatch::look);
    m_poll.start();
    m_renew.setInterval(KeptSales::renewSeconds() * 1000);
    connect(&m_renew, &QTimer::timeout, this, [this] { m_store.renew(); });
    m_renew.start();
}

void OutboxWatch::look()
{
    // The file's time and size only: nothing is read from it, no lock is taken, until it changed.
    QFileInfo file(m_store.path());
    file.setCaching(false);
    const QDateTime modified = file.lastModified();
    const qint64 size = file.exists() ? file.size() : -1;
    if (modified == m_modified && size == m_size)
        return;
    m_modified = modified;
    m_size = size;
    emit changed();
}
