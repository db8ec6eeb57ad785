// Widget assets from a page's downloaded files and from the program's resources; the shared
// widget context's scroll lock.
#include <fstream>

#include "IssueUITestSupport.h"
#include "app/issueui/OverlayWidgets.h"
#include "app/issueui/WidgetAssetManager.h"
#include "app/issueui/WidgetContext.h"
#include "platform/image/Image.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/domain/content/VnMagazineIssuePageContext.h"

using namespace issueui_test;

namespace {

class RecordingReader : public WidgetMainReader {
  public:
    void lockScroll() override { calls.push_back("lock"); }
    void unlockScroll() override { calls.push_back("unlock"); }
    std::vector<std::string> calls;
};

}  // namespace

using WidgetAssetTest = IssueUITest;

TEST_F(WidgetAssetTest, PageFilesFirstThenTheProgramsResources) {
    // The program's resources: one picture and one plain file, in a folder of the test's own.
    const auto resources = testing_support::freshTestFolder() / "resources";
    std::filesystem::create_directories(resources);
    const auto png = pngBytes(6, 3);
    std::ofstream(resources / "badge.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    std::ofstream(resources / "notes.txt") << "notes";
    std::ofstream(resources.parent_path() / "outside.txt") << "outside";
    ui::ResourceRegistry::shared().addImageFolder(resources);

    auto issue = makeIssue("MG-20", "Magazine", {{0, 0}});
    cacheInteractiveFile(issue, 0, "photo", pngBytes(20, 10));
    auto page = issue->pageContextWithSourcePageIndex(0);
    auto manager = std::make_shared<WidgetAssetManager>(page);
    EXPECT_EQ(manager->sourceKind(), WidgetAssetManager::kSourcePage);
    EXPECT_EQ(manager->context(), page);

    // A downloaded file: path, picture, availability.
    ASSERT_TRUE(manager->assetFilePathForAssetId("photo"));
    EXPECT_EQ(*manager->assetFilePathForAssetId("photo"),
              page->interactiveAssetWithId("photo")->filePath().string());
    auto photo = manager->imageWithAssetId("photo");
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->width(), 20);
    EXPECT_TRUE(manager->assetAvailableForAssetId("photo"));

    // A miss: nothing from the page; a widget's picture falls back to the resources, its path
    // does not while it has a manager.
    EXPECT_FALSE(manager->assetFilePathForAssetId("badge.png"));
    EXPECT_FALSE(manager->imageWithAssetId("badge"));
    EXPECT_FALSE(manager->assetAvailableForAssetId("badge"));
    ItemHighlighterWidget widget;
    widget.setAssetManager(manager);
    ASSERT_TRUE(widget.imageWithAssetId("badge"));
    EXPECT_EQ(widget.imageWithAssetId("badge")->width(), 6);
    EXPECT_EQ(widget.imageWithAssetId("photo")->width(), 20);
    EXPECT_FALSE(widget.assetFilePathForAssetId("notes.txt"));
    EXPECT_TRUE(widget.assetIdAvailable("photo"));
    EXPECT_FALSE(widget.assetIdAvailable("badge"));
    EXPECT_TRUE(widget.assetIdListAvailable({"photo"}));
    EXPECT_FALSE(widget.assetIdListAvailable({"photo", "badge"}));
    ItemHighlighterWidget unmanaged;
    ASSERT_TRUE(unmanaged.assetFilePathForAssetId("notes.txt"));
    EXPECT_EQ(*unmanaged.assetFilePathForAssetId("notes.txt"), (resources / "notes.txt").string());
    EXPECT_FALSE(unmanaged.assetIdAvailable("notes.txt"));

    // Resource names that could leave the folders are refused.
    auto bundle = WidgetAssetManager::bundledAssetManager();
    EXPECT_EQ(bundle, WidgetAssetManager::bundledAssetManager());
    EXPECT_EQ(bundle->sourceKind(), WidgetAssetManager::kSourceResources);
    for (const std::string& name :
         std::vector<std::string>{"../outside.txt", "/etc/passwd", "", "..", ".", "a/notes.txt",
                                  std::string("notes.txt\0x", 11)})
        EXPECT_FALSE(bundle->assetFilePathForAssetId(name)) << name;
    EXPECT_FALSE(bundle->imageWithAssetId("../resources/badge"));
    EXPECT_TRUE(bundle->imageWithAssetId("badge"));
    EXPECT_TRUE(AssetManager::classImageById("badge"));
    EXPECT_EQ(AssetManager::mainManager(), AssetManager::mainManager());
    EXPECT_FALSE(AssetManager::classImageById("missing"));

    // A folder manager reads nothing.
    auto folder = WidgetAssetManager::initWithFolder(resources.string());
    EXPECT_EQ(folder->assetFolder(), resources.string());
    EXPECT_EQ(folder->sourceKind(), WidgetAssetManager::kSourcePage);
    EXPECT_FALSE(folder->assetFilePathForAssetId("notes.txt"));
}

TEST_F(WidgetAssetTest, TheReaderHearsTheFirstLockAndTheLastUnlock) {
    WidgetContext widgetContext;
    widgetContext.unlockScroll();  // unmatched: nothing, and the count stays 0
    EXPECT_EQ(widgetContext.lockCount(), 0);
    auto reader = std::make_shared<RecordingReader>();
    widgetContext.setMainReader(reader);
    widgetContext.lockScroll();
    widgetContext.lockScroll();
    widgetContext.unlockScroll();
    EXPECT_EQ(reader->calls, std::vector<std::string>{"lock"});
    widgetContext.unlockScroll();
    widgetContext.unlockScroll();
    EXPECT_EQ(reader->calls, (std::vector<std::string>{"lock", "unlock"}));
    EXPECT_EQ(widgetContext.lockCount(), 0);
    reader.reset();  // not kept
    EXPECT_FALSE(widgetContext.mainReader());
    widgetContext.lockScroll();
    EXPECT_EQ(widgetContext.lockCount(), 1);
    EXPECT_EQ(WidgetContext::defaultContext(), WidgetContext::defaultContext());
}
