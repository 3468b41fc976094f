#pragma once

#include <optional>
#include <string>
#include <string_view>

// Byte-level text helpers of the platform: Base64, form decoding, UTF-8 checks, case folding, HTML.
namespace encoding {

std::string base64Encode(std::string_view bytes);
std::optional<std::string> base64Decode(std::string_view text);

// Decodes one application/x-www-form-urlencoded component ("+" is a blank, "%XX" a byte).
std::string formDecode(std::string_view text);
// The decoded value of the first field called `name` in a form body.
std::optional<std::string> formField(std::string_view body, std::string_view name);

bool isValidUtf8(std::string_view bytes);
// One byte per character: characters up to U+00FF keep their value, any other gives "?".
std::string utf8ToLatin1(std::string_view utf8);
// Lower case for ASCII and the Latin-1 letters, so that "élodie" and "ÉLODIE" compare equal.
std::string foldCase(std::string_view utf8);
bool startsWithFolded(std::string_view text, std::string_view prefix);

std::string htmlEscape(std::string_view text);

} // namespace encoding
