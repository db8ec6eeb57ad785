// Content asset requests against the demo service: location, download, cache, file-info cache.
#include <gtest/gtest.h>

#include "ContextTestSupport.h"
#include "demo-service/DemoContent.h"
#include "platform/image/Image.h"
#include "vnlib/domain/content/VnContentAsset.h"
#include "vnlib/domain/content/VnContentAssetRequest.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

using demo::Json;

namespace {

using ContentAssetTest = ContextTest;

// The objects a PDF's cross-reference table lists, each found at its offset; -1 when the table,
// its start or an entry is not where it says.
int pdfObjectsAtTheirOffsets(const std::string& pdf) {
    const size_t start = pdf.rfind("startxref\n");
    if (pdf.rfind("%PDF-1.4\n", 0) != 0 || start == std::string::npos)
        return -1;
    const size_t table = std::stoul(pdf.substr(start + 10));
    int first = 0, count = 0;
    if (table >= pdf.size() ||
        std::sscanf(pdf.c_str() + table, "xref\n%d %d\n", &first, &count) != 2)
        return -1;
    const size_t entries = pdf.find('\n', pdf.find('\n', table) + 1) + 1;
    for (int i = 1; i < count; ++i) {
        const std::string entry = pdf.substr(entries + 20 * static_cast<size_t>(i), 20);
        const size_t offset = std::stoul(entry.substr(0, 10));
        if (entry.substr(10) != " 00000 n \n" ||
            pdf.compare(offset, std::to_string(i).size() + 6, std::to_string(i) + " 0 obj") != 0)
            return -1;
    }
    return count - 1;
}

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
    EXPECT_EQ(pdfObjectsAtTheirOffsets(expected->first), 6);  // five objects and the padding
    EXPECT_GT(expected->first.size(), 40'000U);
    EXPECT_EQ(pdfObjectsAtTheirOffsets(demo::demoPdfPage("X(1)", 12, 0)), 5);
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
    for (const auto& call : service.requestsForMethod("GetAssetFiles")) {
        for (const char* bad : {"../x", "a/b", "\"..\""})
            EXPECT_EQ(call.body.find(bad), std::string::npos) << call.body;
    }
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

    // A page preview is a 240x320 picture.
    auto preview = run(user->requestAssetForMagazineIssue(issueRecord("MG01-2401"), 3, 1, "2"));
    ASSERT_TRUE(preview->succeed());
    auto image = plat::Image::imageWithData(*preview->returnValue().as<VnContentAsset>()->data());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 240);
    EXPECT_EQ(image->height(), 320);

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
    // Nothing was asked for them (other traffic of the signed-in context may come and go).
    EXPECT_TRUE(service.requestsForMethod("GetAssetFiles").empty());
    for (const auto& request : service.requests())
        EXPECT_EQ(request.path.find("INTERACTIVE"), std::string::npos) << request.path;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(VnBookStoreContext::storageRootPath()))
        EXPECT_EQ(entry.path().filename().string().find("INTERACTIVE"), std::string::npos);
}

}  // namespace
