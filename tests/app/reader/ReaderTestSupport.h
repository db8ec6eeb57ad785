#pragma once
// What the reader's screen tests share: the demo library in-process with the program's own
// registrations (the shell's DemoEnvironment), issues added to its catalogue, UI contexts over
// real issue contexts with their page list and metadata loaded (as the shelf hands an issue
// over), a reader view shown offscreen, a coloured-box widget kind registered for the class of
// "ImageWidget", and doubles of the UI contexts that give pages widget trees made by the test.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <map>

#include "app/issueui/ContainerWidget.h"
#include "app/issueui/MagazineIssueUIContext.h"
#include "app/issueui/MagazinePageUIContext.h"
#include "app/issueui/WidgetActionButton.h"
#include "app/reader/ReaderViewController.h"
#include "app/shell/ShellGuiSupport.h"
#include "app/shell/ShellTestSupport.h"
#include "support/GuiTestSupport.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

namespace reader_testing {

using shell_testing::pixelsNear;
using testing_support::spin;
using testing_support::spinUntil;

inline const QColor kBoxColour(255, 0, 255);

// A page widget that shows a box of one colour; it counts what the reader asks of it.
class ColouredBoxWidget : public VisibleWidget {
    PLAT_CLASS(ColouredBoxWidget)
  public:
    Ref<WidgetView> newWidgetView(const QRectF& frame) override;
    bool readyForDisplay() override { return ready; }
    bool hasButton() const override { return withButton; }
    Ref<WidgetActionButton> button() const override {
        return customButton ? customButton : VisibleWidget::button();
    }
    void didBecomeActive() override;
    void detachFromView() override;

    bool ready = true;
    bool withButton = true;
    Ref<WidgetActionButton> customButton;
    int activations = 0, detaches = 0, viewsMade = 0;
};

// A button that makes no view.
class ViewlessButton : public WidgetActionButton {
    PLAT_CLASS(ViewlessButton)
  public:
    Ref<WidgetView> newWidgetView(const QRectF&) override { return nullptr; }
};

// A box with that frame, its button from an empty "Button" description.
Ref<ColouredBoxWidget> box(const QRectF& frame);

// A page UI context whose widget tree the test sets.
class FakePageUIContext : public MagazinePageUIContext {
    PLAT_CLASS(FakePageUIContext)
  public:
    using MagazinePageUIContext::MagazinePageUIContext;
    Ref<VisibleWidget> rootWidget() override { return root; }
    Ref<ContainerWidget> root;
};

// An issue UI context over a real issue context whose pages are FakePageUIContexts.
class FakeIssueUIContext : public MagazineIssueUIContext {
    PLAT_CLASS(FakeIssueUIContext)
  public:
    using MagazineIssueUIContext::MagazineIssueUIContext;
    Ref<MagazinePageUIContext> pageContextAtSourceIndex(int32_t sourceIndex) override;
    // The page's tree, made empty on first use.
    Ref<ContainerWidget> rootOf(int32_t sourceIndex);

    std::map<int32_t, Ref<FakePageUIContext>> pages;
};

class ReaderTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Adds an issue of that many pages ("Magazine" issues of title "RT", or books).
    demo::SampleItem& addItem(const std::string& code, int pages, bool book = false);
    // The downloads of the item's first `pages` pages hang: the demo service holds their
    // requests unanswered.
    void stallFirstPages(const std::string& code, int pages);
    // The catalogue record the shelves would hand over.
    static Ref<VnMagazineIssueInfo> record(const demo::SampleItem& item);
    // A new issue context of the item with its page list and metadata loaded, and its UI
    // context (of class T).
    template <class T = MagazineIssueUIContext>
    Ref<T> contextOf(const std::string& code) {
        auto issue = loadedIssue(code);
        return issue ? MagazineIssueUIContext::initWithContext<T>(issue) : nullptr;
    }
    Ref<VnMagazineIssueContext> loadedIssue(const std::string& code);
    // A reader view shown offscreen at that size, in the layout's two-page mode.
    Ref<ReaderViewController> shownReader(QSize size = QSize(1000, 800));
    // Waits until the issue's pages have all arrived and been handed over, and nothing is
    // loading.
    bool waitUntilLoaded(const Ref<ReaderViewController>& reader, int seconds = 20);
    // Waits until the page at the index is painted with its own rendering.
    bool waitUntilPainted(const Ref<ReaderViewController>& reader, int index);
    // Waits until every page that arrived is handed over (its file checked) and every page of
    // the document made from a file is parsed.
    bool waitUntilParsed(const Ref<ReaderViewController>& reader);

    shell_testing::DemoEnvironment demo;
    std::map<std::string, demo::SampleItem> items;
    std::vector<Ref<ReaderViewController>> readers;
};

}  // namespace reader_testing
