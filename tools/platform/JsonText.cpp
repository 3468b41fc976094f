#include "JsonText.h"

#include <cctype>
#include <charconv>

namespace jsontext {

const rapidjson::Value* find(const rapidjson::Value& value, const char* key)
{
    if (!value.IsObject())
        return nullptr;
    const auto it = value.FindMember(key);
    return it == value.MemberEnd() ? nullptr : &it->value;
}

std::optional<std::string> text(const rapidjson::Value& value)
{
    if (value.IsString())
        return std::string(value.GetString(), value.GetStringLength());
    if (value.IsBool())
        return std::string(value.GetBool() ? "true" : "false");
    if (value.IsNull())
        return std::string();
    return std::nullopt;
}

std::optional<std::string> textAt(const rapidjson::Value& object, const char* key)
{
    const rapidjson::Value* value = find(object, key);
    if (value == nullptr)
        return std::nullopt;
    return text(*value);
}

std::optional<std::string> idAt(const rapidjson::Value& object, const char* key)
{
    const rapidjson::Value* inner = find(object, key);
    if (inner == nullptr)
        return std::nullopt;
    return textAt(*inner, "id");
}

std::optional<std::string> groupAt(const rapidjson::Value& object)
{
    const rapidjson::Value* group = find(object, "group");
    if (group == nullptr)
        return std::nullopt;
    if (const rapidjson::Value* keys = find(*group, "loadFromKeys"))
        return textAt(*keys, "idExternal");
    return textAt(*group, "idExternal");
}

std::optional<bool> flag(const rapidjson::Value& value)
{
    if (value.IsBool())
        return value.GetBool();
    if (!value.IsString())
        return std::nullopt;
    std::string lower(value.GetString(), value.GetStringLength());
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "true" || lower == "1")
        return true;
    if (lower == "false" || lower == "0")
        return false;
    return std::nullopt;
}

std::optional<long long> identifier(const std::string& text)
{
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value <= 0 || text[0] == '+')
        return std::nullopt;
    return value;
}

bool isNumber(const std::string& text)
{
    // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    size_t i = 0;
    const size_t n = text.size();
    auto isDigit = [&](size_t k) { return k < n && text[k] >= '0' && text[k] <= '9'; };
    if (i < n && text[i] == '-')
        ++i;
    if (!isDigit(i))
        return false;
    if (text[i] == '0') {
        ++i;
    } else {
        while (isDigit(i))
            ++i;
    }
    if (i < n && text[i] == '.') {
        ++i;
        if (!isDigit(i))
            return false;
        while (isDigit(i))
            ++i;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (!isDigit(i))
            return false;
        while (isDigit(i))
            ++i;
    }
    return i == n;
}

} // namespace jsontext
