// The EPUB issue context against the demo service, the download-stop centre, the issue-context
// collection and the bookstore configuration.
#include <gtest/gtest.h>

#include <fstream>

#include "auxiliary/bookstore/VarnelBookstoreConfiguration.h"
#include "auxiliary/bookstore/VnBookstoreDownloadCenter.h"
#include "auxiliary/bookstore/VnEPUBIssueContext.h"
#include "platform/storage/InfoDictionary.h"
#include "support/ZipBuilder.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/context/ContextTestSupport.h"
#include "vnlib/domain/storage/VnLocalArchive.h"

namespace fs = std::filesystem;
using testing_support::ZipBuilder;

namespace {

class EpubObserver : public plat::Object {
    PLAT_CLASS(EpubObserver)
  public:
    void progress(Ref<VnEPUBIssueContext>, VnEPUBIssueContextProgress p) {
        ++reports;
        lastProgress = p;
    }
    void finished(Ref<VnEPUBIssueContext>, Ref<VnRequestResult> r) { results.push_back(r); }
    int reports = 0;
    VnEPUBIssueContextProgress lastProgress;
    std::vector<Ref<VnRequestResult>> results;
};
PLAT_DEFINE_CLASS(EpubObserver, plat::Object, [](auto& c) {
    c.method("epubIssueContext:progressReport:", &EpubObserver::progress)
        .method("epubIssueContextDidFinishLoading:withResult:", &EpubObserver::finished);
})

class StopObserver : public plat::Object {
    PLAT_CLASS(StopObserver)
  public:
    void stop(Ref<VnBookstoreDownloadCenter>, Ref<VnMagazineIssueInfo> info) {
        codes.push_back(info->code().value_or(""));
    }
    std::vector<std::string> codes;
};
PLAT_DEFINE_CLASS(StopObserver, plat::Object, [](auto& c) {
    c.method("bookstoreDownloadCenter:notifyShouldStopDownload:", &StopObserver::stop);
})

class EpubIssueContextTest : public ContextTest {
  protected:
    void SetUp() override {
        ContextTest::SetUp();
        temp = testing_support::freshTestFolder() / "tmp";
        fs::create_directories(temp);
        environment.set("TMPDIR", temp.string());
    }

    // Starts loading and waits for the outcome.
    Ref<VnRequestResult> load(const Ref<VnEPUBIssueContext>& epub) {
        auto observer = std::make_shared<EpubObserver>();
        epub->addDelegate(observer);
        epub->startLoading();
        // Success always comes on a later turn; an unpacking failure is told at once.
        EXPECT_TRUE(observer->results.empty() || !observer->results.front()->succeed());
        plat::RunLoop::current().runUntil([&] { return !observer->results.empty(); }, 20);
        lastObserver = observer;
        return observer->results.empty() ? nullptr : observer->results.front();
    }

