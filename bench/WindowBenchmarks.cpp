#include "Benchmarks.h"
#include "SampleReplies.h"
#include "ScriptedDialogs.h"

#include "api/JsonValue.h"
#include "data/DataModule.h"
#include "data/MemoryTable.h"
#include "history/HistoryWindow.h"
#include "members/Lookup.h"
#include "members/MemberChoiceDialog.h"

#include <QTimer>
#include <benchmark/benchmark.h>

namespace {

// The list reply as the counter receives it, read, its rows shown in the choice dialog (table
// filled, grid laid out and painted once), then the dialog closed with "Annuler".
void choicedialog(benchmark::State& state, int members)
{
    const QByteArray reply = SampleReplies::memberlist(members);
    DataModule data;
    MemberChoiceDialog dialog(data.listeMembre());
    int shown = 0;
    for (auto _ : state) {
        const Lookup::Reply read = Lookup::readreply(reply);
        QTimer::singleShot(0, &dialog, [&] {
            shown = data.listeMembre().rowCount();
            benchmark::DoNotOptimize(dialog.grab());
            dialog.reject();
        });
        dialog.choose(read.rows);
    }
    if (shown != members)
        state.SkipWithError("le dialogue n'a pas montré toute la liste");
}

// The event value of a member reply shown by the history window (table filled, grid laid out and
// painted once), then the window closed.
void history(benchmark::State& state, int events)
{
    const std::optional<JsonValue> reply = parsejson(SampleReplies::memberwithevents(events));
    const JsonValue* event = reply ? reply->find("FidelityMember")->find("event") : nullptr;
    if (!event) {
        state.SkipWithError("réponse sans événements");
        return;
    }
    DataModule data;
    ScriptedDialogs dialogs;
    HistoryWindow window(data.historique(), dialogs);
    int shown = 0;
    for (auto _ : state) {
        window.execute(*event);
        shown = data.historique().rowCount();
        benchmark::DoNotOptimize(window.grab());
        window.close();
    }
    // Three events out of four give a row (the uses of coupons give none).
    if (!dialogs.texts().isEmpty() || shown < events / 2)
        state.SkipWithError("l'historique n'a pas montré les événements");
}

} // namespace

void registerwindowbenchmarks()
{
    benchmark::RegisterBenchmark(names::choice10000, choicedialog, 10000)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(names::choice1000, choicedialog, 1000)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(names::history10000, history, 10000)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(names::history1000, history, 1000)->Unit(benchmark::kMillisecond);
}
