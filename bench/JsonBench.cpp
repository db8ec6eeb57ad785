// Reading and writing catalogue-shaped JSON replies (about 1 MB and 20 MB) with our reader and
// writer, and in the same run with RapidJSON (DOM parse, Writer) and nlohmann-json, which are
// the peers they are measured against. Throughput is reported as bytes per second of JSON text.
// After the run it prints our speed as a multiple of the fastest peer's (RapidJSON; its DOM parse
// with UTF-8 validation, as ours validates) and the memory the decoded 20 MB reply takes as a
// multiple of the text.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "CatalogueGenerator.h"
#include "HeapInUse.h"
#include "RatioReporter.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/json/JSONKitSerializing.h"

namespace {

const std::string& reply(int64_t megabytes) {
    static std::map<int64_t, std::string> replies;
    auto it = replies.find(megabytes);
    if (it == replies.end()) {
        it = replies.emplace(megabytes, bench::catalogueReply(static_cast<size_t>(megabytes) << 20))
                 .first;
    }
    return it->second;
}

void setThroughput(benchmark::State& state, size_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["MB"] = static_cast<double>(bytes) / (1 << 20);
}

// ---- Reading ----
// Each reader is measured twice: the parse alone (the result is freed outside the timing), and
// the parse together with freeing the result.

void BM_Parse_Varnel(benchmark::State& state) {
    const std::string& text = reply(state.range(0));
    for (auto _ : state) {
        plat::Value v = objectFromJSONString(text);
        if (v.isNil())
            throw std::runtime_error("the reply did not parse");
        benchmark::DoNotOptimize(v);
    }
    setThroughput(state, text.size());
}

void BM_ParseOnly_Varnel(benchmark::State& state) {
    const std::string& text = reply(state.range(0));
    for (auto _ : state) {
        plat::Value v = objectFromJSONString(text);
        if (v.isNil())
            throw std::runtime_error("the reply did not parse");
        state.PauseTiming();
        v = plat::Value();
        state.ResumeTiming();
    }
    setThroughput(state, text.size());
}

void BM_ParseOnly_RapidJSON(benchmark::State& state) {
    const std::string& text = reply(state.range(0));
    for (auto _ : state) {
        auto d = std::make_unique<rapidjson::Document>();
        d->Parse(text.data(), text.size());
        if (d->HasParseError())
            throw std::runtime_error("the reply did not parse");
        state.PauseTiming();
        d.reset();
        state.ResumeTiming();
    }
    setThroughput(state, text.size());
}

void BM_ParseOnly_RapidJSON_ValidatingUTF8(benchmark::State& state) {
    const std::string& text = reply(state.range(0));
    for (auto _ : state) {
        auto d = std::make_unique<rapidjson::Document>();
        d->Parse<rapidjson::kParseValidateEncodingFlag>(text.data(), text.size());
        if (d->HasParseError())
            throw std::runtime_error("the reply did not parse");
        state.PauseTiming();
        d.reset();
        state.ResumeTiming();
    }
    setThroughput(state, text.size());
}

void BM_ParseOnly_Nlohmann(benchmark::State& state) {
    const std::string& text = reply(state.range(0));
    for (auto _ : state) {
        auto j = nlohmann::json::parse(text);
        state.PauseTiming();
        j = nullptr;
        state.ResumeTiming();
    }
    setThroughput(state, text.size());
}

void BM_Parse_RapidJSON(benchmark::State& state) {
    const std::string& text = reply(state.range(0));
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse(text.data(), text.size());
        if (d.HasParseError())
            throw std::runtime_error("the reply did not parse");
        benchmark::DoNotOptimize(d);
    }
    setThroughput(state, text.size());
}

void BM_Parse_RapidJSON_ValidatingUTF8(benchmark::State& state) {
    const std::string& text = reply(state.range(0));
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse<rapidjson::kParseValidateEncodingFlag>(text.data(), text.size());
        if (d.HasParseError())
            throw std::runtime_error("the reply did not parse");
        benchmark::DoNotOptimize(d);
    }
    setThroughput(state, text.size());
}

void BM_Parse_Nlohmann(benchmark::State& state) {
    const std::string& text = reply(state.range(0));
    for (auto _ : state) {
        auto j = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(j);
    }
    setThroughput(state, text.size());
}

