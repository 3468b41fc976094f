#include "api/JsonValue.h"

// RapidJSON's SSE2 scanning stays off: in place, after an escape, it lets a raw control character
// through, so a reply that is not JSON would be read.
#include <rapidjson/error/error.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>

using namespace Qt::StringLiterals;

// The memory of one tree: the bytes of its strings, numbers and names, and the arrays of its
// arrays and objects, taken from large blocks and given back all at once with the store. The
// values held by the program count the references; the values inside hold none and have nothing
// to destroy. A tree's top may grow its own array in place while it alone holds the store.
class JsonValue::Store final
{
public:
    explicit Store(std::size_t blocksize) : m_blocksize(blocksize) {}
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
    ~Store()
    {
        while (m_blocks) {
            std::byte* const next = std::launder(reinterpret_cast<Block*>(m_blocks))->next;
            delete[] m_blocks;
            m_blocks = next;
        }
    }

    void retain() noexcept { m_refs.fetch_add(1, std::memory_order_relaxed); }
    // True when that was the last reference.
    bool drop() noexcept { return m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1; }
    bool unique() const noexcept { return m_refs.load(std::memory_order_acquire) == 1; }

    void* allocate(std::size_t size, std::size_t align)
    {
        void* at = m_next;
        std::size_t left = m_left;
        if (std::align(align, size, at, left)) {
            m_next = static_cast<std::byte*>(at) + size;
            m_left = left - size;
            return at;
        }
        // A large piece gets a block of its own, and the current block goes on serving.
        if (size >= m_blocksize / 2)
            return block(size);
        std::byte* const fresh = block(m_blocksize);
        m_next = fresh + size;
        m_left = m_blocksize - size;
        m_blocksize = std::min(m_blocksize * 2, maxblock);
        return fresh;
    }

    template <typename T> T* allocate(std::size_t count)
    {
        static_assert(alignof(T) <= alignof(std::max_align_t));
        return static_cast<T*>(allocate(count * sizeof(T), alignof(T)));
    }

    // The bytes followed by a NUL, as the reader leaves the strings in place.
    char* copytext(const char* data, std::size_t size)
    {
        char* const text = static_cast<char*>(allocate(size + 1, 1));
        if (size > 0)
            std::memcpy(text, data, size);
        text[size] = '\0';
        return text;
    }

    // The array that a tree's top grew last, with its room: it alone may grow in place.
    void* m_growing = nullptr;
    std::size_t m_room = 0;

private:
    static constexpr std::size_t maxblock = std::size_t(8) << 20;
    // The head of each block: the block allocated before it.
    struct alignas(std::max_align_t) Block
    {
        std::byte* next;
    };

    std::byte* block(std::size_t size)
    {
        auto* const raw = new std::byte[sizeof(Block) + size];
        new (raw) Block{m_blocks};
        m_blocks = raw;
        return raw + sizeof(Block);
    }

    std::atomic<std::size_t> m_refs{1};
    std::byte* m_blocks = nullptr;
    std::byte* m_next = nullptr;
    std::size_t m_left = 0;
    std::size_t m_blocksize;
};

