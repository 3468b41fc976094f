#include "ApiRequest.h"

#include "ApiError.h"
#include "Encoding.h"

#include <rapidjson/error/en.h>

namespace {

constexpr std::string_view kPrefix = "json_data=";

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() &&
           (text.front() == ' ' || text.front() == '\r' || text.front() == '\n' || text.front() == '\t'))
        text.remove_prefix(1);
    return text;
}

std::string extractDocument(std::string_view method, std::string_view body)
{
    if (method == "POST") {
        const auto field = encoding::formField(body, "json_data");
        if (!field)
            throw ApiError(ApiError::kUnreadable, "Document illisible : champ json_data absent");
        return *field;
    }
    if (!body.starts_with(kPrefix))
        throw ApiError(ApiError::kUnreadable, "Document illisible : le corps doit commencer par json_data=");
    const std::string_view rest = body.substr(kPrefix.size());
    // A PUT body is the document itself; one that arrives form-encoded anyway is decoded.
    if (trimmed(rest).starts_with("%7B") || trimmed(rest).starts_with("%7b"))
        return encoding::formDecode(rest);
    return std::string(rest);
}

} // namespace

ApiRequest ApiRequest::parse(std::string_view method, std::string_view body)
{
    ApiRequest request;
    request.m_document = extractDocument(method, body);
    if (!encoding::isValidUtf8(request.m_document))
        throw ApiError(ApiError::kUnreadable, "Document illisible : texte UTF-8 invalide");
    request.m_doc = std::make_unique<rapidjson::Document>();
    constexpr unsigned kFlags = rapidjson::kParseNumbersAsStringsFlag |
                                rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag;
    request.m_doc->Parse<kFlags>(request.m_document.data(), request.m_document.size());
    if (request.m_doc->HasParseError()) {
        throw ApiError(ApiError::kUnreadable,
                       std::string("Document illisible : ") +
                           rapidjson::GetParseError_En(request.m_doc->GetParseError()) + " (position " +
                           std::to_string(request.m_doc->GetErrorOffset()) + ")");
    }
    if (!request.m_doc->IsObject() || request.m_doc->MemberCount() == 0)
        throw ApiError(ApiError::kUnreadable, "Document illisible : un objet nommé est attendu");
    const auto& first = *request.m_doc->MemberBegin();
    if (!first.value.IsObject())
        throw ApiError(ApiError::kUnreadable,
                       std::string("Document illisible : ") + first.name.GetString() + " doit être un objet");
    request.m_object.assign(first.name.GetString(), first.name.GetStringLength());
    return request;
}
