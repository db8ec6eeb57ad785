#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include "vnlib/info/VnInfoWithCover.h"

namespace {

plat::Bytes png(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return plat::Bytes(bytes.begin(), bytes.end());
}

class BytesProxy : public VndDataProxy {
  public:
    explicit BytesProxy(std::optional<plat::Bytes> bytes) : bytes_(std::move(bytes)) {}
    std::optional<plat::Bytes> data() override {
        ++asked;
        return bytes_;
    }
    void purgeMemoryCache() override { ++purged; }
    int asked = 0;
    int purged = 0;

  private:
    std::optional<plat::Bytes> bytes_;
};

}  // namespace

TEST(VnInfoWithCover, DecodesLazilyAndFallsBackToTheFullResolutionCover) {
    auto record = std::make_shared<VnInfoWithCover>();
    EXPECT_FALSE(record->coverImage());
    EXPECT_FALSE(record->fullResolutionCoverImage());
    auto full = std::make_shared<BytesProxy>(png(40, 60));
    record->setFullResolutionCoverImageDataProvider(full);
    ASSERT_TRUE(record->coverImage());
    EXPECT_EQ(record->coverImage()->height(), 60);
    EXPECT_FALSE(record->coverImageLoaded());

    auto cover = std::make_shared<BytesProxy>(png(4, 6));
    record->setCoverImageDataProvider(cover);
    EXPECT_EQ(record->coverImage()->width(), 4);
    EXPECT_TRUE(record->coverImageLoaded());
    EXPECT_EQ(cover->asked, 1);

    // A new provider drops the decoded cover of the old one.
    record->setCoverImageDataProvider(std::make_shared<BytesProxy>(png(8, 8)));
    EXPECT_EQ(record->coverImage()->width(), 8);

    // Bytes that are not a picture give nothing.
    record->setCoverImageDataProvider(std::make_shared<BytesProxy>(plat::Bytes{1, 2, 3}));
    EXPECT_EQ(record->coverImage()->height(), 60);
}

TEST(VnInfoWithCover, ProviderIdentityPurgeAndReplace) {
    auto record = std::make_shared<VnInfoWithCover>();
    auto full = std::make_shared<BytesProxy>(png(10, 10));
    record->setFullResolutionCoverImageDataProvider(full);
    auto first = record->fullResolutionCoverImage();
    record->setFullResolutionCoverImageDataProvider(full);
    EXPECT_EQ(record->fullResolutionCoverImage(), first);  // same provider: kept
    record->setFullResolutionCoverImageDataProvider(std::make_shared<BytesProxy>(png(10, 10)));
    EXPECT_NE(record->fullResolutionCoverImage(), first);

    auto cover = std::make_shared<BytesProxy>(png(2, 2));
    record->setCoverImageDataProvider(cover);
    record->coverImage();
    record->purgeMemoryCache();
    EXPECT_FALSE(record->coverImageLoaded());
    record->coverImage();
    EXPECT_EQ(cover->asked, 2);  // the caching wrapper let go of its bytes too

    auto image = plat::Image::imageWithData(png(3, 3));
    auto provider = std::make_shared<BytesProxy>(std::nullopt);
    record->replaceCoverWithImage(image, provider);
    EXPECT_TRUE(record->coverImageLoaded());
    EXPECT_EQ(record->coverImage(), image);
    EXPECT_EQ(provider->asked, 0);
    EXPECT_EQ(record->requestForCoverImage(), nullptr);
    EXPECT_THROW(std::make_shared<VnInfoWithCover>()->requestForCoverImage(), plat::Exception);
}

TEST(VnInfoWithCover, PicturesAreNotPartOfTheDictionaryForm) {
    auto record = std::make_shared<VnInfoWithCover>();
    record->initWithDictionary(
        plat::makeDictionary({{plat::Value("Code"), plat::Value("c")},
                              {plat::Value("CoverImageDataProvider"), plat::Value("x")}}));
    EXPECT_FALSE(record->coverImageDataProvider());  // never loaded
    auto plain = std::make_shared<VnInfoWithCover>();
    plain->initWithDictionary(plat::makeDictionary({{plat::Value("Code"), plat::Value("c")}}));
    auto keys = plain->proxyForJson().dictionary()->allKeys();
    for (const char* name : {"CoverImage", "CoverImageDataProvider", "FullResolutionCoverImage",
                             "FullResolutionCoverImageDataProvider"}) {
        EXPECT_EQ(std::count(keys.begin(), keys.end(), plat::Value(name)), 0) << name;
    }
}

TEST(VnInfoWithCover, TransformTurnsASuccessIntoTheRecord) {
    auto record = std::make_shared<VnInfoWithCover>();
    auto image = plat::Image::imageWithData(png(5, 5));
    auto ok = std::make_shared<VnRequestResult>(plat::Value(image), nullptr);
    auto out = record->requestProxy_request_transformRequestResult(nullptr, nullptr, ok);
    EXPECT_EQ(out->returnValue().as<VnInfoWithCover>(), record);
    EXPECT_EQ(record->coverImage(), image);
    auto failed = VnRequestResult::failedResultWithErrorMessage("x");
    EXPECT_EQ(record->requestProxy_request_transformRequestResult(nullptr, nullptr, failed),
              failed);
}

// A record that never had a cover answers none everywhere, purges without effect, and takes a
// cover set later like any other.
TEST(VnInfoWithCover, ARecordWithoutACoverAnswersNone) {
    auto record = std::make_shared<VnInfoWithCover>();
    record->purgeMemoryCache();
    record->purgeFullCoverImageMemoryCache();
    record->setCoverImageDataProvider(nullptr);
    EXPECT_FALSE(record->coverImage());
    EXPECT_FALSE(record->fullResolutionCoverImage());
    EXPECT_FALSE(record->coverImageDataProvider());
    EXPECT_FALSE(record->fullResolutionCoverImageDataProvider());
    EXPECT_FALSE(record->coverImageLoaded());
    auto full = std::make_shared<BytesProxy>(png(4, 4));
    record->setFullResolutionCoverImageDataProvider(full);
    EXPECT_EQ(record->fullResolutionCoverImageDataProvider(), full);
    EXPECT_TRUE(record->coverImage());  // falls back to the full-resolution cover
    EXPECT_FALSE(record->coverImageLoaded());
}
