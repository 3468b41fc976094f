#include "sender/KeptSending.h"

#include "api/CounterClient.h"
#include "api/ReplyBuffer.h"
#include "outbox/KeptSales.h"
#include "sender/KeptSender.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <mutex>

// What the sending thread works with. The objects are made and destroyed on that thread; the
// windows' thread only posts to `context` and stops the client.
struct KeptSending::Worker
{
    Worker(const QString& path, const Clock& clock, int interval)
        : store(path, clock), client(buffer, [this] { return url(); }), sender(store, client),
          interval(interval)
    {
        // The sender's requests leave on a connection made in a few seconds or not at all.
        client.client().setconnecttimeout(5000);
    }

    QString url() const
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return config.url;
    }

    // On the sending thread. A round asked while one runs (the client's wait handles events)
    // follows it.
    void round(QPointer<KeptSending> owner)
    {
        if (running) {
            again = true;
            return;
        }
        running = true;
        do {
            again = false;
            KeptSending::Config now;
            {
                const std::lock_guard<std::mutex> lock(mutex);
                now = config;
            }
            if (stopping.load() || now.url.isEmpty())
                break;
            client.client().setcustomheaders(now.headers);
            client.client().setproxy(now.proxy);
            sender.run(now.idpharma);
            // Every round: another counter may have sent what this one counts.
            if (owner) {
                QMetaObject::invokeMethod(
                    owner.data(),
                    [owner] {
                        if (owner)
                            emit owner->roundended();
                    },
                    Qt::QueuedConnection);
            }
        } while (again && !stopping.load());
        running = false;
    }

    KeptSales store;
    ReplyBuffer buffer;
    CounterClient client;
    KeptSender sender;
    int interval;
    QObject context;
    QTimer* timer = nullptr;
    QEventLoop* loop = nullptr;
    bool running = false;
    bool again = false;
    std::atomic<bool> stopping{false};
    mutable std::mutex mutex;
    KeptSending::Config config;
};

KeptSending::KeptSending(const QString& path, const Clock& clock, int interval, QObject* parent)
    : QObject(parent)
{
    // Built here, moved to the thread before it starts: nothing of it is used here but `context`
    // to post to, and the client's stop().
    m_worker = std::make_shared<Worker>(path, clock, interval);
    Worker* worker = m_worker.get();
    QPointer<KeptSending> owner(this);
    m_thread.reset(QThread::create([worker, owner] {
        QEventLoop loop;
        QTimer timer;
        // The leases this thread holds run while it waits for the platform.
        QTimer renew;
        renew.setInterval(KeptSales::renewSeconds() * 1000);
        QObject::connect(&renew, &QTimer::timeout, &worker->context, [worker] { worker->store.renew(); });
        renew.start();
        worker->loop = &loop;
        worker->timer = &timer;
        timer.setInterval(worker->interval);
        QObject::connect(&timer, &QTimer::timeout, &worker->context,
                         [worker, owner] { worker->round(owner); });
        if (!worker->stopping.load())
            loop.exec();
        timer.stop();
        worker->timer = nullptr;
        worker->loop = nullptr;
    }));
    m_thread->setObjectName(QStringLiteral("ventes-en-attente"));
    worker->context.moveToThread(m_thread.get());
    worker->buffer.moveToThread(m_thread.get());
    m_thread->start();
}

KeptSending::~KeptSending()
{
    stop();
}

void KeptSending::sendnow(const Config& config)
{
    if (!m_thread)
        return;
    {
        const std::lock_guard<std::mutex> lock(m_worker->mutex);
        m_worker->config = config;
    }
    Worker* worker = m_worker.get();
    QPointer<KeptSending> owner(this);
    QMetaObject::invokeMethod(
        &worker->context,
        [worker, owner] {
            if (worker->timer)
                worker->timer->start();
            worker->round(owner);
        },
        Qt::QueuedConnection);
}

void KeptSending::stop()
{
    if (!m_thread)
        return;
    Worker* worker = m_worker.get();
    worker->stopping.store(true);
    // The request running ends within a second; the round ends with it, then the thread's loop.
    worker->client.client().stop();
    QMetaObject::invokeMethod(
        &worker->context,
        [worker] {
            if (worker->loop)
                worker->loop->exit();
        },
        Qt::QueuedConnection);
    m_thread->wait();
    m_thread.reset();
    // The thread is over: what it made can go from here.
    m_worker.reset();
}
