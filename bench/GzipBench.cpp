// 50 MB of catalogue-like JSON text gzipped and inflated by the request engine's coders (whole
// buffers and whole files) and, in the same run with the same settings, by plain zlib calls.
// Every result is checked (its size, or the file written); the files live in a folder made for the
// run and removed after it. Prints the four speed ratios (engine speed / zlib speed).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>

#include "RatioReporter.h"
#include "TemporaryFolder.h"
#include "external/ASIDataCompressor.h"

namespace {

constexpr size_t kSize = 50u << 20;

const plat::Bytes& text() {
    static const plat::Bytes bytes = [] {
        plat::Bytes out;
        out.reserve(kSize + 256);
        uint32_t seed = 7;
        while (out.size() < kSize) {
            seed = seed * 1103515245 + 12345;
            const std::string item = "{\"Code\":\"MG" + std::to_string(seed % 9000 + 1000) + "-24" +
                                     std::to_string(seed % 12 + 10) + "\",\"Title\":\"สุขภาพดี " +
                                     std::to_string(seed % 977) +
                                     "\",\"Price\":" + std::to_string(seed % 300) +
                                     ".0,\"Pages\":" + std::to_string(seed % 200 + 20) + "},";
            out.insert(out.end(), item.begin(), item.end());
        }
        out.resize(kSize);
        return out;
    }();
    return bytes;
}

const plat::Bytes& gzipped() {
    static const plat::Bytes bytes = *ASIDataCompressor::compressData(text(), nullptr);
    return bytes;
}

// The folder with the text ("plain") and its gzip form ("packed") written whole.
const bench::TemporaryFolder& folder() {
    static const bench::TemporaryFolder folder("varnel-gzip-bench");
    static const bool written = [] {
        auto write = [](const std::filesystem::path& path, const plat::Bytes& bytes) {
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
            out.close();
            return out.good() && bench::fileSize(path) == static_cast<int64_t>(bytes.size());
        };
        return write(folder / "plain", text()) && write(folder / "packed", gzipped());
    }();
    if (!written)
        throw std::runtime_error("the benchmark's input files could not be written");
    return folder;
}

plat::Bytes zlibDeflate(const plat::Bytes& in) {
    z_stream s{};
    deflateInit2(&s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    plat::Bytes out(deflateBound(&s, in.size()));
    s.next_in = const_cast<Bytef*>(in.data());
    s.avail_in = static_cast<uInt>(in.size());
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

plat::Bytes zlibInflate(const plat::Bytes& in) {
    z_stream s{};
    inflateInit2(&s, 47);
    plat::Bytes out(in.size() * 4);
    s.next_in = const_cast<Bytef*>(in.data());
    s.avail_in = static_cast<uInt>(in.size());
    int status = Z_OK;
    while (status == Z_OK) {
        if (s.total_out == out.size())
            out.resize(out.size() * 2);
        s.next_out = out.data() + s.total_out;
        s.avail_out = static_cast<uInt>(out.size() - s.total_out);
        status = inflate(&s, Z_NO_FLUSH);
    }
    out.resize(s.total_out);
    inflateEnd(&s);
    return out;
}

// Plain zlib over files in 256 KiB pieces, as the engine reads them; false when a file cannot
// be opened, read or written whole.
bool zlibFile(const std::filesystem::path& from, const std::filesystem::path& to, bool pack) {
    FILE* in = std::fopen(from.c_str(), "rb");
    FILE* out = std::fopen(to.c_str(), "wb");
    if (!in || !out) {
        if (in)
            std::fclose(in);
        if (out)
            std::fclose(out);
        return false;
    }
    bool written = true;
    z_stream s{};
    if (pack)
        deflateInit2(&s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    else
        inflateInit2(&s, 47);
    std::vector<uint8_t> input(262'144), output(1 << 20);
    size_t n;
    int status = Z_OK;
    while ((n = std::fread(input.data(), 1, input.size(), in)) > 0 || pack) {
        s.next_in = input.data();
        s.avail_in = static_cast<uInt>(n);
        const int flush = pack && n < input.size() ? Z_FINISH : Z_NO_FLUSH;
        do {
            s.next_out = output.data();
            s.avail_out = static_cast<uInt>(output.size());
            status = pack ? deflate(&s, flush) : inflate(&s, Z_NO_FLUSH);
            const size_t produced = output.size() - s.avail_out;
            written = written && std::fwrite(output.data(), 1, produced, out) == produced;
        } while (s.avail_out == 0);
        if (status == Z_STREAM_END || flush == Z_FINISH)
            break;
    }
    pack ? deflateEnd(&s) : inflateEnd(&s);
    const bool readWhole = !std::ferror(in);
    std::fclose(in);
    return std::fclose(out) == 0 && written && readWhole && status == Z_STREAM_END;
}

// A gzip form is whole when it inflates back to the text's size (checked outside the timing).
bool inflatesWhole(const plat::Bytes& packed) {
    const auto plain = ASIDataDecompressor::uncompressData(packed, nullptr);
    return plain && plain->size() == kSize;
}

void BM_Gzip_Engine(benchmark::State& state) {
    std::optional<plat::Bytes> packed;
    for (auto _ : state) {
        packed = ASIDataCompressor::compressData(text(), nullptr);
        benchmark::DoNotOptimize(packed);
    }
    if (!packed || !inflatesWhole(*packed))
        state.SkipWithError("the engine's gzip form is not whole");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}
void BM_Gzip_Zlib(benchmark::State& state) {
    plat::Bytes packed;
    for (auto _ : state) {
        packed = zlibDeflate(text());
        benchmark::DoNotOptimize(packed);
    }
    if (!inflatesWhole(packed))
        state.SkipWithError("zlib's gzip form is not whole");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}
void BM_Inflate_Engine(benchmark::State& state) {
    for (auto _ : state) {
        const auto plain = ASIDataDecompressor::uncompressData(gzipped(), nullptr);
        if (!plain || plain->size() != kSize)
            state.SkipWithError("the engine's inflated text is not whole");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}
void BM_Inflate_Zlib(benchmark::State& state) {
    for (auto _ : state) {
        if (zlibInflate(gzipped()).size() != kSize)
            state.SkipWithError("zlib's inflated text is not whole");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}
void BM_GzipFile_Engine(benchmark::State& state) {
    for (auto _ : state) {
        if (!ASIDataCompressor::compressDataFromFile(folder() / "plain", folder() / "e.gz",
                                                     nullptr))
            state.SkipWithError("the engine could not gzip the file");
    }
    if (bench::fileSize(folder() / "e.gz") <= 0)
        state.SkipWithError("the engine's gzip file is missing");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}
void BM_GzipFile_Zlib(benchmark::State& state) {
    for (auto _ : state) {
        if (!zlibFile(folder() / "plain", folder() / "z.gz", true))
            state.SkipWithError("zlib could not gzip the file");
    }
    if (bench::fileSize(folder() / "z.gz") <= 0)
        state.SkipWithError("zlib's gzip file is missing");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}
void BM_InflateFile_Engine(benchmark::State& state) {
    for (auto _ : state) {
        if (!ASIDataDecompressor::uncompressDataFromFile(folder() / "packed", folder() / "e.out",
                                                         nullptr) ||
            bench::fileSize(folder() / "e.out") != static_cast<int64_t>(kSize))
            state.SkipWithError("the engine's inflated file is not whole");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}
void BM_InflateFile_Zlib(benchmark::State& state) {
    for (auto _ : state) {
        if (!zlibFile(folder() / "packed", folder() / "z.out", false) ||
            bench::fileSize(folder() / "z.out") != static_cast<int64_t>(kSize))
            state.SkipWithError("zlib's inflated file is not whole");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

BENCHMARK(BM_Gzip_Engine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gzip_Zlib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate_Engine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Inflate_Zlib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GzipFile_Engine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GzipFile_Zlib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InflateFile_Engine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InflateFile_Zlib)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    folder();  // the text, its gzip form and both files exist before anything is timed
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("gzip buffer: engine speed / zlib speed", "BM_Gzip_Zlib", "BM_Gzip_Engine");
    reporter.printRatio("inflate buffer: engine speed / zlib speed", "BM_Inflate_Zlib",
                        "BM_Inflate_Engine");
    reporter.printRatio("gzip file: engine speed / zlib speed", "BM_GzipFile_Zlib",
                        "BM_GzipFile_Engine");
    reporter.printRatio("inflate file: engine speed / zlib speed", "BM_InflateFile_Zlib",
                        "BM_InflateFile_Engine");
    benchmark::Shutdown();
    return 0;
}
