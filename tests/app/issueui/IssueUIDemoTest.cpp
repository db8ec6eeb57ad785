// Issues of the demo service opened through their UI context: the showcase downloads every file
// its widgets name and builds every widget ready; hostile descriptions are skipped or read with
// defaults and name no file outside the item's folder.
#include "IssueUITestSupport.h"
#include "app/issueui/MagazineIssueUIContext.h"
#include "app/issueui/MagazinePageUIContext.h"
#include "app/issueui/OverlayWidgets.h"
#include "app/issueui/WidgetFactory.h"
#include "demo-service/DemoContent.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "vnlib/domain/context/ContextTestSupport.h"

using namespace issueui_test;

namespace {

class NoticeRecorder : public plat::Object {
    PLAT_CLASS(NoticeRecorder)
  public:
    void page(Ref<plat::Object>, int32_t) { notices.push_back("page"); }
    void progress(Ref<plat::Object>) { notices.push_back("progress"); }
    void interactive(Ref<plat::Object>) { notices.push_back("interactive"); }
    std::vector<std::string> notices;
};

// The class a widget of the tree stands for.
void collectKinds(const Ref<OverlayData>& widget, std::set<std::string>& kinds) {
    if (auto standIn = std::dynamic_pointer_cast<StandInWidget>(widget))
        kinds.insert(standIn->standsFor);
    else
        kinds.insert(widget->className());
    if (auto visible = std::dynamic_pointer_cast<VisibleWidget>(widget)) {
        for (const auto& sub : visible->subwidgets())
            collectKinds(sub, kinds);
        for (const auto& attached : visible->attachedWidgets())
            collectKinds(attached, kinds);
    }
}

bool allReady(const Ref<OverlayData>& widget) {
    auto visible = std::dynamic_pointer_cast<VisibleWidget>(widget);
    if (!widget->isReadyForDisplay())
        return false;
    return !visible || std::all_of(visible->attachedWidgets().begin(),
                                   visible->attachedWidgets().end(), allReady);
}

class IssueUIDemoTest : public ContextTest {
  protected:
    void SetUp() override {
        ContextTest::SetUp();
        WidgetFactory::unregisterAllWidgetClasses();
        registerIssueUIWidgetClasses();
        registerStandInWidgetClasses();
    }
    void TearDown() override {
        WidgetFactory::unregisterAllWidgetClasses();
        ContextTest::TearDown();
    }

    // Downloads the whole item with its UI context as the issue context's delegate.
    Ref<MagazineIssueUIContext> download(const std::string& code,
                                         const Ref<NoticeRecorder>& recorder) {
        auto issue = context->activeUserContext()->magazineIssueContextWithInfo(issueRecord(code));
        auto ui = MagazineIssueUIContext::initWithContext(issue);
        ui->setDelegate(recorder);
        issue->startLoadingAllPages();
        plat::RunLoop::current().runUntil([&] { return issue->info()->finished_; }, 90);
        EXPECT_TRUE(issue->info()->finished_) << code;
        // The page files are checked on the UI context's queue as they arrive; those checks end
        // within the test, before the next test changes the process's environment and folders.
        // A page is handed on once its file is checked.
        EXPECT_TRUE(plat::RunLoop::current().runUntil(
            [&] { return allPagesChecked(issue) && ui->pagesBeingChecked() == 0; }, 90))
            << code;
        return ui;
    }

    static bool allPagesChecked(const Ref<VnMagazineIssueContext>& issue) {
        const auto pages = issue->allPageContexts();
        return pages && std::all_of(pages->begin(), pages->end(), [](const auto& page) {
                   return page->pageContentAssetAvailable() &&
                          ui::PdfPageCheck::keptVerdict(page->pageContentAsset()->filePath());
               });
    }

    static std::string served(const std::string& code, const std::string& fileId) {
        auto content = demo::demoContent(demo::demoContentPath(code, "INTERACTIVE", "JPG", fileId));
        return content ? content->first : std::string("<none>");
    }
};

}  // namespace

PLAT_DEFINE_CLASS(NoticeRecorder, plat::Object, [](auto& c) {
    c.method("magazineIssueContext:pageAvalable:", &NoticeRecorder::page)
        .method("magazineIssueUIContextPageDownloadProgressChange:", &NoticeRecorder::progress)
        .method("magazineIssueContextDidFinishLoadingInteractive:", &NoticeRecorder::interactive);
})

