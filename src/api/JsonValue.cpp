#include "api/JsonValue.h"

// RapidJSON's SSE2 scanning stays off: in place, after an escape, it lets a raw control character
// through, so a reply that is not JSON would be read.
#include <rapidjson/error/error.h>
#include <rapidjson/reader.h>

#include <algorithm>
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

// Takes the content of other, on a value that holds nothing. The moved-from value is left null:
// what it held was moved out, so there is nothing left to destroy.
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
    other.m_kind = Kind::Null;
    other.m_bool = false;
}

// The strings of one reply share a block (see Pieces below): dropping their references one by one
// costs an atomic operation each, so a release gathers them and drops each block's references at
// once. The values stay ordinary QByteArrays: only the moment their references go changes.
class JsonValue::Drops final
{
public:
    Drops() = default;
    Drops(const Drops&) = delete;
    Drops& operator=(const Drops&) = delete;
    ~Drops() { flush(); }

    // Takes over the reference of these bytes; the QByteArray is left holding none.
    void take(QByteArray& bytes) noexcept
    {
        QByteArray::DataPointer& data = bytes.data_ptr();
        if (!data.d)
            return;
        if (data.d != m_block) {
            flush();
            m_block = data.d;
        }
        ++m_count;
        data.d = nullptr;
    }

private:
    void flush() noexcept
    {
        if (m_count == 0)
            return;
        // All but one at once: this batch still holds the last, so the count cannot reach zero here.
        if (m_count > 1)
            m_block->ref_.fetchAndSubRelease(m_count - 1);
        // The last one as QByteArray drops any: the block is freed when it was the last reference.
        const QByteArray::DataPointer last(m_block, nullptr, 0);
        m_block = nullptr;
        m_count = 0;
    }

    QTypedArrayData<char>* m_block = nullptr;
    int m_count = 0;
};

void JsonValue::release() noexcept
{
    if (m_kind == Kind::Null)
        return;
    Drops drops;
    release(drops);
}

void JsonValue::release(Drops& drops) noexcept
{
    switch (m_kind) {
    case Kind::Null:
    case Kind::Bool:
        break;
    case Kind::Number:
    case Kind::String:
        drops.take(m_bytes);
        m_bytes.~QByteArray();
        break;
    case Kind::Array:
        for (JsonValue& item : m_items) {
            if (item.m_kind > Kind::Bool)
                item.release(drops);
        }
        m_items.~vector();
        break;
    case Kind::Object:
        for (Member& m : m_members) {
            drops.take(m.first);
            if (m.second.m_kind > Kind::Bool)
                m.second.release(drops);
        }
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

// The document is parsed in place (rapidjson::InsituStringStream), in a copy of its bytes that
// ends with a NUL (every QByteArray does): the reader decodes each string where it stands and ends
// it with a NUL, so a value's bytes are a piece of that copy. The reader never reads past a NUL
// byte, which answers the end; a NUL inside the bytes stops it there too, and the check after the
// document tells the two apart by the length.

// Every string and member name is a piece of the parsed copy: each piece is an ordinary
// implicitly shared QByteArray that holds a reference on the whole copy (a copy of a value shares,
// a change detaches), so a long list costs one allocation for all its texts instead of one per
// text. A value kept after its document is gone keeps the copy alive. The references are taken
// in advance, as many as the document can have texts (each has its two quotes), and the unused
// ones are given back at the end: one atomic operation instead of one per text.
class Pieces final
{
public:
    explicit Pieces(const QByteArray& bytes) : m_copy(bytes.size(), Qt::Uninitialized)
    {
        m_data = m_copy.data();
        if (!bytes.isEmpty())
            std::memcpy(m_data, bytes.constData(), static_cast<std::size_t>(bytes.size()));
        m_block = m_copy.data_ptr().d; // none for no bytes at all: there is no piece to take then
        const qsizetype most = bytes.size() / 2 + 1;
        if (m_block && most <= maxadvance) {
            m_advance = static_cast<int>(most);
            m_block->ref_.fetchAndAddRelaxed(m_advance);
        }
    }
    Pieces(const Pieces&) = delete;
    Pieces& operator=(const Pieces&) = delete;
    // The copy itself still holds its own reference here: the count cannot reach zero.
    ~Pieces()
    {
        if (m_advance > m_used)
            m_block->ref_.fetchAndSubRelaxed(m_advance - m_used);
    }

    char* data() { return m_data; }

    // A piece that ends with a NUL in the copy, as the reader leaves strings and names.
    QByteArray get(const char* str, std::size_t length)
    {
        char* const begin = m_data + (str - m_data);
        const auto size = static_cast<qsizetype>(length);
        if (m_used < m_advance) {
            ++m_used;
            return QByteArray(QByteArray::DataPointer(m_block, begin, size));
        }
        QByteArray::DataPointer piece = m_copy.data_ptr(); // takes a reference of its own
        piece.setBegin(begin);
        piece.size = size;
        return QByteArray(std::move(piece));
    }

private:
    static constexpr qsizetype maxadvance = qsizetype(1) << 29;
    QByteArray m_copy;
    char* m_data = nullptr;
    QTypedArrayData<char>* m_block = nullptr;
    int m_advance = 0;
    int m_used = 0;
};

// Number lexemes are not followed by a NUL in the copy (the next byte is the separator): they are
// copied into shared chunks, each value's QByteArray pointing into a chunk and holding a reference
// on it, every piece followed by a NUL.
class LexemeArena final
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
    static constexpr std::size_t chunksize = 4096;
    static constexpr std::size_t maxpiece = 256;
    QByteArray m_chunk;
    std::size_t m_used = 0;
};

} // namespace

