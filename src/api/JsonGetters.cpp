#include "api/JsonGetters.h"

#include "api/QuilbaError.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

using namespace Qt::StringLiterals;

namespace {

std::string_view view(const QByteArray& bytes)
{
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// One step of a path: a member of an object, an element of an array.
const JsonValue* member(const JsonValue* value, std::string_view name)
{
    return value && value->isObject() ? value->find(name) : nullptr;
}

const JsonValue* element(const JsonValue* value, std::string_view index)
{
    if (!value || !value->isArray() || index.empty())
        return nullptr;
    std::size_t n = 0;
    const auto [end, ec] = std::from_chars(index.data(), index.data() + index.size(), n);
    if (ec != std::errc() || end != index.data() + index.size() || n >= value->items().size())
        return nullptr;
    return &value->items()[n];
}

// "a.b[2].c": names joined by ".", each followed by any number of "[n]"; a path may begin with
// "[n]" when the container is an array. Anything else finds nothing.
const JsonValue* walk(const JsonValue& container, std::string_view path)
{
    const JsonValue* current = &container;
    std::size_t i = 0;
    bool first = true;
    while (current) {
        const std::size_t namestart = i;
        while (i < path.size() && path[i] != '.' && path[i] != '[' && path[i] != ']')
            ++i;
        const std::string_view name = path.substr(namestart, i - namestart);
        if (!name.empty())
            current = member(current, name);
        else if (!first || i >= path.size() || path[i] != '[')
            return nullptr;
        first = false;
        while (current && i < path.size() && path[i] == '[') {
            const std::size_t close = path.find(']', i);
            if (close == std::string_view::npos)
                return nullptr;
            current = element(current, path.substr(i + 1, close - i - 1));
            i = close + 1;
        }
        if (i == path.size())
            return current;
        if (path[i] != '.')
            return nullptr;
        ++i;
    }
    return nullptr;
}

// The value at key in an object or array. A member whose name is the whole key wins over the
// reading of the key as a path.
const JsonValue* lookup(const JsonValue& container, const QString& key)
{
    if (!container.isObject() && !container.isArray())
        return nullptr;
    const QByteArray utf8 = key.toUtf8();
    const std::string_view k = view(utf8);
    if (container.isObject()) {
        if (const JsonValue* found = container.find(k))
            return found;
    }
    if (k.find_first_of(".[") == std::string_view::npos)
        return nullptr;
    return walk(container, k);
}

[[noreturn]] void notfound(const QString& key)
{
    throw QuilbaError(u"Valeur '"_s % key % u"' introuvable"_s);
}

[[noreturn]] void unsupported(JsonValue::Kind from, const char16_t* to)
{
    throw QuilbaError(u"La conversion de "_s % JsonValue::kindname(from) % u" en "_s % QStringView(to) %
                      u" n'est pas supportée"_s);
}

// The wanted types, as the conversion message names them.
constexpr auto texttype = u"texte";
constexpr auto flagtype = u"booléen";
constexpr auto numbertype = u"nombre";

// A number as written in a text: optional sign, digits with an optional "." fraction (digits on
// at least one side), optional exponent. Surrounding blanks are ignored; a decimal comma, inner
// blanks, hexadecimal, "inf" and "nan" are not numbers.
struct NumberText
{
    std::string body; // without sign and blanks, ready for from_chars
    bool negative = false;
    bool nonzero = false; // a digit other than 0 before the exponent
    int magnitude = 0;    // decimal exponent of the first significant digit, when nonzero
};

bool readnumber(std::string_view s, NumberText& out)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    std::size_t i = 0;
    out = NumberText();
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        out.negative = s[i] == '-';
        ++i;
    }
    auto isdigit = [&](std::size_t at) { return at < s.size() && s[at] >= '0' && s[at] <= '9'; };
    const std::size_t intstart = i;
    int firstsig = 0; // position of the first significant digit: 0 = units, -1 = tenths, ...
    while (isdigit(i))
        ++i;
    const std::size_t intdigits = i - intstart;
    for (std::size_t k = intstart; k < i && !out.nonzero; ++k) {
        if (s[k] != '0') {
            out.nonzero = true;
            firstsig = static_cast<int>(i - k) - 1;
        }
    }
    std::size_t fracdigits = 0;
    if (i < s.size() && s[i] == '.') {
        ++i;
        const std::size_t fracstart = i;
        while (isdigit(i))
            ++i;
        fracdigits = i - fracstart;
        for (std::size_t k = fracstart; k < i && !out.nonzero; ++k) {
            if (s[k] != '0') {
                out.nonzero = true;
                firstsig = -static_cast<int>(k - fracstart) - 1;
            }
        }
    }
    if (intdigits == 0 && fracdigits == 0)
        return false;
    long long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool expnegative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            expnegative = s[i] == '-';
            ++i;
        }
        if (!isdigit(i))
            return false;
        while (isdigit(i)) {
            if (exponent < 100000000)
                exponent = exponent * 10 + (s[i] - '0');
            ++i;
        }
        if (expnegative)
            exponent = -exponent;
    }
    if (i != s.size())
        return false;
    out.body.assign(s.substr(out.negative || s.front() == '+' ? 1 : 0));
    out.magnitude = static_cast<int>(firstsig + exponent);
    return true;
}