namespace {

std::uint32_t checkedsize(std::size_t size)
{
    if (size > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("JsonValue: too large");
    return static_cast<std::uint32_t>(size);
}

} // namespace

JsonValue::JsonValue(const JsonValue& other) noexcept
    : m_kind(other.m_kind), m_bool(other.m_bool), m_owner(other.m_store != nullptr), m_size(other.m_size),
      m_data(other.m_data), m_store(other.m_store)
{
    if (m_store)
        m_store->retain();
}

JsonValue::JsonValue(JsonValue&& other) noexcept
    : m_kind(other.m_kind), m_bool(other.m_bool), m_owner(other.m_owner), m_size(other.m_size),
      m_data(other.m_data), m_store(other.m_store)
{
    other.m_kind = Kind::Null;
    other.m_owner = false;
    other.m_store = nullptr;
}

JsonValue& JsonValue::operator=(const JsonValue& other) noexcept
{
    if (this != &other)
        *this = JsonValue(other);
    return *this;
}

JsonValue& JsonValue::operator=(JsonValue&& other) noexcept
{
    if (this != &other) {
        JsonValue taken(std::move(other));
        std::swap(m_kind, taken.m_kind);
        std::swap(m_bool, taken.m_bool);
        std::swap(m_owner, taken.m_owner);
        std::swap(m_size, taken.m_size);
        std::swap(m_data, taken.m_data);
        std::swap(m_store, taken.m_store);
    }
    return *this;
}

void JsonValue::release() noexcept
{
    if (m_store->drop())
        delete m_store;
}

JsonValue JsonValue::inner(const JsonValue& value) noexcept
{
    JsonValue v(value.m_kind, value.m_size, value.m_data, value.m_store);
    v.m_bool = value.m_bool;
    return v;
}

JsonValue JsonValue::clone(const JsonValue& from, Store& into)
{
    switch (from.m_kind) {
    case Kind::Null:
    case Kind::Bool: {
        JsonValue v(from.m_kind, 0, nullptr, &into);
        v.m_bool = from.m_bool;
        return v;
    }
    case Kind::Number:
    case Kind::String:
        return JsonValue(from.m_kind, from.m_size,
                         into.copytext(static_cast<const char*>(from.m_data), from.m_size), &into);
    case Kind::Array: {
        JsonValue* const items = from.m_size > 0 ? into.allocate<JsonValue>(from.m_size) : nullptr;
        const auto* const source = static_cast<const JsonValue*>(from.m_data);
        for (std::uint32_t i = 0; i < from.m_size; ++i)
            new (&items[i]) JsonValue(clone(source[i], into));
        return JsonValue(Kind::Array, from.m_size, items, &into);
    }
    case Kind::Object: {
        Member* const members = from.m_size > 0 ? into.allocate<Member>(from.m_size) : nullptr;
        const auto* const source = static_cast<const Member*>(from.m_data);
        for (std::uint32_t i = 0; i < from.m_size; ++i) {
            const QByteArrayView key = source[i].first;
            const char* const name = into.copytext(key.data(), static_cast<std::size_t>(key.size()));
            new (&members[i]) Member(QByteArrayView(name, key.size()), clone(source[i].second, into));
        }
        return JsonValue(Kind::Object, from.m_size, members, &into);
    }
    }
    return JsonValue();
}

// Turns the value into an empty value of that kind.
void JsonValue::become(Kind kind) noexcept
{
    if (m_owner)
        release();
    m_kind = kind;
    m_bool = false;
    m_owner = false;
    m_size = 0;
    m_data = nullptr;
    m_store = nullptr;
}

// How many elements or members the value's array has room for.
std::size_t JsonValue::room() const
{
    return m_data && m_store && m_store->m_growing == m_data ? m_store->m_room : m_size;
}

// The value's array with room for count elements or members, in a store that it alone holds: the
// array grows in place when it can, and the tree is copied into a store of its own when its store
// is shared.
template <typename T> T* JsonValue::makeroom(std::size_t count)
{
    const bool alone = m_owner && m_store->unique();
    if (alone && count <= room())
        return static_cast<T*>(m_data);
    const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(checkedsize(count), 4));
    std::unique_ptr<Store> fresh(alone ? nullptr : new Store(capacity * sizeof(T) * 2));
    Store& into = alone ? *m_store : *fresh;
    T* const array = into.allocate<T>(capacity);
    const T* const source = static_cast<const T*>(m_data);
    for (std::uint32_t i = 0; i < m_size; ++i) {
        if constexpr (std::is_same_v<T, Member>) {
            if (alone) {
                new (&array[i]) Member(source[i].first, inner(source[i].second));
            } else {
                const QByteArrayView key = source[i].first;
                const char* const name = into.copytext(key.data(), static_cast<std::size_t>(key.size()));
                new (&array[i]) Member(QByteArrayView(name, key.size()), clone(source[i].second, into));
            }
        } else {
            new (&array[i]) JsonValue(alone ? inner(source[i]) : clone(source[i], into));
        }
    }
    if (!alone) {
        if (m_owner)
            release();
        m_store = fresh.release();
        m_owner = true;
    }
    m_data = array;
    m_store->m_growing = array;
    m_store->m_room = capacity;
    return array;
}

