#pragma once

#include <rapidjson/document.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One planned misbehaviour, applied to the next `count` requests whose path begins with `path`.
struct Fault
{
    enum class Action
    {
        None,   // the normal reply, after the delay
        Stall,  // the normal reply's head and part of its body, then silence, then the connection closes
        Close,  // the connection closes without a byte of reply
        Status, // the given status line, headers and body, then the connection closes
        Body    // status 200 with the given body instead of the normal one
    };

    int count = 1;
    std::string path;
    int delayMs = 0;
    Action action = Action::None;
    bool process = false; // whether the request still reaches the platform (always for None and Stall)
    std::string statusLine = "HTTP/1.1 500 Internal Server Error";
    std::string body;
    std::string contentType;
    std::vector<std::pair<std::string, std::string>> headers;
    size_t hugeSize = 0;              // Body: a generated document of this many bytes instead of `body`
    std::optional<size_t> stallAfter; // Stall: body bytes sent before the silence (half by default)
    int stallMs = -1;                 // Stall: how long the silence lasts; -1 until released or stopped
    bool finish = false;              // Stall: send the rest of the body after the silence

    bool reachesPlatform() const { return process || action == Action::None || action == Action::Stall; }
};

// The faults waiting for requests, and the waits they impose. Thread-safe.
class FaultInjector final
{
public:
    static constexpr size_t kHugeDefault = 50u * 1024u * 1024u;

    // A fault from its JSON form (see the README); nullopt with a message when it cannot be read.
    static std::optional<Fault> parse(const rapidjson::Value& object, std::string& error);

    void add(Fault fault);
    void clear();
    // The fault for a request on `path`, counting the request against it.
    std::optional<Fault> take(std::string_view path);
    std::string pendingJson() const;

    // Sleeps `ms` unless the server stops first; false when it stopped.
    bool sleepFor(int ms);
    // The count of releases so far: taken before a stalled reply is written, so that a release
    // arriving while the part is still on its way is not missed.
    long long releases() const;
    // Waits `ms` (-1: no limit) or until a release after `seen`, or stop(); false when it stopped.
    bool waitForRelease(int ms, long long seen);
    void release();
    void stop();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Fault> m_faults;
    long long m_releases = 0;
    bool m_stopped = false;
};