TEST_F(IssueUIDemoTest, TheShowcaseDownloadsEveryFileItsWidgetsNameAndBuildsEveryKind) {
    auto recorder = std::make_shared<NoticeRecorder>();
    auto ui = download("MG01-2403", recorder);
    ASSERT_TRUE(ui->context()->info()->finished_);

    // Each page notice and then its progress notice; the interactive files finish after a page.
    const auto& notices = recorder->notices;
    EXPECT_EQ(std::count(notices.begin(), notices.end(), "page"), 84);
    for (size_t i = 0; i < notices.size(); ++i) {
        if (notices[i] == "page") {
            ASSERT_LT(i + 1, notices.size());
            EXPECT_EQ(notices[i + 1], "progress");
        }
    }
    const auto firstInteractive = std::find(notices.begin(), notices.end(), "interactive");
    ASSERT_NE(firstInteractive, notices.end());
    EXPECT_EQ(std::find(notices.begin(), notices.end(), "page") < firstInteractive, true);
    EXPECT_TRUE(ui->allPresentationPagesAvailable());
    EXPECT_FLOAT_EQ(ui->pageDownloadProgress(), 1.0f);

    const std::map<int, std::set<std::string>> expected{
        {1, {}},
        {2,
         {"photo_1000x500", "scroll_1", "scroll_2", "scroll_3", "slide2a", "slide2b", "slide2c"}},
        {3,
         {"spin_01.jpg", "spin_02.jpg", "spin_03.jpg", "spin_04.jpg", "spin_05.jpg", "spin_06.jpg",
          "spin_07.jpg", "spin_08.jpg", "spin_09.jpg", "spin_10.jpg", "spin_11.jpg", "spin_12.jpg",
          "slide_1", "slide_2", "slide_3", "slide_4", "slide_5"}},
        {4, {"clip.y4m", "tone.wav"}},
        {5, {"glow", "photo_small", "img5"}}};
    std::set<std::string> kinds;
    for (const auto& [index, files] : expected) {
        auto page = ui->pageContextAtSourceIndex(index);
        EXPECT_EQ(page->pageContext()->interactiveFileIds(), files) << "page " << index;
        for (const auto& id : page->pageContext()->interactiveFileIds()) {
            auto asset = page->pageContext()->interactiveAssetWithId(id);
            ASSERT_TRUE(asset) << id;
            auto bytes = asset->data();
            ASSERT_TRUE(bytes) << id;
            EXPECT_EQ(std::string(bytes->begin(), bytes->end()), served("MG01-2403", id)) << id;
        }
        auto root = page->rootWidget();
        ASSERT_TRUE(root) << "page " << index;
        for (const auto& widget : root->subwidgets()) {
            EXPECT_TRUE(allReady(widget)) << "page " << index << " " << widget->className();
            collectKinds(widget, kinds);
        }
    }
    EXPECT_EQ(served("MG01-2403", "clip.y4m").rfind("YUV4MPEG2", 0), 0U);
    // All twelve classes of the thirteen type names, and both page-link names.
    for (const auto& [type, cls] : WidgetFactory::newClassMapDictionary())
        EXPECT_TRUE(kinds.count(cls)) << cls;
    // The page's own link and the showcase's five (one of the program's own scheme).
    auto links = ui->pageContextAtSourceIndex(1)->rootWidget()->subwidgets();
    EXPECT_EQ(links.size(), 6U);
}

TEST_F(IssueUIDemoTest, HostileDescriptionsAreSkippedOrReadWithDefaults) {
    catalogue.setContentVariant("MG02-2402", demo::ContentVariant::HostileWidgets);
    auto recorder = std::make_shared<NoticeRecorder>();
    auto ui = download("MG02-2402", recorder);
    ASSERT_TRUE(ui->context()->info()->finished_);

    // Files named outside the item's folder are never asked for; the refused series none.
    auto first = ui->pageContextAtSourceIndex(1);
    EXPECT_EQ(first->pageContext()->interactiveFileIds(),
              (std::set<std::string>{"deep", "sub_text", "sub_list", "fine"}));
    EXPECT_EQ(ui->pageContextAtSourceIndex(2)->pageContext()->interactiveFileIds(),
              std::set<std::string>{"ok"});
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(VnBookStoreContext::storageRootPath())) {
        const auto path = entry.path().string();
        EXPECT_EQ(path.find("escape"), std::string::npos) << path;
        EXPECT_EQ(path.find("passwd"), std::string::npos) << path;
    }

    // Unknown, wrongly typed and throwing descriptions give no widget; the rest read defaults.
    auto root = first->rootWidget();
    ASSERT_TRUE(root);
    const auto& widgets = root->subwidgets();
    ASSERT_EQ(widgets.size(), 15U);
    EXPECT_EQ(widgets[0]->frame(), QRectF(4, 5, 0, 0));
    for (size_t i : {1, 3, 4, 5})
        EXPECT_EQ(widgets[i]->frame(), QRectF()) << i;
    EXPECT_EQ(widgets[2]->frame(), QRectF(10, 20, 0, 0));
    for (size_t i : {6, 7})
        EXPECT_TRUE(std::static_pointer_cast<VisibleWidget>(widgets[i])->subwidgets().empty());
    EXPECT_TRUE(std::static_pointer_cast<VisibleWidget>(widgets[8])->attachedWidgets().empty());
    EXPECT_FALSE(std::static_pointer_cast<VisibleWidget>(widgets[9])->button());
    EXPECT_EQ(std::static_pointer_cast<VisibleWidget>(widgets[10])->requiredInteractiveFileIds(),
              std::vector<std::string>{"deep"});
    EXPECT_TRUE(widgets[14]->isReadyForDisplay());   // "fine"
    EXPECT_FALSE(widgets[11]->isReadyForDisplay());  // "../../escape" was never downloaded
    auto second = ui->pageContextAtSourceIndex(2)->rootWidget();
    ASSERT_TRUE(second);
    ASSERT_EQ(second->subwidgets().size(), 1U);
    EXPECT_TRUE(second->subwidgets()[0]->isReadyForDisplay());
}
