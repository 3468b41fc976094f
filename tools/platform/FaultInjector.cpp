#include "FaultInjector.h"

#include "Encoding.h"
#include "JsonText.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <chrono>

namespace {

std::optional<Fault::Action> actionOf(const std::string& name)
{
    if (name == "delay" || name == "none")
        return Fault::Action::None;
    if (name == "stall")
        return Fault::Action::Stall;
    if (name == "close")
        return Fault::Action::Close;
    if (name == "status")
        return Fault::Action::Status;
    if (name == "body")
        return Fault::Action::Body;
    return std::nullopt;
}

const char* nameOf(Fault::Action action)
{
    switch (action) {
    case Fault::Action::None:
        return "delay";
    case Fault::Action::Stall:
        return "stall";
    case Fault::Action::Close:
        return "close";
    case Fault::Action::Status:
        return "status";
    case Fault::Action::Body:
        return "body";
    }
    return "";
}

std::optional<long long> integerAt(const rapidjson::Value& object, const char* key, std::string& error)
{
    const auto text = jsontext::textAt(object, key);
    if (!text)
        return std::nullopt;
    try {
        size_t used = 0;
        const long long value = std::stoll(*text, &used);
        if (used == text->size() && value >= -1)
            return value;
    } catch (const std::exception&) {
    }
    error = std::string(key) + " : nombre attendu";
    return std::nullopt;
}

// The canned bodies a test can ask for by name.
bool applyPreset(Fault& fault, const std::string& preset, std::string& error)
{
    if (preset == "malformed_json") {
        fault.body = R"({"FidelityMember":{"id":1001,"cardnumber":"1010001","name":"DUP)";
    } else if (preset == "empty_array") {
        fault.body = "[]";
    } else if (preset == "empty_object") {
        fault.body = "{}";
    } else if (preset == "invalid_utf8") {
        fault.body = "{\"ApiReturn\":{\"code\":\"OK\",\"message\":\"\xC3\x28\xA0\xFF\xFE\",\"id\":1}}";
    } else if (preset == "huge") {
        if (fault.hugeSize == 0)
            fault.hugeSize = FaultInjector::kHugeDefault;
    } else {
        error = "preset inconnu : " + preset;
        return false;
    }
    return true;
}

} // namespace

std::optional<Fault> FaultInjector::parse(const rapidjson::Value& object, std::string& error)
{
    if (!object.IsObject()) {
        error = "objet attendu";
        return std::nullopt;
    }
    Fault fault;
    const auto actionName = jsontext::textAt(object, "action").value_or("delay");
    const auto action = actionOf(actionName);
    if (!action) {
        error = "action inconnue : " + actionName;
        return std::nullopt;
    }
    fault.action = *action;
    if (const auto count = integerAt(object, "count", error))
        fault.count = static_cast<int>(*count);
    if (const auto delay = integerAt(object, "delay_ms", error))
        fault.delayMs = static_cast<int>(*delay);
    if (const auto size = integerAt(object, "size", error))
        fault.hugeSize = static_cast<size_t>(*size);
    if (const auto after = integerAt(object, "stall_after", error))
        fault.stallAfter = static_cast<size_t>(*after);
    if (const auto ms = integerAt(object, "stall_ms", error))
        fault.stallMs = static_cast<int>(*ms);
    if (!error.empty())
        return std::nullopt;
    fault.path = jsontext::textAt(object, "path").value_or("");
    if (const rapidjson::Value* process = jsontext::find(object, "process"))
        fault.process = jsontext::flag(*process).value_or(false);
    if (const rapidjson::Value* finish = jsontext::find(object, "finish"))
        fault.finish = jsontext::flag(*finish).value_or(false);
    if (const auto line = jsontext::textAt(object, "status_line"))
        fault.statusLine = *line;
    fault.contentType = jsontext::textAt(object, "content_type").value_or("");
    if (const auto body = jsontext::textAt(object, "body"))
        fault.body = *body;
    if (const auto body64 = jsontext::textAt(object, "body_base64")) {
        const auto bytes = encoding::base64Decode(*body64);
        if (!bytes) {
            error = "body_base64 : Base64 invalide";
            return std::nullopt;
        }
        fault.body = *bytes;
    }
    if (const rapidjson::Value* headers = jsontext::find(object, "headers"); headers && headers->IsObject()) {
        for (auto it = headers->MemberBegin(); it != headers->MemberEnd(); ++it) {
            if (const auto value = jsontext::text(it->value))
                fault.headers.emplace_back(it->name.GetString(), *value);
        }
    }
    if (const auto preset = jsontext::textAt(object, "preset")) {
        if (!applyPreset(fault, *preset, error))
            return std::nullopt;
    }
    if (fault.count <= 0) {
        error = "count doit être positif";
        return std::nullopt;
    }
    return fault;
}

void FaultInjector::add(Fault fault)
{
    const std::lock_guard lock(m_mutex);
    m_faults.push_back(std::move(fault));
}

void FaultInjector::clear()
{
    {
        const std::lock_guard lock(m_mutex);
        m_faults.clear();
        ++m_releases;
    }
    m_wake.notify_all();
}

std::optional<Fault> FaultInjector::take(std::string_view path)
{
    const std::lock_guard lock(m_mutex);
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        if (!path.starts_with(it->path))
            continue;
        Fault fault = *it;
        if (--it->count <= 0)
            m_faults.erase(it);
        return fault;
    }
    return std::nullopt;
}

std::string FaultInjector::pendingJson() const
{
    const std::lock_guard lock(m_mutex);
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
    w.StartObject();
    w.Key("faults");
    w.StartArray();
    for (const auto& f : m_faults) {
        w.StartObject();
        w.Key("action");
        w.String(nameOf(f.action));
        w.Key("count");
        w.Int(f.count);
        w.Key("path");
        w.String(f.path.c_str());
        w.Key("delay_ms");
        w.Int(f.delayMs);
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

bool FaultInjector::sleepFor(int ms)
{
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopped; });
    return !m_stopped;
}

long long FaultInjector::releases() const
{
    const std::lock_guard lock(m_mutex);
    return m_releases;
}

bool FaultInjector::waitForRelease(int ms, long long seen)
{
    std::unique_lock lock(m_mutex);
    auto done = [&] { return m_stopped || m_releases != seen; };
    if (ms < 0)
        m_wake.wait(lock, done);
    else
        m_wake.wait_for(lock, std::chrono::milliseconds(ms), done);
    return !m_stopped;
}

void FaultInjector::release()
{
    {
        const std::lock_guard lock(m_mutex);
        ++m_releases;
    }
    m_wake.notify_all();
}

void FaultInjector::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_wake.notify_all();
}