// The value of a number text; false when it does not fit a double (too large).
bool numbervalue(const NumberText& n, double& out)
{
    double v = 0;
    const char* begin = n.body.data();
    const char* end = begin + n.body.size();
    const auto [ptr, ec] = std::from_chars(begin, end, v);
    if (ec == std::errc::result_out_of_range) {
        if (n.magnitude >= 0)
            return false;
        v = 0; // too small for a double: zero
    } else if (ec != std::errc() || ptr != end || !std::isfinite(v)) {
        return false;
    }
    out = n.negative ? -v : v;
    return true;
}

enum class Outcome
{
    Found,
    Missing,
    Unsupported,
    BadText
};

Outcome totext(const JsonValue* v, QString& out)
{
    out.clear();
    if (!v)
        return Outcome::Missing;
    switch (v->kind()) {
    case JsonValue::Kind::String:
        out = v->text();
        return Outcome::Found;
    case JsonValue::Kind::Number:
        out = QString::fromLatin1(v->bytes());
        return Outcome::Found;
    case JsonValue::Kind::Bool:
        out = v->boolValue() ? u"true"_s : u"false"_s;
        return Outcome::Found;
    case JsonValue::Kind::Null:
        return Outcome::Found;
    default:
        return Outcome::Unsupported;
    }
}

Outcome toflag(const JsonValue* v, bool& out)
{
    out = false;
    if (!v)
        return Outcome::Missing;
    NumberText n;
    switch (v->kind()) {
    case JsonValue::Kind::Bool:
        out = v->boolValue();
        return Outcome::Found;
    case JsonValue::Kind::Number:
        if (!readnumber(view(v->bytes()), n))
            return Outcome::BadText;
        out = n.nonzero;
        return Outcome::Found;
    case JsonValue::Kind::String: {
        const QString text = v->text().trimmed();
        if (text.compare(u"true"_s, Qt::CaseInsensitive) == 0) {
            out = true;
            return Outcome::Found;
        }
        if (text.compare(u"false"_s, Qt::CaseInsensitive) == 0)
            return Outcome::Found;
        if (!readnumber(view(v->bytes()), n))
            return Outcome::BadText;
        out = n.nonzero;
        return Outcome::Found;
    }
    default:
        return Outcome::Unsupported;
    }
}

Outcome tonumber(const JsonValue* v, double& out)
{
    out = 0;
    if (!v)
        return Outcome::Missing;
    if (!v->isString() && !v->isNumber())
        return Outcome::Unsupported;
    NumberText n;
    if (!readnumber(view(v->bytes()), n) || !numbervalue(n, out))
        return Outcome::BadText;
    return Outcome::Found;
}

} // namespace

bool trygettext(const JsonValue& value, const QString& key, QString& out)
{
    return totext(lookup(value, key), out) == Outcome::Found;
}

QString gettext(const JsonValue& value, const QString& key)
{
    const JsonValue* v = lookup(value, key);
    QString out;
    switch (totext(v, out)) {
    case Outcome::Found:
        return out;
    case Outcome::Missing:
        notfound(key);
    default:
        unsupported(v->kind(), texttype);
    }
}

bool trygetflag(const JsonValue& value, const QString& key, bool& out)
{
    return toflag(lookup(value, key), out) == Outcome::Found;
}

bool getflag(const JsonValue& value, const QString& key)
{
    const JsonValue* v = lookup(value, key);
    bool out = false;
    switch (toflag(v, out)) {
    case Outcome::Found:
        return out;
    case Outcome::Missing:
        notfound(key);
    case Outcome::BadText:
        throw QuilbaError(u"'"_s % QString::fromUtf8(v->bytes()) % u"' n'est pas une valeur booléenne"_s);
    default:
        unsupported(v->kind(), flagtype);
    }
}

double getnumber(const JsonValue& value, const QString& key)
{
    const JsonValue* v = lookup(value, key);
    double out = 0;
    switch (tonumber(v, out)) {
    case Outcome::Found:
        return out;
    case Outcome::Missing:
        notfound(key);
    case Outcome::BadText:
        throw QuilbaError(u"'"_s % QString::fromUtf8(v->bytes()) %
                          u"' n'est pas une valeur en virgule flottante correcte"_s);
    default:
        unsupported(v->kind(), numbertype);
    }
}