    // Replaces the item's downloaded package with a zip holding `book` as "book.epub".
    void replacePackage(const Ref<VnEPUBIssueContext>& epub,
                        const std::function<void(ZipBuilder&)>& book, bool withBook = true) {
        const fs::path bookPath = temp.parent_path() / "book.epub";
        fs::remove(bookPath);
        {
            ZipBuilder builder(bookPath);
            book(builder);
            ASSERT_TRUE(builder.close());
        }
        std::ifstream in(bookPath, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        const fs::path package =
            context->activeUserContext()->cachedAssetWithId(epub->epubAssetId())->filePath();
        fs::remove(package);
        ZipBuilder outer(package);
        outer.add("readme.txt", "x");
        if (withBook)
            outer.add("book.epub", bytes, false);
        ASSERT_TRUE(outer.close());
    }

    bool tempIsEmpty() const { return fs::is_empty(temp); }

    fs::path temp;
    Ref<EpubObserver> lastObserver;
};

TEST_F(EpubIssueContextTest, DownloadsUnpacksMarksAndResumesFromEachStage) {
    auto user = context->activeUserContext();
    auto item = issueRecord("BK0001", "Book");
    auto epub = VnEPUBIssueContext::initWithIssueInfo(item, user);
    EXPECT_EQ(epub->currentState(), VnEPUBIssueContext::NotDownloaded);
    EXPECT_EQ(epub->finishedMarkerFilePath().string(),
              epub->epubCachePath().string() + ".finished");

    // Nothing yet: download, unpack (a backslash-named container file), mark.
    auto result = load(epub);
    ASSERT_TRUE(result && result->succeed()) << (result ? result->description() : "no result");
    EXPECT_GT(lastObserver->reports, 0);
    EXPECT_EQ(epub->currentState(), VnEPUBIssueContext::Finished);
    EXPECT_TRUE(epub->finished());
    const fs::path book = epub->epubBookPath();
    EXPECT_TRUE(fs::exists(book / "mimetype"));
    EXPECT_TRUE(fs::exists(book / "META-INF" / "container.xml"));
    EXPECT_TRUE(fs::exists(book / "OEBPS" / "chapter1.xhtml"));
    EXPECT_TRUE(epub->epubCachePathCompleted());
    EXPECT_TRUE(tempIsEmpty());

    // Marked: success on a later turn, no request.
    service.clearRequests();
    auto again = VnEPUBIssueContext::initWithIssueInfo(item, user);
    EXPECT_TRUE(again->finished());
    ASSERT_TRUE(load(again)->succeed());
    EXPECT_TRUE(service.requests().empty());

    // Downloaded but not unpacked: unpack only.
    fs::remove(epub->finishedMarkerFilePath());
    fs::remove_all(book);
    auto unpackOnly = VnEPUBIssueContext::initWithIssueInfo(item, user);
    EXPECT_EQ(unpackOnly->currentState(), VnEPUBIssueContext::Downloaded);
    ASSERT_TRUE(load(unpackOnly)->succeed());
    EXPECT_TRUE(service.requests().empty());
    EXPECT_TRUE(fs::exists(book / "mimetype"));
}

TEST_F(EpubIssueContextTest, BrokenOrHostilePackagesFailWithoutMarkingAndARetryWorks) {
    auto user = context->activeUserContext();
    auto item = issueRecord("BK0001", "Book");
    ASSERT_TRUE(load(VnEPUBIssueContext::initWithIssueInfo(item, user))->succeed());
    auto epub = VnEPUBIssueContext::initWithIssueInfo(item, user);
    fs::remove(epub->finishedMarkerFilePath());
    const fs::path itemFolder = epub->epubCachePath().parent_path();

    struct Case {
        std::string label;
        std::function<void(ZipBuilder&)> book;
        bool withBook;
        std::string message;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"no book", [](ZipBuilder&) {}, false, "Cannot extract epub file", ""},
        {"zip slip", [](ZipBuilder& z) { z.add("ok.txt", "1").add("../../evil.txt", "x"); }, true,
         "Cannot open epub file", "Refused zip entry '../../evil.txt': path escapes the folder"},
        {"absolute", [](ZipBuilder& z) { z.add("/evil.txt", "x"); }, true, "Cannot open epub file",
         "absolute path"},
        {"symlink", [](ZipBuilder& z) { z.addSymlink("link", "/etc"); }, true,
         "Cannot open epub file", "symbolic link"},
        {"bomb", [](ZipBuilder& z) { z.addWithDeclaredSize("big", std::string(1 << 20, 0), 10); },
         true, "Cannot open epub file", "inflates past its declared size"},
        {"corrupt", [](ZipBuilder& z) { z.addWithWrongCrc("chapter.xhtml", "text"); }, true,
         "Cannot open epub file", "CRC mismatch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        replacePackage(epub, c.book, c.withBook);
        auto failing = VnEPUBIssueContext::initWithIssueInfo(item, user);
        EXPECT_EQ(failing->currentState(), VnEPUBIssueContext::Downloaded);
        auto result = load(failing);
        ASSERT_TRUE(result);
        EXPECT_FALSE(result->succeed());
        EXPECT_EQ(result->errorMessage(), c.message);
        if (!c.reason.empty()) {
            const plat::Value reason =
                result->error()->userInfo()->objectForKey("NSLocalizedFailureReason");
            EXPECT_NE(reason.stringOr().find(c.reason), std::string::npos) << reason.stringOr();
        }
        EXPECT_EQ(failing->currentState(), VnEPUBIssueContext::Downloaded);
        EXPECT_FALSE(failing->epubCachePathCompleted());
        EXPECT_TRUE(tempIsEmpty());
        for (const auto& entry : fs::recursive_directory_iterator(itemFolder.parent_path()))
            EXPECT_EQ(entry.path().filename().string().find("evil"), std::string::npos);
        EXPECT_FALSE(fs::is_symlink(epub->epubCachePath() / "link"));
    }

    // A good package later: the same context unpacks it.
    replacePackage(epub, [](ZipBuilder& z) { z.add("mimetype", "application/epub+zip"); });
    ASSERT_TRUE(load(epub)->succeed());
    EXPECT_TRUE(epub->finished());
}

TEST_F(EpubIssueContextTest, FailedDownloadsTellNormalUsersAFixedTextAndTestUsersTheCause) {
    auto item = issueRecord("ZZ99-9999", "Book");  // the service has no such item
    auto normal = VnEPUBIssueContext::initWithIssueInfo(item, context->activeUserContext());
    auto result = load(normal);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->errorMessage(), "Book download failed. Please try again later.");
    EXPECT_EQ(normal->currentState(), VnEPUBIssueContext::NotDownloaded);

