#include <gtest/gtest.h>

#include <thread>

#include "platform/runloop/RunLoop.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/FileManager.h"
#include "platform/storage/ScopedEnvironment.h"
#include "support/FileSizeLimit.h"
#include "vnlib/domain/VnAssetFormat.h"
#include "vnlib/domain/content/VnLocalCacheAsset.h"
#include "vnlib/domain/storage/VnLocalArchive.h"

using plat::Bytes;
using plat::FileManager;
namespace fs = std::filesystem;

namespace {

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

std::string contentOf(const fs::path& path) {
    auto bytes = plat::AtomicFile::read(path, 1 << 20);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "(none)";
}

}  // namespace

TEST(CacheAsset, StatesFollowTheFilesFromPartialToComplete) {
    const auto folder = testing_support::freshTestFolder();
    const auto path = folder / "PAGE_PDF_1";
    ASSERT_FALSE(plat::AtomicFile::write(fs::path(path.string() + ".tmp"), bytesOf("12345")));

    auto asset = std::make_shared<VnLocalCacheAsset>(path);
    EXPECT_EQ(asset->state(), VnLocalCacheAssetStatePartial);
    EXPECT_EQ(asset->currentLength(), 5);
    EXPECT_FALSE(asset->appendData(bytesOf("6789")));
    EXPECT_EQ(asset->currentLength(), 9);
    EXPECT_THROW(asset->contentAsset(), plat::Exception);
    asset->markCompleted();
    EXPECT_EQ(asset->state(), VnLocalCacheAssetStateComplete);
    EXPECT_EQ(contentOf(path), "123456789");
    EXPECT_FALSE(FileManager::fileExists(asset->tempFilePath()));
    EXPECT_EQ(asset->contentAsset()->data(), bytesOf("123456789"));
    try {
        asset->appendData(bytesOf("x"));
        ADD_FAILURE() << "appended to a complete asset";
    } catch (const plat::Exception& e) {
        EXPECT_EQ(e.reason(), "Appending data to completed cache");
    }
    EXPECT_EQ(std::make_shared<VnLocalCacheAsset>(path)->state(), VnLocalCacheAssetStateComplete);

    // A replacement is complete at once and its length is the new one; P.tmp stays.
    ASSERT_FALSE(plat::AtomicFile::write(asset->tempFilePath(), bytesOf("old")));
    EXPECT_FALSE(asset->replaceWithData(bytesOf("a longer content")));
    EXPECT_EQ(asset->currentLength(), 16);
    EXPECT_TRUE(FileManager::fileExists(asset->tempFilePath()));
    asset->clearData();
    EXPECT_EQ(asset->state(), VnLocalCacheAssetStateEmpty);
    EXPECT_FALSE(FileManager::fileExists(path) || FileManager::fileExists(asset->tempFilePath()));

    // Completing without bytes leaves an empty file, so a new object agrees with this one.
    auto empty = std::make_shared<VnLocalCacheAsset>(folder / "XML_XML_0");
    empty->markCompleted();
    EXPECT_EQ(empty->state(), VnLocalCacheAssetStateComplete);
    EXPECT_EQ(std::make_shared<VnLocalCacheAsset>(folder / "XML_XML_0")->state(),
              VnLocalCacheAssetStateComplete);
    EXPECT_EQ(contentOf(folder / "XML_XML_0"), "");

    // A copy of a file, through the temporary file.
    Bytes big(100000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7);
    ASSERT_FALSE(plat::AtomicFile::write(folder / "source", big));
    auto copy = std::make_shared<VnLocalCacheAsset>(folder / "COVER_JPG_");
    EXPECT_FALSE(
        copy->replaceWithFileURL(*plat::Url::parse("file://" + (folder / "source").string())));
    EXPECT_EQ(plat::AtomicFile::read(copy->filePath(), 1 << 20), big);
}

TEST(CacheAsset, AppendErrorsSurfaceAndTheWritingLockIsOneTokenAtATime) {
    const auto folder = testing_support::freshTestFolder();
    auto asset = std::make_shared<VnLocalCacheAsset>(folder / "PAGE_PDF_2");
    {
        testing_support::ScopedFileSizeLimit limit(10);
        EXPECT_TRUE(asset->appendData(Bytes(64, 'z')));
    }

    const int32_t token = asset->tryObtainWritingLock();
    EXPECT_GE(token, 1);
    EXPECT_LE(token, 10000000);
    EXPECT_EQ(asset->tryObtainWritingLock(), 0);
    EXPECT_EQ(asset->tryObtainWritingLockWithLocker(42), 0);
    EXPECT_EQ(asset->lockingToken(), token);
    try {
        asset->unlockWithWritingLockToken(token + 1);
        ADD_FAILURE() << "a wrong token unlocked";
    } catch (const plat::Exception& e) {
        EXPECT_NE(std::string(e.reason()).find("Invalid cache unlock token"), std::string::npos);
    }
    asset->unlockWithWritingLockToken(token);
    EXPECT_EQ(asset->tryObtainWritingLockWithLocker(42), 42);
}