QByteArrayView JsonValue::view() const
{
    if (m_kind != Kind::Number && m_kind != Kind::String)
        return QByteArrayView();
    return QByteArrayView(static_cast<const char*>(m_data), m_size);
}

std::span<const JsonValue> JsonValue::items() const
{
    if (m_kind != Kind::Array)
        return {};
    return {static_cast<const JsonValue*>(m_data), m_size};
}

std::span<const JsonValue::Member> JsonValue::members() const
{
    if (m_kind != Kind::Object)
        return {};
    return {static_cast<const Member*>(m_data), m_size};
}

JsonValue JsonValue::piece(Kind kind, QByteArrayView bytes)
{
    const std::uint32_t size = checkedsize(static_cast<std::size_t>(bytes.size()));
    std::unique_ptr<Store> store(new Store(size + std::size_t(1)));
    char* const text = store->copytext(bytes.data(), size);
    JsonValue v(kind, size, text, store.release());
    v.m_owner = true;
    return v;
}

JsonValue JsonValue::number(const QByteArray& lexeme)
{
    return piece(Kind::Number, lexeme);
}

JsonValue JsonValue::string(const QByteArray& utf8)
{
    return piece(Kind::String, utf8);
}

JsonValue JsonValue::array()
{
    JsonValue v;
    v.m_kind = Kind::Array;
    return v;
}

JsonValue JsonValue::array(const std::vector<JsonValue>& items)
{
    JsonValue v = array();
    v.reserve(items.size());
    for (const JsonValue& item : items)
        v.append(item);
    return v;
}

JsonValue JsonValue::object()
{
    JsonValue v;
    v.m_kind = Kind::Object;
    return v;
}

JsonValue JsonValue::object(const std::vector<Member>& members)
{
    JsonValue v = object();
    v.reserve(members.size());
    for (const auto& [key, value] : members)
        v.insert(key.toByteArray(), value);
    return v;
}

void JsonValue::append(JsonValue value)
{
    if (m_kind != Kind::Array)
        become(Kind::Array);
    JsonValue* const items = makeroom<JsonValue>(std::size_t(m_size) + 1);
    new (&items[m_size]) JsonValue(clone(value, *m_store));
    ++m_size;
}

void JsonValue::insert(QByteArray key, JsonValue value)
{
    if (m_kind != Kind::Object)
        become(Kind::Object);
    const std::uint32_t keysize = checkedsize(static_cast<std::size_t>(key.size()));
    Member* const members = makeroom<Member>(std::size_t(m_size) + 1);
    const char* const name = m_store->copytext(key.constData(), keysize);
    new (&members[m_size]) Member(QByteArrayView(name, keysize), clone(value, *m_store));
    ++m_size;
}

const JsonValue* JsonValue::find(std::string_view key) const
{
    for (const Member& m : members()) {
        if (static_cast<std::size_t>(m.first.size()) == key.size() &&
            std::memcmp(m.first.data(), key.data(), key.size()) == 0)
            return &m.second;
    }
    return nullptr;
}

