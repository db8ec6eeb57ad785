// Decoding pictures: sizes read first, oversized and broken pictures refused with a reason,
// decoding on many threads at once.
#include <gtest/gtest.h>
#include <zlib.h>

#include <QBuffer>
#include <QImage>
#include <thread>

#include "platform/image/Image.h"

namespace {

plat::Bytes encoded(int width, int height, const char* format) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return plat::Bytes(bytes.begin(), bytes.end());
}

// A PNG whose header claims a size without the pixels to go with it.
plat::Bytes pngHeaderOnly(uint32_t width, uint32_t height) {
    plat::Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    plat::Bytes chunk = {'I', 'H', 'D', 'R'};
    for (uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            chunk.push_back(static_cast<uint8_t>(v >> shift));
    chunk.insert(chunk.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    for (uint32_t v : {13u})
        for (int shift = 24; shift >= 0; shift -= 8)
            png.push_back(static_cast<uint8_t>(v >> shift));
    png.insert(png.end(), chunk.begin(), chunk.end());
    const uint32_t crc =
        static_cast<uint32_t>(crc32(0, chunk.data(), static_cast<uInt>(chunk.size())));
    for (int shift = 24; shift >= 0; shift -= 8)
        png.push_back(static_cast<uint8_t>(crc >> shift));
    // An empty IDAT chunk: the header is complete, the pixels are missing.
    const plat::Bytes idat = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E};
    png.insert(png.end(), idat.begin(), idat.end());
    return png;
}

TEST(Image, SizesComeFirstAndEveryRefusalSaysWhy) {
    auto jpeg = plat::Image::imageWithData(encoded(240, 320, "JPEG"));
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->width(), 240);
    EXPECT_EQ(jpeg->height(), 320);

    Ref<plat::Error> error;
    EXPECT_FALSE(plat::Image::imageWithData({}, &error));
    EXPECT_EQ(error->code(), 1);
    EXPECT_FALSE(
        plat::Image::imageWithData({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'g'}, &error));
    EXPECT_EQ(error->code(), 2);
    EXPECT_FALSE(plat::Image::imageWithData(pngHeaderOnly(100'000, 100'000), &error));
    EXPECT_EQ(error->code(), 3);
    EXPECT_NE(error->localizedDescription().find("100000x100000"), std::string::npos);
    plat::Bytes cut = encoded(64, 64, "PNG");
    cut.resize(cut.size() / 2);
    EXPECT_FALSE(plat::Image::imageWithData(cut, &error));
    EXPECT_EQ(error->code(), 4);

    // Eight threads decode at once.
    const plat::Bytes png = encoded(300, 200, "PNG");
    std::vector<std::thread> threads;
    std::atomic<int> decoded{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                auto image = plat::Image::imageWithData(png);
                decoded += image && image->width() == 300 ? 1 : 0;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(decoded, 160);
}

}  // namespace
