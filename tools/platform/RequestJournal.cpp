#include "RequestJournal.h"

#include "Encoding.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace {

// Header bytes that are not UTF-8 are shown as if they were ISO-8859-1.
std::string printable(const std::string& bytes)
{
    if (encoding::isValidUtf8(bytes))
        return bytes;
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

void string(rapidjson::Writer<rapidjson::StringBuffer>& w, const std::string& s)
{
    w.String(s.data(), static_cast<rapidjson::SizeType>(s.size()));
}

} // namespace

std::vector<std::pair<std::string, std::string>> RequestJournal::headersOf(const std::string& raw)
{
    std::vector<std::pair<std::string, std::string>> headers;
    const size_t end = raw.find("\r\n\r\n");
    const std::string head = raw.substr(0, end);
    size_t pos = head.find("\r\n");
    while (pos != std::string::npos) {
        pos += 2;
        const size_t next = head.find("\r\n", pos);
        const std::string line = head.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
        const size_t colon = line.find(':');
        if (colon != std::string::npos) {
            size_t valueStart = colon + 1;
            while (valueStart < line.size() && (line[valueStart] == ' ' || line[valueStart] == '\t'))
                ++valueStart;
            headers.emplace_back(line.substr(0, colon), line.substr(valueStart));
        }
        pos = next;
    }
    return headers;
}

void RequestJournal::record(JournalEntry entry)
{
    const std::lock_guard lock(m_mutex);
    entry.seq = m_nextSeq++;
    m_entries.push_back(std::move(entry));
    while (m_entries.size() > kCapacity)
        m_entries.pop_front();
}

std::vector<JournalEntry> RequestJournal::entries(long long afterSeq) const
{
    const std::lock_guard lock(m_mutex);
    std::vector<JournalEntry> out;
    for (const auto& e : m_entries) {
        if (e.seq > afterSeq)
            out.push_back(e);
    }
    return out;
}

void RequestJournal::clear()
{
    const std::lock_guard lock(m_mutex);
    m_entries.clear();
}

std::string RequestJournal::toJson(long long afterSeq) const
{
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
    w.StartObject();
    w.Key("entries");
    w.StartArray();
    for (const auto& e : entries(afterSeq)) {
        w.StartObject();
        w.Key("seq");
        w.Int64(e.seq);
        w.Key("connection");
        w.Int64(e.connection);
        w.Key("tls");
        w.Bool(e.tls);
        w.Key("remote");
        string(w, e.remote);
        w.Key("time");
        string(w, e.time);
        w.Key("method");
        string(w, printable(e.method));
        w.Key("target");
        string(w, printable(e.target));
        w.Key("version");
        string(w, printable(e.version));
        w.Key("headers");
        w.StartArray();
        for (const auto& [name, value] : e.headers) {
            w.StartArray();
            string(w, printable(name));
            string(w, printable(value));
            w.EndArray();
        }
        w.EndArray();
        w.Key("body");
        if (encoding::isValidUtf8(e.body))
            string(w, e.body);
        else
            w.Null();
        w.Key("body_base64");
        string(w, encoding::base64Encode(e.body));
        w.Key("body_size");
        w.Uint64(e.body.size());
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}