// ---- Memory ----
// The memory in use after a parse minus before it, while the decoded tree is kept: its size as a
// multiple of the text ("x_text"). The heap alone does not do: our reader maps the blocks of a
// large tree itself, apart from the heap. A tree holds at least the characters of its texts, far
// more than a tenth of the text: a row that measures less has missed where its tree lies, and
// fails.

template <class Parse>
void measureTree(benchmark::State& state, Parse parse) {
    const std::string& text = reply(state.range(0));
    size_t bytes = 0;
    for (auto _ : state) {
        const size_t before = bench::memoryInUse();
        auto tree = parse(text);
        const size_t after = bench::memoryInUse();
        bytes = after > before ? after - before : 0;
        benchmark::DoNotOptimize(tree);
    }
    if (bytes < text.size() / 10) {
        state.SkipWithError("the tree's memory was not seen");
        return;
    }
    state.counters["tree_MB"] = static_cast<double>(bytes) / (1 << 20);
    state.counters["x_text"] = static_cast<double>(bytes) / static_cast<double>(text.size());
}

void BM_Tree_Varnel(benchmark::State& state) {
    measureTree(state, [](const std::string& text) { return objectFromJSONString(text); });
}

void BM_Tree_RapidJSON(benchmark::State& state) {
    measureTree(state, [](const std::string& text) {
        auto d = std::make_unique<rapidjson::Document>();
        d->Parse<rapidjson::kParseValidateEncodingFlag>(text.data(), text.size());
        return d;
    });
}

// ---- Writing ----

void BM_Write_Varnel(benchmark::State& state) {
    const plat::Value value = objectFromJSONString(reply(state.range(0)));
    const auto dictionary = value.dictionary();
    size_t bytes = 0;
    for (auto _ : state) {
        auto text = JSONString(dictionary);
        if (!text)
            throw std::runtime_error("the reply did not write");
        bytes = text->size();
        benchmark::DoNotOptimize(text);
    }
    setThroughput(state, bytes);
}

void BM_Write_RapidJSON(benchmark::State& state) {
    rapidjson::Document d;
    d.Parse(reply(state.range(0)).c_str());
    size_t bytes = 0;
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        d.Accept(writer);
        bytes = buffer.GetSize();
        benchmark::DoNotOptimize(buffer.GetString());
    }
    setThroughput(state, bytes);
}

void BM_Write_Nlohmann(benchmark::State& state) {
    const auto j = nlohmann::json::parse(reply(state.range(0)));
    size_t bytes = 0;
    for (auto _ : state) {
        std::string text = j.dump();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    setThroughput(state, bytes);
}

}  // namespace

BENCHMARK(BM_ParseOnly_Varnel)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseOnly_RapidJSON)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseOnly_RapidJSON_ValidatingUTF8)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseOnly_Nlohmann)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parse_Varnel)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parse_RapidJSON)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parse_RapidJSON_ValidatingUTF8)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parse_Nlohmann)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write_Varnel)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write_RapidJSON)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write_Nlohmann)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tree_Varnel)->Arg(20)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tree_RapidJSON)->Arg(20)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nOur speed as a multiple of the peer's (1.0 = as fast):\n");
    for (const char* size : {"1", "20"}) {
        const std::string mb = std::string(size) + " MB";
        reporter.printRatio("parse and free, " + mb + ", vs RapidJSON validating",
                            std::string("BM_Parse_RapidJSON_ValidatingUTF8/") + size,
                            std::string("BM_Parse_Varnel/") + size);
        reporter.printRatio("parse only, " + mb + ", vs RapidJSON validating",
                            std::string("BM_ParseOnly_RapidJSON_ValidatingUTF8/") + size,
                            std::string("BM_ParseOnly_Varnel/") + size);
        reporter.printRatio("write, " + mb + ", vs RapidJSON Writer",
                            std::string("BM_Write_RapidJSON/") + size,
                            std::string("BM_Write_Varnel/") + size);
    }
    // The decoded 20 MB tree as a multiple of the text; a row that measured nothing fails the run.
    const double ours = reporter.counter("BM_Tree_Varnel/20/iterations:1", "x_text");
    const double peer = reporter.counter("BM_Tree_RapidJSON/20/iterations:1", "x_text");
    std::printf("decoded 20 MB tree / text: ours %.2fx, RapidJSON %.2fx\n", ours, peer);
    benchmark::Shutdown();
    return ours > 0 && peer > 0 ? 0 : 1;
}
