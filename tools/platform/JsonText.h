#pragma once

#include <rapidjson/document.h>

#include <optional>
#include <string>

// Reading values out of a request document. Documents are parsed with numbers kept as their text, so a
// number and a string holding the same digits read the same.
namespace jsontext {

// The member `key` of an object, or nullptr when `value` is not an object or has no such member.
const rapidjson::Value* find(const rapidjson::Value& value, const char* key);
// A scalar as text: a string as it is, true/false as "true"/"false", null as the empty text;
// nullopt for an object or an array.
std::optional<std::string> text(const rapidjson::Value& value);
std::optional<std::string> textAt(const rapidjson::Value& object, const char* key);
// The text at object[key]["id"], as in "member":{"id":4711}.
std::optional<std::string> idAt(const rapidjson::Value& object, const char* key);
// The pharmacy named by "group":{"idExternal":...} or "group":{"loadFromKeys":{"idExternal":...}}.
std::optional<std::string> groupAt(const rapidjson::Value& object);
// A truth value: true/false, the strings "true"/"false" in any letter case, "1" and "0".
std::optional<bool> flag(const rapidjson::Value& value);
// A whole positive identifier written as digits.
std::optional<long long> identifier(const std::string& text);
// Whether the text is a JSON number (as the criteria are written).
bool isNumber(const std::string& text);

} // namespace jsontext
