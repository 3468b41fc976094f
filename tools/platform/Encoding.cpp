#include "Encoding.h"

#include <array>
#include <cstdint>

namespace encoding {

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Decodes one code point at `pos`; answers -1 for a malformed sequence. Advances `pos`.
long nextCodePoint(std::string_view s, size_t& pos)
{
    const auto lead = static_cast<unsigned char>(s[pos]);
    int extra = 0;
    long cp = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        ++pos;
        return -1;
    }
    if (pos + static_cast<size_t>(extra) >= s.size()) {
        pos = s.size();
        return -1;
    }
    for (int i = 1; i <= extra; ++i) {
        const auto c = static_cast<unsigned char>(s[pos + static_cast<size_t>(i)]);
        if ((c & 0xC0) != 0x80) {
            pos += static_cast<size_t>(i);
            return -1;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    pos += static_cast<size_t>(extra) + 1;
    // Overlong forms, surrogates and values past U+10FFFF are malformed.
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return -1;
    return cp;
}

void appendUtf8(std::string& out, long cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::string base64Encode(std::string_view bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    while (i + 2 < bytes.size()) {
        const auto n = (static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16) |
                       (static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8) |
                       static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 2]));
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += kAlphabet[n & 63];
        i += 3;
    }
    const size_t rest = bytes.size() - i;
    if (rest == 1) {
        const auto n = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += "==";
    } else if (rest == 2) {
        const auto n = (static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16) |
                       (static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += '=';
    }
    return out;
}

std::optional<std::string> base64Decode(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        std::array<int, 4> v{};
        int padding = 0;
        for (size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=') {
                // Padding only at the very end, and at most two characters of it.
                if (i + 4 != text.size() || k < 2)
                    return std::nullopt;
                ++padding;
                v[k] = 0;
                continue;
            }
            if (padding > 0)
                return std::nullopt;
            v[k] = base64Value(c);
            if (v[k] < 0)
                return std::nullopt;
        }
        const auto n = (static_cast<uint32_t>(v[0]) << 18) | (static_cast<uint32_t>(v[1]) << 12) |
                       (static_cast<uint32_t>(v[2]) << 6) | static_cast<uint32_t>(v[3]);
        out += static_cast<char>((n >> 16) & 0xFF);
        if (padding < 2)
            out += static_cast<char>((n >> 8) & 0xFF);
        if (padding < 1)
            out += static_cast<char>(n & 0xFF);
    }
    return out;
}

std::string formDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> formField(std::string_view body, std::string_view name)
{
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string_view::npos)
            end = body.size();
        const std::string_view field = body.substr(start, end - start);
        const size_t eq = field.find('=');
        const std::string fieldName = formDecode(field.substr(0, eq));
        if (fieldName == name)
            return eq == std::string_view::npos ? std::string() : formDecode(field.substr(eq + 1));
        start = end + 1;
    }
    return std::nullopt;
}

bool isValidUtf8(std::string_view bytes)
{
    size_t pos = 0;
    while (pos < bytes.size()) {
        if (nextCodePoint(bytes, pos) < 0)
            return false;
    }
    return true;
}

std::string utf8ToLatin1(std::string_view utf8)
{
    std::string out;
    size_t pos = 0;
    while (pos < utf8.size()) {
        const long cp = nextCodePoint(utf8, pos);
        out += (cp >= 0 && cp <= 0xFF) ? static_cast<char>(cp) : '?';
    }
    return out;
}

std::string foldCase(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        const size_t start = pos;
        long cp = nextCodePoint(utf8, pos);
        if (cp < 0) {
            out.append(utf8.substr(start, pos - start));
            continue;
        }
        if ((cp >= 'A' && cp <= 'Z') || (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7))
            cp += 0x20;
        appendUtf8(out, cp);
    }
    return out;
}

bool startsWithFolded(std::string_view text, std::string_view prefix)
{
    return foldCase(text).starts_with(foldCase(prefix));
}

std::string htmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace encoding
