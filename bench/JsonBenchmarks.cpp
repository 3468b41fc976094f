#include "Benchmarks.h"
#include "SampleReplies.h"

#include "api/JsonValue.h"

#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <tuple>

namespace {

void parsequilba(benchmark::State& state, const QByteArray& bytes)
{
    QString error;
    if (!parsejson(bytes, &error)) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    for (auto _ : state) {
        std::optional<JsonValue> value = parsejson(bytes);
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void parserapidjson(benchmark::State& state, const QByteArray& bytes)
{
    const auto size = static_cast<std::size_t>(bytes.size());
    if (rapidjson::Document().Parse(bytes.constData(), size).HasParseError()) {
        state.SkipWithError("RapidJSON refuse le document");
        return;
    }
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(bytes.constData(), size);
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

} // namespace

void registerjsonbenchmarks()
{
    // The same bytes for both readers of a pair; built once and kept for the whole run.
    static const QByteArray member = SampleReplies::memberwithevents(500);
    static const QByteArray list = SampleReplies::memberlist(10000);
    // The best of three runs of each: the machine's other work weighs on none of them alone.
    using Reader = void (*)(benchmark::State&, const QByteArray&);
    const std::tuple<const char*, Reader, const QByteArray*> runs[] = {
        {names::memberQuilba, parsequilba, &member},
        {names::memberRapidjson, parserapidjson, &member},
        {names::listQuilba, parsequilba, &list},
        {names::listRapidjson, parserapidjson, &list},
    };
    for (const auto& [name, reader, bytes] : runs)
        benchmark::RegisterBenchmark(name, reader, *bytes)->Repetitions(3)->Unit(benchmark::kMicrosecond);
}