// Builds the value tree from the reader's events. Finished values wait on a scratch stack, and the
// names of the members of open objects on a second one; when a container closes, its elements are
// moved from the top of the stacks into a vector of the exact size, as the reader gives the count.
// Values are made in place on the stack.
class JsonValue::Builder final
{
public:
    Builder(Pieces& pieces, qsizetype size, int maxdepth) : m_pieces(pieces), m_maxdepth(maxdepth)
    {
        // A long list waits whole on the stack before its array closes: room for one value per
        // 32 bytes of reply spares growing it step by step (pages never reached cost nothing).
        const auto room = static_cast<std::size_t>(std::clamp<qsizetype>(size / 32, 64, qsizetype(1) << 20));
        m_values.reserve(room);
        m_keys.reserve(64);
    }

    bool Null()
    {
        m_values.emplace_back();
        return true;
    }
    bool Bool(bool b)
    {
        JsonValue& v = m_values.emplace_back();
        v.m_kind = Kind::Bool;
        v.m_bool = b;
        return true;
    }
    // Numbers arrive as their lexeme (kParseNumbersAsStringsFlag); these are never called.
    bool Int(int) { return false; }
    bool Uint(unsigned) { return false; }
    bool Int64(int64_t) { return false; }
    bool Uint64(uint64_t) { return false; }
    bool Double(double) { return false; }
    bool RawNumber(const char* str, rapidjson::SizeType length, bool)
    {
        return bytes(Kind::Number, m_lexemes.get(str, length));
    }
    bool String(const char* str, rapidjson::SizeType length, bool)
    {
        return bytes(Kind::String, m_pieces.get(str, length));
    }
    bool Key(const char* str, rapidjson::SizeType length, bool)
    {
        m_keys.push_back(m_pieces.get(str, length));
        return true;
    }
    bool StartObject() { return open(); }
    bool StartArray() { return open(); }

    bool EndObject(rapidjson::SizeType count)
    {
        const auto first = m_values.end() - static_cast<std::ptrdiff_t>(count);
        const auto firstkey = m_keys.end() - static_cast<std::ptrdiff_t>(count);
        std::vector<Member> members;
        members.reserve(count);
        auto key = firstkey;
        for (auto it = first; it != m_values.end(); ++it, ++key)
            members.emplace_back(std::move(*key), std::move(*it));
        m_keys.erase(firstkey, m_keys.end());
        m_values.erase(first, m_values.end());
        JsonValue& v = m_values.emplace_back();
        new (&v.m_members) std::vector<Member>(std::move(members));
        v.m_kind = Kind::Object;
        return close();
    }

    bool EndArray(rapidjson::SizeType count)
    {
        const auto first = m_values.end() - static_cast<std::ptrdiff_t>(count);
        std::vector<JsonValue> items(std::make_move_iterator(first), std::make_move_iterator(m_values.end()));
        m_values.erase(first, m_values.end());
        JsonValue& v = m_values.emplace_back();
        new (&v.m_items) std::vector<JsonValue>(std::move(items));
        v.m_kind = Kind::Array;
        return close();
    }

    bool toodeep() const { return m_toodeep; }
    JsonValue take() { return std::move(m_values.back()); }

private:
    bool bytes(Kind kind, QByteArray&& bytes)
    {
        JsonValue& v = m_values.emplace_back();
        new (&v.m_bytes) QByteArray(std::move(bytes));
        v.m_kind = kind;
        return true;
    }

    bool open()
    {
        if (m_depth >= m_maxdepth) {
            m_toodeep = true;
            return false;
        }
        ++m_depth;
        return true;
    }

    bool close()
    {
        --m_depth;
        return true;
    }

    Pieces& m_pieces;
    int m_maxdepth;
    int m_depth = 0;
    bool m_toodeep = false;
    LexemeArena m_lexemes;
    std::vector<JsonValue> m_values;
    std::vector<QByteArray> m_keys;
};

namespace {

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
    constexpr unsigned flags = rapidjson::kParseInsituFlag | rapidjson::kParseIterativeFlag |
                               rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseStopWhenDoneFlag;
    Pieces pieces(bytes);
    rapidjson::InsituStringStream stream(pieces.data());
    const char* const end = stream.head_ + bytes.size();
    JsonValue::Builder builder(pieces, bytes.size(), maxdepth);
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
        const char* p = stream.src_;
        while (p != end && isjsonspace(*p))
            ++p;
        if (p != end) {
            offset = static_cast<std::size_t>(p - stream.head_);
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
