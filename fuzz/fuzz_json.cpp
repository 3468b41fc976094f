// parsejson against RapidJSON's own document reader: both accept the same documents (a NUL byte
// is content for parsejson, the end for RapidJSON, and nesting beyond the limit is refused), they
// read the same tree, and writing the tree back reads again as the same text.
#include "FuzzCheck.h"

#include "api/JsonValue.h"

#include <rapidjson/document.h>
#include <rapidjson/memorystream.h>

#include <cstdint>
#include <cstring>

namespace {

constexpr int maxdepth = 512;

int depth(const rapidjson::Value& v)
{
    int inner = 0;
    if (v.IsArray()) {
        for (const auto& item : v.GetArray())
            inner = std::max(inner, depth(item));
        return inner + 1;
    }
    if (v.IsObject()) {
        for (const auto& m : v.GetObject())
            inner = std::max(inner, depth(m.value));
        return inner + 1;
    }
    return 0;
}

bool samebytes(QByteArrayView ours, const rapidjson::Value& string)
{
    return static_cast<std::size_t>(ours.size()) == string.GetStringLength() &&
           std::memcmp(ours.constData(), string.GetString(), string.GetStringLength()) == 0;
}

bool same(const JsonValue& ours, const rapidjson::Value& theirs)
{
    switch (ours.kind()) {
    case JsonValue::Kind::Null:
        return theirs.IsNull();
    case JsonValue::Kind::Bool:
        return theirs.IsBool() && theirs.GetBool() == ours.boolValue();
    case JsonValue::Kind::Number:
    case JsonValue::Kind::String:
        // Numbers are read as their lexeme on both sides.
        return theirs.IsString() && samebytes(ours.view(), theirs);
    case JsonValue::Kind::Array: {
        if (!theirs.IsArray() || theirs.Size() != ours.items().size())
            return false;
        for (rapidjson::SizeType i = 0; i < theirs.Size(); ++i) {
            if (!same(ours.items()[i], theirs[i]))
                return false;
        }
        return true;
    }
    case JsonValue::Kind::Object: {
        if (!theirs.IsObject() || theirs.MemberCount() != ours.members().size())
            return false;
        std::size_t i = 0;
        for (const auto& m : theirs.GetObject()) {
            const JsonValue::Member& mine = ours.members()[i++];
            if (!samebytes(mine.first, m.name) || !same(mine.second, m.value))
                return false;
        }
        return true;
    }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const std::optional<JsonValue> ours = parsejson(bytes, &error, maxdepth);
    FUZZ_CHECK(ours.has_value() == error.isEmpty());
    FUZZ_CHECK(ours || error.startsWith(QStringLiteral("JSON invalide à l'octet ")));

    rapidjson::MemoryStream stream(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    rapidjson::Document theirs;
    theirs.ParseStream<rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag>(stream);
    const bool accepted = !theirs.HasParseError() && !bytes.contains('\0') && depth(theirs) <= maxdepth;
    FUZZ_CHECK(ours.has_value() == accepted);
    if (!ours)
        return 0;
    FUZZ_CHECK(same(*ours, theirs));

    const QByteArray compact = ours->tojson();
    const std::optional<JsonValue> again = parsejson(compact, nullptr, maxdepth);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->tojson() == compact);
    return 0;
}
