#include "api/JsonValue.h"

#include <rapidjson/error/error.h>
#include <rapidjson/reader.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>

using namespace Qt::StringLiterals;

JsonValue::JsonValue(const JsonValue& other)
{
    switch (other.m_kind) {
    case Kind::Null:
        break;
    case Kind::Bool:
        m_bool = other.m_bool;
        break;
    case Kind::Number:
    case Kind::String:
        new (&m_bytes) QByteArray(other.m_bytes);
        break;
    case Kind::Array:
        new (&m_items) std::vector<JsonValue>(other.m_items);
        break;
    case Kind::Object:
        new (&m_members) std::vector<Member>(other.m_members);
        break;
    }
    m_kind = other.m_kind;
}

JsonValue::JsonValue(JsonValue&& other) noexcept
{
    movefrom(other);
}

JsonValue& JsonValue::operator=(const JsonValue& other)
{
    if (this != &other)
        *this = JsonValue(other);
    return *this;
}

JsonValue& JsonValue::operator=(JsonValue&& other) noexcept
{
    if (this != &other) {
        release();
        movefrom(other);
    }
    return *this;
}

// Takes the content of other, on a value that holds nothing. The moved-from value keeps its kind,
// with empty bytes, elements or members.
void JsonValue::movefrom(JsonValue& other) noexcept
{
    switch (other.m_kind) {
    case Kind::Null:
        break;
    case Kind::Bool:
        m_bool = other.m_bool;
        break;
    case Kind::Number:
    case Kind::String:
        new (&m_bytes) QByteArray(std::move(other.m_bytes));
        break;
    case Kind::Array:
        new (&m_items) std::vector<JsonValue>(std::move(other.m_items));
        break;
    case Kind::Object:
        new (&m_members) std::vector<Member>(std::move(other.m_members));
        break;
    }
    m_kind = other.m_kind;
}

JsonValue::~JsonValue()
{
    release();
}

void JsonValue::release() noexcept
{
    switch (m_kind) {
    case Kind::Null:
    case Kind::Bool:
        break;
    case Kind::Number:
    case Kind::String:
        m_bytes.~QByteArray();
        break;
    case Kind::Array:
        m_items.~vector();
        break;
    case Kind::Object:
        m_members.~vector();
        break;
    }
    m_kind = Kind::Null;
    m_bool = false;
}

// Turns the value into an empty value of that kind.
void JsonValue::become(Kind kind)
{
    release();
    switch (kind) {
    case Kind::Null:
        break;
    case Kind::Bool:
        m_bool = false;
        break;
    case Kind::Number:
    case Kind::String:
        new (&m_bytes) QByteArray();
        break;
    case Kind::Array:
        new (&m_items) std::vector<JsonValue>();
        break;
    case Kind::Object:
        new (&m_members) std::vector<Member>();
        break;
    }
    m_kind = kind;
}

const QByteArray& JsonValue::noBytes()
{
    static const QByteArray none;
    return none;
}

const std::vector<JsonValue>& JsonValue::noItems()
{
    static const std::vector<JsonValue> none;
    return none;
}

const std::vector<JsonValue::Member>& JsonValue::noMembers()
{
    static const std::vector<Member> none;
    return none;
}

JsonValue JsonValue::boolean(bool value)
{
    JsonValue v;
    v.m_kind = Kind::Bool;
    v.m_bool = value;
    return v;
}

JsonValue JsonValue::number(QByteArray lexeme)
{
    JsonValue v;
    v.become(Kind::Number);
    v.m_bytes = std::move(lexeme);
    return v;
}

JsonValue JsonValue::string(QByteArray utf8)
{
    JsonValue v;
    v.become(Kind::String);
    v.m_bytes = std::move(utf8);
    return v;
}

JsonValue JsonValue::array()
{
    JsonValue v;
    v.become(Kind::Array);
    return v;
}

JsonValue JsonValue::array(std::vector<JsonValue> items)
{
    JsonValue v;
    v.become(Kind::Array);
    v.m_items = std::move(items);
    return v;
}

JsonValue JsonValue::object()
{
    JsonValue v;
    v.become(Kind::Object);
    return v;
}

JsonValue JsonValue::object(std::vector<Member> members)
{
    JsonValue v;
    v.become(Kind::Object);
    v.m_members = std::move(members);
    return v;
}

void JsonValue::append(JsonValue value)
{
    if (m_kind != Kind::Array)
        become(Kind::Array);
    m_items.push_back(std::move(value));
}

void JsonValue::insert(QByteArray key, JsonValue value)
{
    if (m_kind != Kind::Object)
        become(Kind::Object);
    m_members.emplace_back(std::move(key), std::move(value));
}