    auto tester =
        VnBookStoreUserContext::make(context, VnUserId::userIdWithUserName("tester"), true);
    auto testEpub = VnEPUBIssueContext::initWithIssueInfo(item, tester);
    result = load(testEpub);
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->succeed());
    EXPECT_NE(result->errorMessage(), "Book download failed. Please try again later.");
}

TEST_F(EpubIssueContextTest, DownloadCentreCollectionAndConfiguration) {
    // The centre: twice registered, told twice; others skipped; removal drops the newest.
    auto center = std::make_shared<VnBookstoreDownloadCenter>();
    auto item = issueRecord("MG01-2401");
    center->notifyShouldStopDownloadWithIssueInfo(item);  // nobody listens
    auto observer = std::make_shared<StopObserver>();
    auto bystander = std::make_shared<EpubObserver>();
    center->addDownloadObserver(observer);
    center->addDownloadObserver(bystander);
    center->addDownloadObserver(observer);
    center->notifyShouldStopDownloadWithIssueInfo(item);
    EXPECT_EQ(observer->codes, (std::vector<std::string>{"MG01-2401", "MG01-2401"}));
    center->removeDownloadObserver(observer);
    center->notifyShouldStopDownloadWithIssueInfo(item);
    EXPECT_EQ(observer->codes.size(), 3u);
    EXPECT_EQ(VnBookstoreDownloadCenter::defaultCenter(),
              VnBookstoreDownloadCenter::defaultCenter());
    EXPECT_NE(VnBookstoreDownloadCenter::defaultCenter(), center);

    // The collection: a later item with the same code wins; unknown items have none.
    auto first = issueRecord("MG01-2401"), twin = issueRecord("MG01-2401"),
         other = issueRecord("MG01-2402");
    auto collection = VnMagazineIssueContextCollection::initWithInfos({first, other, twin},
                                                                      context->activeUserContext());
    EXPECT_EQ(collection->infos().size(), 3u);
    ASSERT_TRUE(collection->contextWithInfo(first));
    EXPECT_EQ(collection->contextWithInfo(first), collection->contextWithInfo(twin));
    EXPECT_NE(collection->contextWithInfo(first), collection->contextWithInfo(other));
    EXPECT_FALSE(collection->contextWithInfo(issueRecord("XX00-0000")));

    // The configuration: defaults, and a shop map that replaces the whole table.
    auto configuration = std::make_shared<VarnelBookstoreConfiguration>();
    EXPECT_EQ(configuration->currencyConversionRateMap()->count(), 6u);
    EXPECT_EQ(configuration->currencyConversionRateMap()->objectForKey("THB").number()->type(),
              'i');
    EXPECT_EQ(configuration->shopCategoryTabColor(), VarnelColor::white(244.0 / 255.0));
    EXPECT_FALSE(configuration->toolbarColor());
    EXPECT_TRUE(configuration->shopEnabled());
    configuration->loadFromDictionary(plat::makeDictionary(
        {{"Shop", plat::makeDictionary(
                      {{"CurrencyConversionRateMap", plat::makeDictionary({{"USD", 1.0}})}})},
         {"LookAndFeel", plat::makeDictionary({{"ToolbarColor", "red"}})}}));
    EXPECT_EQ(configuration->currencyConversionRateMap()->count(), 1u);
    EXPECT_FALSE(configuration->toolbarColor());
    EXPECT_FALSE(configuration->promotionConfig()->enabled());
    EXPECT_FALSE(configuration->promotionConfig()->headerText());
    EXPECT_EQ(configuration->maxSameAuthorBookList(), 10);
    EXPECT_EQ(configuration->convertPrice(10, "usd", "thb"), 0.0f);
    const auto& shared = VarnelBookstoreConfiguration::sharedConfiguration();
    EXPECT_EQ(shared->currencyConversionRateMap()->count(), 6u);  // no customisation here
    EXPECT_FALSE(shared->promotionConfig()->forceRegistration());
}

}  // namespace
