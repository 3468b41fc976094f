#pragma once

#include <rapidjson/document.h>

#include <memory>
#include <string>
#include <string_view>

// One request to the API path: the "json_data=" document taken out of the body (raw in a PUT, form-encoded
// in a POST), parsed, and named by the first member of its top object ("FidelityMember", "Sent", ...).
// Anything that cannot be read this way throws ApiError with the "unreadable" code.
class ApiRequest final
{
public:
    static ApiRequest parse(std::string_view method, std::string_view body);

    // The document text that was parsed (after the form decoding).
    const std::string& document() const { return m_document; }
    const std::string& object() const { return m_object; }
    const rapidjson::Value& payload() const { return m_doc->MemberBegin()->value; }

private:
    ApiRequest() = default;

    std::string m_document;
    std::string m_object;
    std::unique_ptr<rapidjson::Document> m_doc;
};