const JsonValue* JsonValue::find(std::string_view key) const
{
    for (const Member& m : members()) {
        if (static_cast<std::size_t>(m.first.size()) == key.size() &&
            std::memcmp(m.first.constData(), key.data(), key.size()) == 0)
            return &m.second;
    }
    return nullptr;
}

void JsonValue::reserve(std::size_t count)
{
    if (m_kind == Kind::Array)
        m_items.reserve(count);
    else if (m_kind == Kind::Object)
        m_members.reserve(count);
}

QString JsonValue::kindname(Kind kind)
{
    switch (kind) {
    case Kind::Null:
        return u"null"_s;
    case Kind::Bool:
        return u"booléen"_s;
    case Kind::Number:
        return u"nombre"_s;
    case Kind::String:
        return u"texte"_s;
    case Kind::Array:
        return u"tableau"_s;
    case Kind::Object:
        return u"objet"_s;
    }
    return QString();
}

namespace {

constexpr char hexdigits[] = "0123456789abcdef";

// The short escape of a control character, or 0 when it is written as \u00XX.
char shortescape(unsigned c)
{
    switch (c) {
    case '\b':
        return 'b';
    case '\f':
        return 'f';
    case '\n':
        return 'n';
    case '\r':
        return 'r';
    case '\t':
        return 't';
    default:
        return 0;
    }
}

void appendescaped(QByteArray& out, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    const char* run = p;
    for (; p != end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(run, p - run);
        run = p + 1;
        out.append('\\');
        if (c == '"' || c == '\\') {
            out.append(static_cast<char>(c));
        } else if (const char e = shortescape(c)) {
            out.append(e);
        } else {
            const char u[] = {'u', '0', '0', hexdigits[c >> 4], hexdigits[c & 0xF]};
            out.append(u, sizeof u);
        }
    }
    out.append(run, end - run);
}

void write(QByteArray& out, const JsonValue& value)
{
    switch (value.kind()) {
    case JsonValue::Kind::Null:
        out.append("null", 4);
        break;
    case JsonValue::Kind::Bool:
        if (value.boolValue())
            out.append("true", 4);
        else
            out.append("false", 5);
        break;
    case JsonValue::Kind::Number:
        out.append(value.bytes());
        break;
    case JsonValue::Kind::String:
        out.append('"');
        appendescaped(out, value.bytes());
        out.append('"');
        break;
    case JsonValue::Kind::Array: {
        out.append('[');
        bool first = true;
        for (const JsonValue& item : value.items()) {
            if (!first)
                out.append(',');
            first = false;
            write(out, item);
        }
        out.append(']');
        break;
    }
    case JsonValue::Kind::Object: {
        out.append('{');
        bool first = true;
        for (const JsonValue::Member& m : value.members()) {
            if (!first)
                out.append(',');
            first = false;
            out.append('"');
            appendescaped(out, m.first);
            out.append("\":", 2);
            write(out, m.second);
        }
        out.append('}');
        break;
    }
    }
}

} // namespace

QByteArray JsonValue::tojson() const
{
    QByteArray out;
    write(out, *this);
    return out;
}

namespace {

// The bytes handed in, read by their length: an embedded NUL byte is not taken for the end.
// Peek answers '\0' at the end, as the reader expects.
struct BoundedStream
{
    using Ch = char;

    BoundedStream(const char* begin, std::size_t size) : m_src(begin), m_begin(begin), m_end(begin + size) {}

    Ch Peek() const { return m_src == m_end ? '\0' : *m_src; }
    Ch Take() { return m_src == m_end ? '\0' : *m_src++; }
    std::size_t Tell() const { return static_cast<std::size_t>(m_src - m_begin); }

    Ch* PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    std::size_t PutEnd(Ch*) { return 0; }

    const char* m_src;
    const char* m_begin;
    const char* m_end;
};

} // namespace

