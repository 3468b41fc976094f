#pragma once

#include "api/HttpClient.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <memory>

class Clock;

// Sends the kept sales in the background: a thread of its own, with its own client of the
// platform and its own connection to the kept sales' file, so that the counter never waits for
// it. A round runs when asked (a request of the counter succeeded, the program started) and at
// a regular interval; a round asked while one runs follows it.
class KeptSending final : public QObject
{
    Q_OBJECT
public:
    // What the sender's client needs of the settings, read on the windows' thread.
    struct Config
    {
        QString url;
        HttpHeaders headers; // the Authorization header
        HttpProxy proxy;
        QString idpharma;
    };

    // Between two rounds when nothing asks for one.
    static constexpr int kinterval = 60 * 1000;

    KeptSending(const QString& path, const Clock& clock, int interval = kinterval, QObject* parent = nullptr);
    // Stops the request running (the sale goes back to the list) and waits for the thread.
    ~KeptSending() override;

    // A round now with these settings, and every interval after it.
    void sendnow(const Config& config);
    // Ends the sending for good; the destructor does it too.
    void stop();

signals:
    // On the windows' thread, after each round that tried to send something or could not use
    // the file: the count of kept sales may have changed.
    void roundended();

private:
    struct Worker;
    std::shared_ptr<Worker> m_worker;
    std::unique_ptr<QThread> m_thread;
};
