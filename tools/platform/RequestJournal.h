#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct JournalEntry
{
    long long seq = 0;
    long long connection = 0; // the same number for requests that came on one kept-alive connection
    bool tls = false;
    std::string remote;
    std::string time;
    std::string method;
    std::string target;
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers; // as they came, in order
    std::string body;                                         // bytes, after any chunked framing
};

// The requests received (the admin path excepted), for tests to read back.
class RequestJournal final
{
public:
    static constexpr size_t kCapacity = 10000; // the oldest entries go first

    // Header lines of a raw request head, in order; the request line is skipped.
    static std::vector<std::pair<std::string, std::string>> headersOf(const std::string& raw);

    void record(JournalEntry entry);
    std::vector<JournalEntry> entries(long long afterSeq = 0) const;
    void clear();
    // {"entries":[{"seq":..,"connection":..,"tls":..,"method":..,"target":..,"version":..,
    //  "headers":[[name,value],..],"body":text or null,"body_base64":..,"body_size":..}]}
    std::string toJson(long long afterSeq = 0) const;

private:
    mutable std::mutex m_mutex;
    std::deque<JournalEntry> m_entries;
    long long m_nextSeq = 1;
};