namespace {

// Member names repeat from record to record: each distinct short name is allocated once and
// then shared (QByteArray is implicitly shared), which spares most allocations of a long list.
class KeyCache final
{
public:
    QByteArray get(const char* str, std::size_t length)
    {
        if (length > maxlength)
            return QByteArray(str, static_cast<qsizetype>(length));
        std::uint32_t hash = 2166136261u; // FNV-1a
        for (std::size_t i = 0; i < length; ++i)
            hash = (hash ^ static_cast<unsigned char>(str[i])) * 16777619u;
        for (std::size_t probe = 0; probe < maxprobes; ++probe) {
            QByteArray& slot = m_slots[(hash + probe) % slotcount];
            if (slot.isNull()) {
                slot = QByteArray(str, static_cast<qsizetype>(length));
                return slot;
            }
            if (static_cast<std::size_t>(slot.size()) == length &&
                std::memcmp(slot.constData(), str, length) == 0)
                return slot;
        }
        return QByteArray(str, static_cast<qsizetype>(length));
    }

private:
    static constexpr std::size_t slotcount = 512;
    static constexpr std::size_t maxprobes = 4;
    static constexpr std::size_t maxlength = 64;
    std::array<QByteArray, slotcount> m_slots;
};

// Short strings and lexemes are copied into shared chunks rather than allocated one by one: each
// value's QByteArray points into a chunk and holds a reference on it (through QByteArray's data
// pointer), so values stay ordinary implicitly shared byte arrays (a copy shares, a change
// detaches) while a long list costs a few large allocations instead of one per value, and frees
// them as fast. Every piece is followed by a NUL, as QByteArray's own data is. A value kept after
// its document is gone keeps its chunk alive.
class StringArena final
{
public:
    QByteArray get(const char* str, std::size_t length)
    {
        if (length >= maxpiece)
            return QByteArray(str, static_cast<qsizetype>(length));
        if (m_chunk.isNull() || m_used + length + 1 > chunksize) {
            m_chunk = QByteArray(chunksize, Qt::Uninitialized);
            m_used = 0;
        }
        QByteArray::DataPointer piece = m_chunk.data_ptr(); // shares the chunk
        char* const at = piece.data() + m_used;
        std::memcpy(at, str, length);
        at[length] = '\0';
        m_used += length + 1;
        piece.setBegin(at);
        piece.size = static_cast<qsizetype>(length);
        return QByteArray(std::move(piece));
    }

private:
    static constexpr std::size_t chunksize = 16384;
    static constexpr std::size_t maxpiece = 256;
    QByteArray m_chunk;
    std::size_t m_used = 0;
};

// Builds the value tree from the reader's events. Finished values wait on one scratch stack with
// the key they were read under (empty inside arrays); when a container closes, its elements are
// moved from the top of the stack into a vector of the exact size, as the reader gives the count.
class TreeBuilder final
{
public:
    explicit TreeBuilder(int maxdepth) : m_maxdepth(maxdepth) { m_stack.reserve(64); }

    bool Null() { return push(JsonValue()); }
    bool Bool(bool b) { return push(JsonValue::boolean(b)); }
    // Numbers arrive as their lexeme (kParseNumbersAsStringsFlag); these are never called.
    bool Int(int) { return false; }
    bool Uint(unsigned) { return false; }
    bool Int64(int64_t) { return false; }
    bool Uint64(uint64_t) { return false; }
    bool Double(double) { return false; }
    bool RawNumber(const char* str, rapidjson::SizeType length, bool)
    {
        return push(JsonValue::number(m_arena.get(str, length)));
    }
    bool String(const char* str, rapidjson::SizeType length, bool)
    {
        return push(JsonValue::string(m_arena.get(str, length)));
    }
    bool Key(const char* str, rapidjson::SizeType length, bool)
    {
        m_key = m_keys.get(str, length);
        return true;
    }
    bool StartObject() { return open(); }
    bool StartArray() { return open(); }

    bool EndObject(rapidjson::SizeType count)
    {
        const auto first = m_stack.end() - static_cast<std::ptrdiff_t>(count);
        std::vector<JsonValue::Member> members(std::make_move_iterator(first),
                                               std::make_move_iterator(m_stack.end()));
        return close(first, JsonValue::object(std::move(members)));
    }

    bool EndArray(rapidjson::SizeType count)
    {
        const auto first = m_stack.end() - static_cast<std::ptrdiff_t>(count);
        std::vector<JsonValue> items;
        items.reserve(count);
        for (auto it = first; it != m_stack.end(); ++it)
            items.push_back(std::move(it->second));
        return close(first, JsonValue::array(std::move(items)));
    }

    bool toodeep() const { return m_toodeep; }
    JsonValue take() { return std::move(m_stack.back().second); }

private:
    bool push(JsonValue&& value)
    {
        m_stack.emplace_back(std::exchange(m_key, QByteArray()), std::move(value));
        return true;
    }

    bool open()
    {
        if (static_cast<int>(m_openkeys.size()) >= m_maxdepth) {
            m_toodeep = true;
            return false;
        }
        m_openkeys.push_back(std::exchange(m_key, QByteArray()));
        return true;
    }

    bool close(std::vector<JsonValue::Member>::iterator first, JsonValue&& container)
    {
        m_stack.erase(first, m_stack.end());
        m_key = std::move(m_openkeys.back());
        m_openkeys.pop_back();
        return push(std::move(container));
    }

