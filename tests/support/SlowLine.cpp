#include "SlowLine.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Bytes read from one side, to be written to the other once due; an empty chunk marked `eof`
// passes the end of the stream on.
struct Chunk
{
    Clock::time_point due;
    std::string bytes;
    size_t written = 0;
    bool eof = false;
};

// One direction of a connection: what was read from `from` and waits to be written to `to`.
struct Direction
{
    int from = -1;
    int to = -1;
    std::deque<Chunk> queue;
    bool ended = false;    // `from` said end of stream
    bool finished = false; // the end was passed on to `to`
    bool blocked = false;  // `to` took part of a due chunk only
};

struct Link
{
    Clock::time_point opened;
    Direction up;   // client to server
    Direction down; // server to client
    bool broken = false;
};

void nodelay(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void nonblocking(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// Closes a socket with a reset rather than an orderly end, as a broken connection does.
void reset(int fd)
{
    const linger abort{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::close(fd);
}

} // namespace

struct SlowLine::Private
{
    quint16 target = 0;
    std::chrono::microseconds oneway{};
    int listener = -1;
    int wake = -1;
    quint16 port = 0;
    std::thread thread;
    std::list<Link> links;
    std::atomic<int> accepted{0};

    std::mutex mutex;
    std::condition_variable done;
    bool stop = false;
    long long cutsasked = 0;
    long long cutsdone = 0;

    void loop();
    void accept();
    // Reads what `direction.from` has; false when the connection broke.
    bool read(Link& link, Direction& direction, Clock::time_point now);
    // Writes what is due; false when the connection broke.
    bool deliver(Direction& direction, Clock::time_point now);
    void close(Link& link, bool broken);
};

SlowLine::SlowLine(quint16 target, std::chrono::microseconds oneway) : d(std::make_unique<Private>())
{
    d->target = target;
    d->oneway = oneway;
    d->listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    d->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (d->listener < 0 || d->wake < 0 ||
        ::bind(d->listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(d->listener, 64) != 0 ||
        ::getsockname(d->listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    d->port = ntohs(address.sin_port);
    d->thread = std::thread([this] { d->loop(); });
}

SlowLine::~SlowLine()
{
    if (d->thread.joinable()) {
        {
            const std::lock_guard lock(d->mutex);
            d->stop = true;
        }
        const quint64 one = 1;
        [[maybe_unused]] const auto ignored = ::write(d->wake, &one, sizeof one);
        d->thread.join();
    }
    for (Link& link : d->links)
        d->close(link, false);
    if (d->listener >= 0)
        ::close(d->listener);
    if (d->wake >= 0)
        ::close(d->wake);
}

bool SlowLine::started() const
{
    return d->thread.joinable();
}

quint16 SlowLine::port() const
{
    return d->port;
}

std::chrono::microseconds SlowLine::oneway() const
{
    return d->oneway;
}

int SlowLine::connections() const
{
    return d->accepted.load();
}

void SlowLine::cut()
{
    if (!started())
        return;
    std::unique_lock lock(d->mutex);
    const long long asked = ++d->cutsasked;
    const quint64 one = 1;
    [[maybe_unused]] const auto ignored = ::write(d->wake, &one, sizeof one);
    d->done.wait(lock, [&] { return d->cutsdone >= asked; });
}

void SlowLine::Private::accept()
{
    for (;;) {
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0)
            return;
        ++accepted;
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address = loopback(target);
        if (server < 0 ||
            ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            if (server >= 0)
                ::close(server);
            reset(client);
            continue;
        }
        nonblocking(server);
        nodelay(client);
        nodelay(server);
        Link& link = links.emplace_back();
        link.opened = Clock::now();
        link.up.from = client;
        link.up.to = server;
        link.down.from = server;
        link.down.to = client;
    }
}

bool SlowLine::Private::read(Link& link, Direction& direction, Clock::time_point now)
{
    // The client's first bytes leave once TCP's handshake would have let them: one round trip
    // after it connected.
    const Clock::time_point sent = &direction == &link.up ? std::max(now, link.opened + 2 * oneway) : now;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::recv(direction.from, buffer, sizeof buffer, 0);
        if (n > 0) {
            direction.queue.push_back({sent + oneway, std::string(buffer, size_t(n)), 0, false});
            continue;
        }
        if (n == 0) {
            direction.ended = true;
            direction.queue.push_back({sent + oneway, {}, 0, true});
            return true;
        }
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

bool SlowLine::Private::deliver(Direction& direction, Clock::time_point now)
{
    direction.blocked = false;
    while (!direction.queue.empty() && direction.queue.front().due <= now) {
        Chunk& chunk = direction.queue.front();
        if (chunk.eof) {
            ::shutdown(direction.to, SHUT_WR);
            direction.finished = true;
            direction.queue.pop_front();
            continue;
        }
        const ssize_t n = ::send(direction.to, chunk.bytes.data() + chunk.written,
                                 chunk.bytes.size() - chunk.written, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                direction.blocked = true;
                return true;
            }
            return false;
        }
        chunk.written += size_t(n);
        if (chunk.written < chunk.bytes.size()) {
            direction.blocked = true;
            return true;
        }
        direction.queue.pop_front();
    }
    return true;
}

void SlowLine::Private::close(Link& link, bool broken)
{
    if (link.up.from < 0)
        return;
    if (broken) {
        reset(link.up.from);
        reset(link.down.from);
    } else {
        ::close(link.up.from);
        ::close(link.down.from);
    }
    link.up.from = link.down.from = -1;
}

void SlowLine::Private::loop()
{
    for (;;) {
        // Two entries per link: its client's socket, then its server's. A socket is read while
        // its side has not ended, and watched for room while a chunk due to it waits.
        std::vector<pollfd> polled{{wake, POLLIN, 0}, {listener, POLLIN, 0}};
        Clock::time_point next = Clock::time_point::max();
        for (Link& link : links) {
            const short client = short((link.up.ended ? 0 : POLLIN) | (link.down.blocked ? POLLOUT : 0));
            const short server = short((link.down.ended ? 0 : POLLIN) | (link.up.blocked ? POLLOUT : 0));
            polled.push_back({client ? link.up.from : -1, client, 0});
            polled.push_back({server ? link.down.from : -1, server, 0});
            for (const Direction* direction : {&link.up, &link.down}) {
                if (!direction->blocked && !direction->queue.empty())
                    next = std::min(next, direction->queue.front().due);
            }
        }
        timespec wait{};
        timespec* timeout = nullptr;
        if (next != Clock::time_point::max()) {
            const auto left = std::max(Clock::duration::zero(), next - Clock::now());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            wait.tv_sec = time_t(ns / 1'000'000'000);
            wait.tv_nsec = long(ns % 1'000'000'000);
            timeout = &wait;
        }
        ::ppoll(polled.data(), polled.size(), timeout, nullptr);

        if (polled[0].revents & POLLIN) {
            quint64 count = 0;
            [[maybe_unused]] const auto ignored = ::read(wake, &count, sizeof count);
            std::unique_lock lock(mutex);
            if (stop)
                return;
            if (cutsdone < cutsasked) {
                for (Link& link : links)
                    close(link, false);
                links.clear();
                cutsdone = cutsasked;
                done.notify_all();
                continue;
            }
        }
        const Clock::time_point now = Clock::now();
        size_t i = 2;
        for (Link& link : links) {
            const bool upready = polled[i].revents != 0;
            const bool downready = polled[i + 1].revents != 0;
            i += 2;
            if (upready && !link.up.ended && !read(link, link.up, now))
                link.broken = true;
            if (downready && !link.down.ended && !read(link, link.down, now))
                link.broken = true;
        }
        if (polled[1].revents & POLLIN)
            accept();
        const Clock::time_point later = Clock::now();
        for (auto it = links.begin(); it != links.end();) {
            Link& link = *it;
            if (!link.broken && (!deliver(link.up, later) || !deliver(link.down, later)))
                link.broken = true;
            const bool over = link.up.finished && link.down.finished;
            if (link.broken || over) {
                close(link, link.broken);
                it = links.erase(it);
            } else {
                ++it;
            }
        }
    }
}
