// Content asset requests against the demo service: location, download, cache, file-info cache.
#include <gtest/gtest.h>

#include "ContextTestSupport.h"
#include "demo-service/DemoCovers.h"
#include "vnlib/domain/content/VnContentAsset.h"
#include "vnlib/domain/content/VnContentAssetRequest.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

using demo::Json;

namespace {

using ContentAssetTest = ContextTest;

TEST_F(ContentAssetTest, LocatesDownloadsAndThenAnswersFromTheCache) {
    auto user = context->activeUserContext();
    auto watcher = std::make_shared<RequestWatcher>();
    user->requestPageFileWithMagazineIssueInfo(issueRecord("MG01-2401"), 3)
        ->startWithDelegate(watcher, "w_");
    plat::RunLoop::current().runUntil([&] { return watcher->result != nullptr; });
    ASSERT_TRUE(watcher->result && watcher->result->succeed()) << watcher->result->description();
    auto asset = watcher->result->returnValue().as<VnContentAsset>();
    ASSERT_TRUE(asset);
    const auto expected = demo::demoContent(demo::demoContentPath("MG01-2401", "PAGE", "PDF", "3"));
    const auto bytes = asset->data();
    ASSERT_TRUE(expected && bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), expected->first);
    EXPECT_EQ(calls("GetAssetFiles"), 1U);
    EXPECT_NE(std::find(watcher->steps.begin(), watcher->steps.end(), std::pair{2.0F, 100.0F}),
              watcher->steps.end());
    EXPECT_EQ(asset->filePath().filename(), "PAGE_PDF_3");

    // Complete in the cache: a later turn, no request, no progress.
    service.clearRequests();
    auto again = std::make_shared<RequestWatcher>();
    user->requestPageFileWithMagazineIssueInfo(issueRecord("MG01-2401"), 3)
        ->startWithDelegate(again, "w_");
    EXPECT_FALSE(again->result);
    plat::RunLoop::current().runUntil([&] { return again->result != nullptr; });
    ASSERT_TRUE(again->result->succeed());
    EXPECT_TRUE(service.requests().empty());
    EXPECT_TRUE(again->steps.empty());

    // A known location skips the location call; an entry older than 4 hours is gone.
    auto id = VnContentAssetId::idWithMagazineIssueCode("MG01-2401", "4", 2, 0);
    auto known = std::make_shared<VnAssetFileInfo>();
    known->primaryUrl_ = service.baseUrl() + demo::demoContentPath("MG01-2401", "PAGE", "PDF", "4");
    VnContentAssetRequest::addGlobalFileInfo(known, id);
    ASSERT_TRUE(run(user->requestAssetForMagazineIssue(issueRecord("MG01-2401"), id))->succeed());
    EXPECT_TRUE(service.requestsForMethod("GetAssetFiles").empty());
    const double now = plat::Date::now().seconds;
    EXPECT_TRUE(VnContentAssetRequest::fileInfoForAssetId(id, now + 14399));
    EXPECT_FALSE(VnContentAssetRequest::fileInfoForAssetId(id, now + 14401));
    EXPECT_FALSE(VnContentAssetRequest::fileInfoForAssetId(id, now));

    // A location that fails is forgotten: the next attempt asks for it again.
    auto dead = VnContentAssetId::idWithMagazineIssueCode("MG01-2401", "9", 2, 0);
    auto gone = std::make_shared<VnAssetFileInfo>();
    gone->primaryUrl_ = "http://127.0.0.1:1/gone.pdf";
    VnContentAssetRequest::addGlobalFileInfo(gone, dead);
    EXPECT_FALSE(
        run(user->requestAssetForMagazineIssue(issueRecord("MG01-2401"), dead))->succeed());
    EXPECT_FALSE(VnContentAssetRequest::fileInfoForAssetId(dead));
    EXPECT_TRUE(run(user->requestAssetForMagazineIssue(issueRecord("MG01-2401"), dead))->succeed());

    // Width alone: the same cache file, another key.
    auto wide = VnContentAssetId::idWithMagazineIssueCode("MG01-2401", "4", 2, 0);
    wide->setWidth(120);
    EXPECT_EQ(VnBookStoreUserContext::cacheFileNameForAssetId(*wide),
              VnBookStoreUserContext::cacheFileNameForAssetId(*id));
    EXPECT_FALSE(VnContentAssetIdEqual()(wide, id));
}

TEST_F(ContentAssetTest, NoLocationAndHostileIdsFailClearly) {
    auto user = context->activeUserContext();
    service.addMethod("GetAssetFiles", [](const Json&, demo::Session&) { return Json::array(); });
    auto none = run(user->requestPageFileWithMagazineIssueInfo(issueRecord("MG01-2401"), 7));
    ASSERT_FALSE(none->succeed());
    EXPECT_EQ(none->error()->domain(), "");
    EXPECT_EQ(none->error()->code(), 404);

    service.clearRequests();
    for (const char* bad : {"../x", "a/b", "..", ""}) {
        auto hostile = user->requestAssetForMagazineIssue(issueRecord("MG01-2401"), 5, 1, bad);
        bool inCall = false;
        Ref<VnRequestResult> result;
        hostile->startWithDidFinishBlock([&](const Ref<VnRequestResult>& r, const plat::Value&) {
            result = r;
            inCall = true;
        });
        EXPECT_FALSE(inCall);
        plat::RunLoop::current().runUntil([&] { return result != nullptr; });
        ASSERT_TRUE(result);
        EXPECT_FALSE(result->succeed()) << bad;
        EXPECT_NE(result->errorMessage().value_or("").find("cannot name a file"),
                  std::string::npos);
    }
    EXPECT_TRUE(service.requests().empty());
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(VnBookStoreContext::storageRootPath()))
        EXPECT_EQ(entry.path().filename().string().find("INTERACTIVE"), std::string::npos);
}

}  // namespace
