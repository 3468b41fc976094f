#include "AdminApi.h"

#include "JsonText.h"

#include <rapidjson/error/en.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace {

HttpReply json(std::string body, int status = 200)
{
    HttpReply reply;
    reply.status = status;
    reply.body = std::move(body);
    return reply;
}

HttpReply error(int status, const std::string& message)
{
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
    w.StartObject();
    w.Key("error");
    w.String(message.data(), static_cast<rapidjson::SizeType>(message.size()));
    w.EndObject();
    return json(std::string(buffer.GetString(), buffer.GetSize()), status);
}

bool parseBody(std::string_view body, rapidjson::Document& doc, std::string& message)
{
    constexpr unsigned kFlags = rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseIterativeFlag;
    doc.Parse<kFlags>(body.data(), body.size());
    if (doc.HasParseError()) {
        message = std::string("JSON illisible : ") + rapidjson::GetParseError_En(doc.GetParseError());
        return false;
    }
    return true;
}

} // namespace

AdminApi::AdminApi(RequestJournal& journal, FaultInjector& faults, HandshakeCount& handshakes, Clock& clock,
                   std::function<void()> closeIdle)
    : m_journal(journal), m_faults(faults), m_handshakes(handshakes), m_clock(clock),
      m_closeIdle(std::move(closeIdle))
{
}

HttpReply AdminApi::handle(std::string_view method, std::string_view path, std::string_view body,
                           long long after)
{
    const std::string_view name = path.substr(kPrefix.size());
    if (name == "journal") {
        if (method == "GET")
            return json(m_journal.toJson(after));
        if (method == "DELETE") {
            m_journal.clear();
            return json(R"({"cleared":true})");
        }
    } else if (name == "faults") {
        if (method == "GET")
            return json(m_faults.pendingJson());
        if (method == "POST")
            return addFaults(body);
        if (method == "DELETE") {
            m_faults.clear();
            return json(R"({"cleared":true})");
        }
    } else if (name == "connections") {
        if (method == "GET")
            return json(m_handshakes.toJson());
        if (method == "DELETE") {
            m_handshakes.clear();
            return json(R"({"cleared":true})");
        }
    } else if (name == "close-idle" && method == "POST") {
        if (m_closeIdle)
            m_closeIdle();
        return json(R"({"closing":true})");
    } else if (name == "release" && method == "POST") {
        m_faults.release();
        return json(R"({"released":true})");
    } else if (name == "clock") {
        if (method == "POST")
            return setClock(body);
        if (method == "GET") {
            rapidjson::StringBuffer buffer;
            rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
            w.StartObject();
            w.Key("now");
            const std::string now = m_clock.now();
            w.String(now.c_str());
            w.Key("fixed");
            w.Bool(m_clock.fixed().has_value());
            w.EndObject();
            return json(std::string(buffer.GetString(), buffer.GetSize()));
        }
    } else if (name == "health" && method == "GET") {
        return json(R"({"status":"ok"})");
    } else {
        return error(404, "commande inconnue : " + std::string(name));
    }
    return error(405, "méthode non prise en charge : " + std::string(method));
}

HttpReply AdminApi::addFaults(std::string_view body)
{
    rapidjson::Document doc;
    std::string message;
    if (!parseBody(body, doc, message))
        return error(400, message);
    std::vector<Fault> faults;
    auto read = [&](const rapidjson::Value& value) {
        auto fault = FaultInjector::parse(value, message);
        if (fault)
            faults.push_back(std::move(*fault));
        return fault.has_value();
    };
    if (doc.IsArray()) {
        for (const auto& value : doc.GetArray()) {
            if (!read(value))
                return error(400, message);
        }
    } else if (!read(doc)) {
        return error(400, message);
    }
    for (auto& fault : faults)
        m_faults.add(std::move(fault));
    return json(R"({"queued":)" + std::to_string(faults.size()) + "}");
}

HttpReply AdminApi::setClock(std::string_view body)
{
    rapidjson::Document doc;
    std::string message;
    if (!parseBody(body, doc, message))
        return error(400, message);
    const rapidjson::Value* now = jsontext::find(doc, "now");
    if (now == nullptr)
        return error(400, "now attendu");
    if (now->IsNull()) {
        m_clock.setFixed(std::nullopt);
    } else {
        const auto text = jsontext::text(*now);
        if (!text || !Clock::isDateTime(*text))
            return error(400, "now : aaaa-mm-jj hh:mm:ss attendu");
        m_clock.setFixed(*text);
    }
    return json(R"({"ok":true})");
}