TEST(ContentAssetId, NamesKeysAndCacheFiles) {
    auto page = VnContentAssetId::idWithMagazineIssueCode("ISS1", "12", VnAssetTypePage,
                                                          VnAssetFormatTypePDF);
    EXPECT_EQ(VnLocalCacheAsset::cacheFileNameWithAssetId(*page), "PAGE_PDF_12");
    auto preview = VnContentAssetId::idWithMagazineIssueCode("ISS1", "3", VnAssetTypePagePreview,
                                                             VnAssetFormatTypeJPG);
    preview->setWidth(240);
    preview->setHeight(320);
    EXPECT_EQ(VnLocalCacheAsset::cacheFileNameWithAssetId(*preview), "PAGEPREVIEW_JPG_3_240x320");
    auto wide = VnContentAssetId::idWithMagazineIssueCode("ISS1", "12", VnAssetTypePage,
                                                          VnAssetFormatTypePDF);
    wide->setWidth(120);
    EXPECT_EQ(VnLocalCacheAsset::cacheFileNameWithAssetId(*wide), "PAGE_PDF_12");
    EXPECT_FALSE(wide->isEqual(page.get()));  // the same file, another key
    auto twin = VnContentAssetId::idWithMagazineIssueCode("ISS1", "12", VnAssetTypePage,
                                                          VnAssetFormatTypePDF);
    EXPECT_TRUE(twin->isEqual(page.get()));
    EXPECT_EQ(twin->hash(), page->hash());
    auto noCode = VnContentAssetId::idWithMagazineIssueCode(std::nullopt, "12", VnAssetTypePage,
                                                            VnAssetFormatTypePDF);
    EXPECT_FALSE(noCode->isEqual(noCode.get()));
    EXPECT_THROW(VnLocalCacheAsset::cacheFileNameWithAssetId(
                     *VnContentAssetId::idWithMagazineIssueCode("I", "0", 1, 0)),
                 plat::Exception);
}

TEST(ContentAsset, ReadsLazilyScalesAndLoadsInTheBackground) {
    const auto folder = testing_support::freshTestFolder();
    auto asset = std::make_shared<VnContentAsset>(folder / "cover.jpg");
    EXPECT_FALSE(asset->data());  // missing: tried again later
    ASSERT_FALSE(plat::AtomicFile::write(folder / "cover.jpg", bytesOf("one")));
    ASSERT_FALSE(plat::AtomicFile::write(folder / "cover2x.jpg", bytesOf("two")));
    ASSERT_FALSE(plat::AtomicFile::write(folder / "plain2x", bytesOf("bare")));
    EXPECT_EQ(asset->data(), bytesOf("one"));
    EXPECT_EQ(asset->dataWithScale(2), bytesOf("two"));
    EXPECT_EQ(std::make_shared<VnContentAsset>(folder / "plain")->dataWithScale(2),
              bytesOf("bare"));
    ASSERT_FALSE(plat::AtomicFile::write(folder / "cover.jpg", bytesOf("changed")));
    EXPECT_EQ(asset->data(), bytesOf("one"));
    asset->purgeMemoryCache();
    EXPECT_EQ(asset->data(), bytesOf("changed"));
    EXPECT_EQ(asset->description(), "ContentAsset at " + (folder / "cover.jpg").string());

    const auto mainThread = std::this_thread::get_id();
    std::thread::id converterThread;
    bool called = false;
    asset->backgroundLoadData(
        [&](const std::optional<Bytes>& data) {
            converterThread = std::this_thread::get_id();
            return plat::Value(static_cast<int64_t>(data ? data->size() : 0));
        },
        [&](const Ref<VnContentAsset>& from, const plat::Value& converted,
            const plat::Value& userInfo) {
            EXPECT_EQ(from, asset);
            EXPECT_EQ(converted.int64Value(), 7);
            EXPECT_EQ(userInfo, plat::Value("page 1"));
            EXPECT_EQ(std::this_thread::get_id(), mainThread);
            called = true;
        },
        plat::Value("page 1"));
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return called; }, 5));
    EXPECT_NE(converterThread, mainThread);
}

TEST(LocalArchive, HandsOutOneCacheAssetPerFileAndPreloadsTheFolder) {
    const auto folder = testing_support::freshTestFolder();
    auto archive = std::make_shared<VnLocalArchive>(folder / "ISS1");
    ASSERT_FALSE(plat::AtomicFile::write(folder / "ISS1" / "PAGE_PDF_0", bytesOf("pdf")));
    auto asset = archive->assetWithId("PAGE_PDF_0");
    EXPECT_EQ(archive->assetWithId("PAGE_PDF_0"), asset);
    archive->preloadAllCacheAssets();
    ASSERT_FALSE(plat::AtomicFile::write(folder / "ISS1" / "PAGE_PDF_1.tmp", bytesOf("p")));
    archive->preloadAllCacheAssets();  // once per archive: the partial file is not preloaded
    EXPECT_EQ(archive->assetWithId("PAGE_PDF_1")->state(), VnLocalCacheAssetStatePartial);
    EXPECT_EQ(archive->allCacheAssets().size(), 2u);
    archive->clearCacheAssetInMemoryMap();
    EXPECT_NE(archive->assetWithId("PAGE_PDF_0"), asset);
    EXPECT_EQ(archive->assetWithId("../../x")->filePath(), folder / "ISS1" / "..%2F..%2Fx");
}
