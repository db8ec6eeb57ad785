// The stream JSON reader given one long string (8 MB) whole, and in the 16 KB and 1 KB pieces a
// network read delivers: reading in pieces should cost about what reading at once does.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>

#include "RatioReporter.h"
#include "vnlib/dev/kxjson/KxJsonStreamParser.h"
#include "vnlib/dev/kxjson/KxJsonStreamParserAccumulator.h"
#include "vnlib/dev/kxjson/KxJsonStreamParserAdapter.h"

namespace {

const std::string& longStringDocument() {
    static const std::string text = [] {
        std::string t = "[\"";
        while (t.size() < (size_t{8} << 20))
            t += "Varnel ไทย \\u0e01 library ";
        t += "\"]";
        return t;
    }();
    return text;
}

void BM_KxJson_LongString(benchmark::State& state) {
    const std::string& text = longStringDocument();
    const size_t piece = state.range(0) == 0 ? text.size() : static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        auto accumulator = std::make_shared<KxJsonStreamParserAccumulator>();
        auto adapter = std::make_shared<KxJsonStreamParserAdapter>();
        adapter->setDelegate(accumulator);
        auto parser = std::make_shared<KxJsonStreamParser>();
        parser->setDelegate(adapter);
        KxJsonStreamParserStatus status = KxJsonStreamParserWaitingForData;
        for (size_t at = 0; at < text.size(); at += piece)
            status =
                parser->parse(std::string_view(text).substr(at, std::min(piece, text.size() - at)));
        if (status != KxJsonStreamParserComplete)
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(accumulator->value());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_KxJson_LongString)->Arg(0)->Arg(16 << 10)->Arg(1 << 10)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("16 KB pieces / whole", "BM_KxJson_LongString/16384",
                        "BM_KxJson_LongString/0");
    reporter.printRatio("1 KB pieces / whole", "BM_KxJson_LongString/1024",
                        "BM_KxJson_LongString/0");
    benchmark::Shutdown();
    return 0;
}