    int m_maxdepth;
    bool m_toodeep = false;
    KeyCache m_keys;
    StringArena m_arena;
    QByteArray m_key;
    std::vector<JsonValue::Member> m_stack;
    std::vector<QByteArray> m_openkeys;
};

QString errortext(rapidjson::ParseErrorCode code)
{
    using namespace rapidjson;
    switch (code) {
    case kParseErrorDocumentEmpty:
        return u"document vide"_s;
    case kParseErrorDocumentRootNotSingular:
        return u"contenu après la fin du document"_s;
    case kParseErrorValueInvalid:
        return u"valeur invalide"_s;
    case kParseErrorObjectMissName:
        return u"nom de membre attendu"_s;
    case kParseErrorObjectMissColon:
        return u"« : » attendu après le nom de membre"_s;
    case kParseErrorObjectMissCommaOrCurlyBracket:
        return u"« , » ou « } » attendu"_s;
    case kParseErrorArrayMissCommaOrSquareBracket:
        return u"« , » ou « ] » attendu"_s;
    case kParseErrorStringUnicodeEscapeInvalidHex:
        return u"séquence \\u invalide"_s;
    case kParseErrorStringUnicodeSurrogateInvalid:
        return u"paire de substitution UTF-16 invalide"_s;
    case kParseErrorStringEscapeInvalid:
        return u"caractère d'échappement ou de contrôle invalide dans un texte"_s;
    case kParseErrorStringMissQuotationMark:
        return u"guillemet fermant manquant"_s;
    case kParseErrorStringInvalidEncoding:
        return u"encodage invalide"_s;
    case kParseErrorNumberTooBig:
        return u"nombre trop grand"_s;
    case kParseErrorNumberMissFraction:
        return u"partie décimale manquante"_s;
    case kParseErrorNumberMissExponent:
        return u"exposant manquant"_s;
    default:
        return u"erreur de syntaxe"_s;
    }
}

bool isjsonspace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

std::optional<JsonValue> parsejson(const QByteArray& bytes, QString* error, int maxdepth)
{
    constexpr unsigned flags = rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag |
                               rapidjson::kParseStopWhenDoneFlag;
    BoundedStream stream(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    TreeBuilder builder(maxdepth);
    rapidjson::Reader reader;
    const rapidjson::ParseResult result = reader.Parse<flags>(stream, builder);

    QString problem;
    std::size_t offset = 0;
    if (result.IsError()) {
        offset = result.Offset();
        problem = builder.toodeep() ? u"imbrication trop profonde (plus de %1 niveaux)"_s.arg(maxdepth)
                                    : errortext(result.Code());
    } else {
        // The reader stops after the document; what follows may only be blanks, up to the very
        // last byte (a NUL byte is content, not the end).
        const char* p = stream.m_src;
        while (p != stream.m_end && isjsonspace(*p))
            ++p;
        if (p != stream.m_end) {
            offset = static_cast<std::size_t>(p - stream.m_begin);
            problem = errortext(rapidjson::kParseErrorDocumentRootNotSingular);
        }
    }
    if (!problem.isEmpty()) {
        if (error)
            *error = u"JSON invalide à l'octet %1 : %2"_s.arg(offset).arg(problem);
        return std::nullopt;
    }
    return builder.take();
}

QString jsonescape(const QString& text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= 0x20 && c != u'"' && c != u'\\') {
            out.append(ch);
            continue;
        }
        out.append(u'\\');
        if (c == u'"' || c == u'\\') {
            out.append(ch);
        } else if (const char e = shortescape(c)) {
            out.append(QLatin1Char(e));
        } else {
            out.append(u"u00"_s);
            out.append(QLatin1Char(hexdigits[c >> 4]));
            out.append(QLatin1Char(hexdigits[c & 0xF]));
        }
    }
    return out;
}

bool isjsonnumber(const QString& text)
{
    // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto digit = [&](qsizetype at) { return at < n && text[at] >= u'0' && text[at] <= u'9'; };
    auto digits = [&] {
        const qsizetype start = i;
        while (digit(i))
            ++i;
        return i > start;
    };
    if (i < n && text[i] == u'-')
        ++i;
    if (i < n && text[i] == u'0')
        ++i;
    else if (!digit(i) || !digits())
        return false;
    if (i < n && text[i] == u'.') {
        ++i;
        if (!digits())
            return false;
    }
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        if (!digits())
            return false;
    }
    // The grammar has no limit, the reader has one: an exponent that takes the value beyond the
    // range of a double is refused, and a request must read back as it was written.
    return i == n && parsejson(text.toLatin1()).has_value();
}
