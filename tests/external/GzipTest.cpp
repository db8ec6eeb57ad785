// Gzip bodies and responses: pieces of any size, whole buffers, whole files, and the failures.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>

#include "external/ASIDataCompressor.h"
#include "platform/storage/ScopedEnvironment.h"

namespace {

plat::Bytes catalogueText(size_t size) {
    const std::string words[] = {"{\"Code\":\"MG01-2401\",", "\"Title\":\"สุขภาพดี\",",
                                 "\"Price\":49.0,", "\"Pages\":84},"};
    plat::Bytes out;
    for (size_t i = 0; out.size() < size; ++i) {
        const std::string& w = words[(i * 7 + i / 3) % 4];
        out.insert(out.end(), w.begin(), w.end());
        out.push_back(static_cast<uint8_t>('0' + i % 10));
    }
    out.resize(size);
    return out;
}

plat::Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return plat::Bytes(std::istreambuf_iterator<char>(in), {});
}

TEST(Gzip, PiecesAndBuffersRoundTripAndBrokenInputFailsClearly) {
    Ref<plat::Error> error;
    EXPECT_FALSE(ASIDataCompressor::compressData({}, &error));
    EXPECT_FALSE(error);

    // One byte at a time both ways.
    const plat::Bytes data = catalogueText(5'000);
    auto compressor = ASIDataCompressor::compressor();
    plat::Bytes gzip;
    for (size_t i = 0; i < data.size(); ++i) {
        auto piece = compressor->compressBytes(&data[i], 1, &error, false);
        ASSERT_TRUE(piece) << i;
        gzip.insert(gzip.end(), piece->begin(), piece->end());
    }
    auto tail = compressor->finishStream(&error);
    ASSERT_TRUE(tail);
    gzip.insert(gzip.end(), tail->begin(), tail->end());
    ASSERT_GE(gzip.size(), 2U);
    EXPECT_EQ(gzip[0], 0x1F);
    EXPECT_EQ(gzip[1], 0x8B);
    auto decompressor = ASIDataDecompressor::decompressor();
    plat::Bytes back;
    for (size_t i = 0; i < gzip.size(); ++i) {
        auto piece = decompressor->uncompressBytes(&gzip[i], 1, &error);
        ASSERT_TRUE(piece) << i;
        back.insert(back.end(), piece->begin(), piece->end());
    }
    EXPECT_TRUE(decompressor->reachedEnd());
    EXPECT_EQ(back, data);

    // Whole buffers; zlib-wrapped input is read too.
    const plat::Bytes big = catalogueText(300'000);
    auto whole = ASIDataCompressor::compressData(big, &error);
    ASSERT_TRUE(whole);
    EXPECT_LT(whole->size(), big.size() / 4);
    EXPECT_EQ(ASIDataDecompressor::uncompressData(*whole, &error), big);
    uLongf zlibSize = compressBound(big.size());
    plat::Bytes zlibData(zlibSize);
    ASSERT_EQ(compress2(zlibData.data(), &zlibSize, big.data(), big.size(), 6), Z_OK);
    zlibData.resize(zlibSize);
    EXPECT_EQ(ASIDataDecompressor::uncompressData(zlibData, &error), big);

    // Two members, whole and a byte at a time, inflate to both; bytes after a member that begin
    // no other fail.
    plat::Bytes twoMembers = *whole;
    twoMembers.insert(twoMembers.end(), gzip.begin(), gzip.end());
    plat::Bytes both = big;
    both.insert(both.end(), data.begin(), data.end());
    EXPECT_EQ(ASIDataDecompressor::uncompressData(twoMembers, &error), both);
    decompressor = ASIDataDecompressor::decompressor();
    back.clear();
    for (size_t i = 0; i < twoMembers.size(); ++i) {
        auto piece = decompressor->uncompressBytes(&twoMembers[i], 1, &error);
        ASSERT_TRUE(piece) << i;
        back.insert(back.end(), piece->begin(), piece->end());
    }
    EXPECT_TRUE(decompressor->reachedEnd());
    EXPECT_EQ(back, both);
    plat::Bytes trailing = gzip;
    trailing.insert(trailing.end(), data.begin(), data.begin() + 20);
    EXPECT_FALSE(ASIDataDecompressor::uncompressData(trailing, &error));

    // Garbage, and a stream cut short, fail with code 11.
    EXPECT_FALSE(ASIDataDecompressor::uncompressData(catalogueText(100), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 11);
    EXPECT_EQ(error->localizedDescription(), "Decompression of data failed with code -3");
    error.reset();
    plat::Bytes cut(whole->begin(), whole->begin() + static_cast<long>(whole->size() / 2));
    EXPECT_FALSE(ASIDataDecompressor::uncompressData(cut, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription(), "Decompression of data failed with code -5");
}

TEST(Gzip, FilesOfAnySizeRoundTripAndFileFailuresSayWhy) {
    const auto folder = testing_support::freshTestFolder();
    for (size_t size : {size_t{0}, size_t{524'288}, size_t{600'000}}) {
        SCOPED_TRACE(size);
        const plat::Bytes data = catalogueText(size);
        const auto source = folder / ("plain" + std::to_string(size));
        const auto packed = folder / ("packed" + std::to_string(size));
        const auto unpacked = folder / ("unpacked" + std::to_string(size));
        std::ofstream(source, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()),
                   static_cast<std::streamsize>(data.size()));
        Ref<plat::Error> error;
        ASSERT_TRUE(ASIDataCompressor::compressDataFromFile(source, packed, &error));
        // A complete gzip stream, trailer included, as zlib itself reads it.
        gzFile file = gzopen(packed.c_str(), "rb");
        std::vector<char> check(size + 1);
        const int n = gzread(file, check.data(), static_cast<unsigned>(check.size()));
        EXPECT_EQ(n, static_cast<int>(size));
        int status = 0;
        gzerror(file, &status);
        EXPECT_EQ(status, Z_OK);
        gzclose(file);
        ASSERT_TRUE(ASIDataDecompressor::uncompressDataFromFile(packed, unpacked, &error));
        EXPECT_EQ(readFile(unpacked), data);
    }

    Ref<plat::Error> error;
    EXPECT_FALSE(ASIDataCompressor::compressDataFromFile(folder / "none", folder / "out", &error));
    EXPECT_EQ(error->localizedDescription(),
              "Compression of " + (folder / "none").string() + " failed the file does not exist");
    EXPECT_FALSE(ASIDataDecompressor::uncompressDataFromFile(folder / "packed600000",
                                                             folder / "no/such/folder", &error));
    EXPECT_EQ(error->code(), 11);
    EXPECT_NE(error->localizedDescription().find("failed because we were to create a file at"),
              std::string::npos);
    // A compressed file cut short is an error, not a short success.
    const plat::Bytes packed = readFile(folder / "packed600000");
    std::ofstream(folder / "cut", std::ios::binary)
        .write(reinterpret_cast<const char*>(packed.data()),
               static_cast<std::streamsize>(packed.size() / 2));
    EXPECT_FALSE(ASIDataDecompressor::uncompressDataFromFile(folder / "cut", folder / "x", &error));
    EXPECT_EQ(error->localizedDescription(), "Decompression of data failed with code -5");
}

}  // namespace
