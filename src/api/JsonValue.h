#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

// A JSON value as the platform sent it: object members keep their reply order (the first
// member names the reply), numbers keep their lexeme, strings keep their bytes (UTF-8).
//
// A tree lives in one store of its own, shared by its copies: a parsed reply is one copy of the
// reply's bytes (strings and names point into it) and blocks holding its arrays and objects. A
// value held by the program (returned, copied, or made by the static makers) keeps its store
// alive; the values inside a tree hold nothing, the tree's top does it for them. Changing a value
// whose store is shared first copies its tree into a store of its own.
class JsonValue
{
public:
    enum class Kind : std::uint8_t
    {
        Null,
        Bool,
        Number,
        String,
        Array,
        Object
    };
    // The name is a view into the object's tree: it lives as long as the object (or a copy of
    // the member or of its value) does.
    using Member = std::pair<QByteArrayView, JsonValue>;

    JsonValue() noexcept {}
    JsonValue(const JsonValue& other) noexcept;
    JsonValue(JsonValue&& other) noexcept;
    JsonValue& operator=(const JsonValue& other) noexcept;
    JsonValue& operator=(JsonValue&& other) noexcept;
    ~JsonValue()
    {
        if (m_owner)
            release();
    }
    static JsonValue null() { return JsonValue(); }
    static JsonValue number(const QByteArray& lexeme);
    static JsonValue string(const QByteArray& utf8);
    static JsonValue string(const QString& text) { return string(text.toUtf8()); }
    static JsonValue array();
    static JsonValue array(const std::vector<JsonValue>& items);
    static JsonValue object();
    static JsonValue object(const std::vector<Member>& members);

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::Null; }
    bool isBool() const { return m_kind == Kind::Bool; }
    bool isNumber() const { return m_kind == Kind::Number; }
    bool isString() const { return m_kind == Kind::String; }
    bool isArray() const { return m_kind == Kind::Array; }
    bool isObject() const { return m_kind == Kind::Object; }

    bool boolValue() const { return m_kind == Kind::Bool && m_bool; }
    // The number's lexeme or the string's bytes (empty for other kinds), as a copy of their own.
    QByteArray bytes() const { return view().toByteArray(); }
    // The same bytes without a copy, valid as long as this value (or the tree holding it) lives.
    QByteArrayView view() const;
    // The string's bytes decoded as UTF-8.
    QString text() const { return QString::fromUtf8(view()); }

    // The elements of an array, the members of an object (empty for other kinds), valid as long
    // as this value (or the tree holding it) lives and is not changed.
    std::span<const JsonValue> items() const;
    std::span<const Member> members() const;
    // The first member of that name, or null when there is none (objects only).
    const JsonValue* find(std::string_view key) const;

    // Adds an element or a member; a value of another kind first becomes an empty array or object.
    // Both take their own copy first: value or key may well be a piece of this very tree.
    void append(JsonValue value);
    void insert(QByteArray key, JsonValue value);
    // Room for that many elements (arrays) or members (objects).
    void reserve(std::size_t count);

    // Compact JSON text (no blanks, members in order, number lexemes and string bytes as kept).
    QByteArray tojson() const;

    // A kind's French name, for conversion messages.
    static QString kindname(Kind kind);

private:
    // The store of a tree, and the reader's tree builder (both defined with the reader).
    class Store;
    class Builder;
    friend std::optional<JsonValue> parsejson(const QByteArray& bytes, QString* error, int maxdepth);

    // A value inside a tree: it holds no reference on its store.
    JsonValue(Kind kind, std::uint32_t size, void* data, Store* store) noexcept
        : m_kind(kind), m_size(size), m_data(data), m_store(store)
    {
    }
    // The same value, holding no reference: for a place in the same tree.
    static JsonValue inner(const JsonValue& value) noexcept;
    // A copy of from, its bytes and inner values made in into, holding no reference.
    static JsonValue clone(const JsonValue& from, Store& into);
    static JsonValue piece(Kind kind, QByteArrayView bytes);
    void release() noexcept;
    void become(Kind kind) noexcept;
    std::size_t room() const;
    template <typename T> T* makeroom(std::size_t count);

    // Kept small: a long list is a great many values.
    Kind m_kind = Kind::Null;
    bool m_bool = false;      // Bool
    bool m_owner = false;     // holds a reference on m_store
    std::uint32_t m_size = 0; // bytes (Number, String), elements (Array), members (Object)
    void* m_data = nullptr;   // char, JsonValue or Member array in m_store
    Store* m_store = nullptr;
};

// Reads one JSON document (bytes as UTF-8). Nesting deeper than maxdepth is refused.
// On failure returns nothing and, when error is given, a French description.
std::optional<JsonValue> parsejson(const QByteArray& bytes, QString* error = nullptr, int maxdepth = 512);

// The text as the inside of a JSON string: '"', '\' and control characters escaped.
QString jsonescape(const QString& text);
// True when the text is a JSON number as the grammar writes it ("-12", "3.5e2") and as the reader
// takes it (not "1e400", beyond the range of a double).
bool isjsonnumber(const QString& text);
