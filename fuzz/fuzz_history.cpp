// The history rows: any event value either gives rows of the three known kinds or stops with a
// French message, and the table historique takes every row.
#include "FuzzCheck.h"

#include "api/JsonValue.h"
#include "api/QuilbaError.h"
#include "data/DataModule.h"
#include "data/MemoryTable.h"
#include "history/HistoryRows.h"

#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<JsonValue> parsed = parsejson(bytes);
    if (!parsed)
        return 0;
    // The event value comes from under "event" in a member object; a bare value is tried too.
    const JsonValue* event = parsed->find("event");
    const JsonValue& eventlist = event ? *event : *parsed;
    if (HistoryRows::isempty(eventlist))
        return 0;

    std::vector<HistoryRow> rows;
    try {
        rows = HistoryRows::rows(eventlist);
    } catch (const QuilbaError& e) {
        FUZZ_CHECK(isgetterfailure(e.message()) ||
                   e.message().startsWith(QStringLiteral("L'historique de ce client est illisible")));
        return 0;
    }
    for (const HistoryRow& row : rows) {
        FUZZ_CHECK(!row.Type.isEmpty());
        FUZZ_CHECK(row.Date == HistoryRows::showndate(row.uDate));
    }

    static const std::unique_ptr<MemoryTable> historique(DataModule::createhistorique(nullptr));
    HistoryRows::fill(*historique, eventlist);
    FUZZ_CHECK(historique->rowCount() == static_cast<int>(rows.size()));
    historique->clear();
    return 0;
}
