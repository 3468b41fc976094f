#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

// A JSON value as the platform sent it: object members keep their reply order (the first
// member names the reply), numbers keep their lexeme, strings keep their bytes (UTF-8).
class JsonValue
{
public:
    enum class Kind
    {
        Null,
        Bool,
        Number,
        String,
        Array,
        Object
    };
    using Member = std::pair<QByteArray, JsonValue>;

    JsonValue() noexcept {}
    JsonValue(const JsonValue& other);
    JsonValue(JsonValue&& other) noexcept;
    JsonValue& operator=(const JsonValue& other);
    JsonValue& operator=(JsonValue&& other) noexcept;
    ~JsonValue()
    {
        if (m_kind != Kind::Null && m_kind != Kind::Bool)
            release();
    }
    static JsonValue null() { return JsonValue(); }
    static JsonValue boolean(bool value);
    static JsonValue number(QByteArray lexeme);
    static JsonValue string(QByteArray utf8);
    static JsonValue string(const QString& text) { return string(text.toUtf8()); }
    static JsonValue array();
    static JsonValue array(std::vector<JsonValue> items);
    static JsonValue object();
    static JsonValue object(std::vector<Member> members);

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::Null; }
    bool isBool() const { return m_kind == Kind::Bool; }
    bool isNumber() const { return m_kind == Kind::Number; }
    bool isString() const { return m_kind == Kind::String; }
    bool isArray() const { return m_kind == Kind::Array; }
    bool isObject() const { return m_kind == Kind::Object; }

    bool boolValue() const { return m_kind == Kind::Bool && m_bool; }
    // The number's lexeme or the string's bytes (empty for other kinds).
    const QByteArray& bytes() const { return isNumber() || isString() ? m_bytes : noBytes(); }
    // The string's bytes decoded as UTF-8.
    QString text() const { return QString::fromUtf8(bytes()); }

    // The elements of an array, the members of an object (empty for other kinds).
    const std::vector<JsonValue>& items() const { return isArray() ? m_items : noItems(); }
    const std::vector<Member>& members() const { return isObject() ? m_members : noMembers(); }
    // The first member of that name, or null when there is none (objects only).
    const JsonValue* find(std::string_view key) const;

    // Adds an element or a member; a value of another kind first becomes an empty array or object.
    void append(JsonValue value);
    void insert(QByteArray key, JsonValue value);
    // Room for that many elements (arrays) or members (objects).
    void reserve(std::size_t count);

    // Compact JSON text (no blanks, members in order, number lexemes and string bytes as kept).
    QByteArray tojson() const;

    // A kind's French name, for conversion messages.
    static QString kindname(Kind kind);

private:
    static const QByteArray& noBytes();
    static const std::vector<JsonValue>& noItems();
    static const std::vector<Member>& noMembers();
    void become(Kind kind);
    // The references a release drops, gathered per shared block, and the reader's tree builder,
    // which makes values in place (both defined with the reader).
    class Drops;
    class Builder;
    friend std::optional<JsonValue> parsejson(const QByteArray& bytes, QString* error, int maxdepth);
    void release() noexcept;
    void release(Drops& drops) noexcept;
    void movefrom(JsonValue& other) noexcept;

    // A value holds only what its kind needs: a long list is a great many values.
    Kind m_kind = Kind::Null;
    union {
        bool m_bool = false;            // Bool
        QByteArray m_bytes;             // Number, String
        std::vector<JsonValue> m_items; // Array
        std::vector<Member> m_members;  // Object
    };
};

// Reads one JSON document (bytes as UTF-8). Nesting deeper than maxdepth is refused.
// On failure returns nothing and, when error is given, a French description.
std::optional<JsonValue> parsejson(const QByteArray& bytes, QString* error = nullptr, int maxdepth = 512);

// The text as the inside of a JSON string: '"', '\' and control characters escaped.
QString jsonescape(const QString& text);
// True when the text is a JSON number as the grammar writes it ("-12", "3.5e2") and as the reader
// takes it (not "1e400", beyond the range of a double).
bool isjsonnumber(const QString& text);
