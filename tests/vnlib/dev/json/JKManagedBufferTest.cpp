#include <gtest/gtest.h>

#include <cstring>

#include "vnlib/dev/json/JKConvertUTF8.h"
#include "vnlib/dev/json/JKManagedBuffer.h"

TEST(JKManagedBuffer, MovesFromBorrowedStorageToTheHeapInGranules) {
    unsigned char frame[4096];
    std::memset(frame, 'x', sizeof frame);
    JKManagedBuffer buffer;
    buffer.growthGranule = 32768;
    jk_managedBuffer_setToStackBuffer(buffer, frame, sizeof frame);
    EXPECT_EQ(buffer.location(), JKManagedBufferBorrowed);

    unsigned char* heap = jk_managedBuffer_resize(buffer, 5000);
    ASSERT_NE(heap, nullptr);
    EXPECT_NE(heap, frame);
    EXPECT_EQ(buffer.bytes.length, 32768u);
    EXPECT_EQ(buffer.location(), JKManagedBufferOnHeap);
    EXPECT_TRUE(buffer.flags & JKManagedBufferMustFree);
    EXPECT_EQ(heap[0], 'x');
    EXPECT_EQ(heap[4095], 'x');

    // Within the rounded size: no reallocation.
    EXPECT_EQ(jk_managedBuffer_resize(buffer, 30000), heap);
    EXPECT_EQ(buffer.bytes.length, 32768u);

    heap[40000 % 32768] = 'y';
    unsigned char* bigger = jk_managedBuffer_resize(buffer, 70000);
    ASSERT_NE(bigger, nullptr);
    EXPECT_EQ(buffer.bytes.length, 98304u);
    EXPECT_EQ(bigger[40000 % 32768], 'y');

    jk_managedBuffer_release(buffer);
    EXPECT_EQ(buffer.bytes.ptr, nullptr);
    EXPECT_EQ(buffer.bytes.length, 0u);
    EXPECT_EQ(buffer.location(), JKManagedBufferLocationNone);
}

TEST(JKManagedBuffer, ReleasingBorrowedStorageLeavesItAlone) {
    unsigned char frame[64] = {1, 2, 3};
    {
        JKManagedBuffer buffer;
        jk_managedBuffer_setToStackBuffer(buffer, frame, sizeof frame);
        jk_managedBuffer_release(buffer);
        jk_managedBuffer_setToStackBuffer(buffer, frame, sizeof frame);
    }  // the destructor releases again; the sanitizers catch a free of the frame
    EXPECT_EQ(frame[2], 3);
}

namespace {

struct Decoded {
    ConversionResult result;
    uint32_t codePoint;
    size_t consumed;
};

Decoded decode(std::initializer_list<uint8_t> bytes) {
    std::vector<uint8_t> v(bytes);
    const uint8_t* next = nullptr;
    uint32_t cp = 0;
    const ConversionResult r =
        ConvertSingleCodePointInUTF8(v.data(), v.data() + v.size(), &next, &cp);
    return {r, cp, static_cast<size_t>(next - v.data())};
}

}  // namespace

TEST(ConvertSingleCodePointInUTF8, DecodesAndClassifiesSequences) {
    auto d = decode({0xC3, 0xA9});
    EXPECT_EQ(d.result, conversionOK);
    EXPECT_EQ(d.codePoint, 0xE9u);
    EXPECT_EQ(d.consumed, 2u);

    d = decode({0xF0, 0x9F, 0x98, 0x80});
    EXPECT_EQ(d.result, conversionOK);
    EXPECT_EQ(d.codePoint, 0x1F600u);
    EXPECT_EQ(d.consumed, 4u);

    d = decode({0xE0, 0xB8, 0x81, 0x41});  // Thai ko kai, then more text
    EXPECT_EQ(d.result, conversionOK);
    EXPECT_EQ(d.codePoint, 0x0E01u);
    EXPECT_EQ(d.consumed, 3u);

    // Cut off by the end of the input.
    d = decode({0xE2, 0x82});
    EXPECT_EQ(d.result, sourceExhausted);
    EXPECT_EQ(d.codePoint, 0xFFFDu);
    EXPECT_EQ(d.consumed, 2u);

    // A foreign byte inside the sequence: only the lead byte is consumed.
    d = decode({0xE2, 0x41});
    EXPECT_EQ(d.result, sourceIllegal);
    EXPECT_EQ(d.codePoint, 0xFFFDu);
    EXPECT_EQ(d.consumed, 1u);

    // Well formed but forbidden, and encoded surrogates, overlong forms, stray bytes.
    for (auto bytes :
         {std::initializer_list<uint8_t>{0xEF, 0xBF, 0xBF},
          std::initializer_list<uint8_t>{0xEF, 0xBF, 0xBE},
          std::initializer_list<uint8_t>{0xEF, 0xB7, 0x90},
          std::initializer_list<uint8_t>{0xF0, 0x9F, 0xBF, 0xBF},
          std::initializer_list<uint8_t>{0xED, 0xA0, 0x80},
          std::initializer_list<uint8_t>{0xC0, 0x80},
          std::initializer_list<uint8_t>{0xF5, 0x80, 0x80, 0x80},
          std::initializer_list<uint8_t>{0x80}, std::initializer_list<uint8_t>{0xFF, 0x41}}) {
        d = decode(bytes);
        EXPECT_EQ(d.result, sourceIllegal) << std::hex << int(*bytes.begin());
        EXPECT_EQ(d.codePoint, 0xFFFDu);
    }
    EXPECT_EQ(decode({0xED, 0xA0, 0x80}).consumed, 3u);
}

TEST(ConvertUTF32toUTF8, EncodesAndReplacesForbiddenCodePoints) {
    uint8_t out[4];
    EXPECT_EQ(ConvertUTF32toUTF8(0x41, out), 1u);
    EXPECT_EQ(ConvertUTF32toUTF8(0xE9, out), 2u);
    EXPECT_EQ(ConvertUTF32toUTF8(0x0E01, out), 3u);
    EXPECT_EQ(ConvertUTF32toUTF8(0x1F600, out), 4u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{0xF0, 0x9F, 0x98, 0x80}));
    for (uint32_t bad : {0x0u, 0xD800u, 0xFFFFu, 0x110000u}) {
        ASSERT_EQ(ConvertUTF32toUTF8(bad, out), 3u);
        EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{0xEF, 0xBF, 0xBD}));
    }
}