void JsonValue::reserve(std::size_t count)
{
    if (m_kind == Kind::Array && count > room())
        makeroom<JsonValue>(count);
    else if (m_kind == Kind::Object && count > room())
        makeroom<Member>(count);
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

void appendescaped(QByteArray& out, QByteArrayView bytes)
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
        out.append(value.view());
        break;
    case JsonValue::Kind::String:
        out.append('"');
        appendescaped(out, value.view());
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

// The document is parsed in place (rapidjson::InsituStringStream), in a copy of its bytes in the
// tree's store, followed by a NUL: the reader decodes each string where it stands and ends it
// with a NUL, so a string's or a name's bytes are a piece of that copy, and so are the lexemes of
// numbers (the reader writes nothing outside strings). The reader never reads past a NUL byte,
// which answers the end; a NUL inside the bytes stops it there too, and the check after the
// document tells the two apart by the length.
//
// Builds the value tree from the reader's events. Finished values wait on a scratch stack, and the
// names of the members of open objects on a second one; when a container closes, its elements are
// copied from the top of the stacks into an array of the store, as the reader gives the count.
class JsonValue::Builder final
{
public:
    Builder(const QByteArray& bytes, int maxdepth) : m_maxdepth(maxdepth)
    {
        const auto size = static_cast<std::size_t>(bytes.size());
        // The tree takes about two and a half times the reply: one block holds both, most often.
        m_store.reset(new Store(std::clamp<std::size_t>(size / 2 * 7, 1024, std::size_t(64) << 20)));
        m_text = m_store->copytext(bytes.constData(), size);
        // A long list waits whole on the stack before its array closes: room for one value per
        // 32 bytes of reply spares growing it step by step (pages never reached cost nothing).
        m_values.reserve(std::clamp<std::size_t>(size / 32, 64, std::size_t(1) << 20));
        m_keys.reserve(64);
    }

    char* text() { return m_text; }

    bool Null() { return scalar(Kind::Null, false); }
    bool Bool(bool b) { return scalar(Kind::Bool, b); }
    // Numbers arrive as their lexeme (kParseNumbersAsStringsFlag); these are never called.
    bool Int(int) { return false; }
    bool Uint(unsigned) { return false; }
    bool Int64(int64_t) { return false; }
    bool Uint64(uint64_t) { return false; }
    bool Double(double) { return false; }
    bool RawNumber(const char* str, rapidjson::SizeType length, bool)
    {
        return piece(Kind::Number, str, length);
    }
    bool String(const char* str, rapidjson::SizeType length, bool)
    {
        return piece(Kind::String, str, length);
    }
    bool Key(const char* str, rapidjson::SizeType length, bool)
    {
        m_keys.emplace_back(str, static_cast<qsizetype>(length));
        return true;
    }
    bool StartObject() { return open(); }
    bool StartArray() { return open(); }

    bool EndObject(rapidjson::SizeType count)
    {
        const std::size_t first = m_values.size() - count;
        const std::size_t firstkey = m_keys.size() - count;
        Member* const members = count > 0 ? m_store->allocate<Member>(count) : nullptr;
        for (std::size_t i = 0; i < count; ++i)
            new (&members[i]) Member(m_keys[firstkey + i], inner(m_values[first + i]));
        m_keys.resize(firstkey);
        m_values.resize(first);
        return close(Kind::Object, count, members);
    }

    bool EndArray(rapidjson::SizeType count)
    {
        const std::size_t first = m_values.size() - count;
        JsonValue* const items = count > 0 ? m_store->allocate<JsonValue>(count) : nullptr;
        for (std::size_t i = 0; i < count; ++i)
            new (&items[i]) JsonValue(inner(m_values[first + i]));
        m_values.resize(first);
        return close(Kind::Array, count, items);
    }

    bool toodeep() const { return m_toodeep; }

    // The document's value, which takes over the store's reference.
    JsonValue take()
    {
        JsonValue v = inner(m_values.back());
        v.m_owner = true;
        m_store.release();
        return v;
    }

private:
    bool scalar(Kind kind, bool b)
    {
        JsonValue& v = m_values.emplace_back();
        v.m_kind = kind;
        v.m_bool = b;
        v.m_store = m_store.get();
        return true;
    }

    bool piece(Kind kind, const char* str, rapidjson::SizeType length)
    {
        JsonValue& v = m_values.emplace_back();
        v.m_kind = kind;
        v.m_size = length;
        v.m_data = m_text + (str - m_text);
        v.m_store = m_store.get();
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

    bool close(Kind kind, std::uint32_t count, void* array)
    {
        JsonValue& v = m_values.emplace_back();
        v.m_kind = kind;
        v.m_size = count;
        v.m_data = array;
        v.m_store = m_store.get();
        --m_depth;
        return true;
    }

    std::unique_ptr<Store> m_store;
    char* m_text = nullptr;
    int m_maxdepth;
    int m_depth = 0;
    bool m_toodeep = false;
    std::vector<JsonValue> m_values;
    std::vector<QByteArrayView> m_keys;
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
    JsonValue::Builder builder(bytes, maxdepth);
    rapidjson::InsituStringStream stream(builder.text());
    const char* const end = stream.head_ + bytes.size();
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
