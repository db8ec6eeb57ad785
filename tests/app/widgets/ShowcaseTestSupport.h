#pragma once
// What the showcase tests share: the demo library in-process with the program's own
// registrations, issue records as the shelves hand them over, and whole issues downloaded by
// their real issue context.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "app/issueui/MagazineIssueUIContext.h"
#include "app/AreaRegistrations.h"
#include "app/shell/ShellTestSupport.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/RunLoopBridge.h"
#include "support/GuiTestSupport.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

namespace showcase_testing {

using testing_support::spinUntil;

class ShowcaseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::RunLoopBridge::install();
        demo.start();
        registerAllAreaResources(ui::ResourceRegistry::shared());
    }
    void TearDown() override {
        testing_support::spin(20);
        demo.stop();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The record of a catalogue item as the shelves hand it over.
    Ref<VnMagazineIssueInfo> record(const std::string& code) const {
        const demo::SampleItem* item = demo.catalogue.findItem(code);
        auto info = std::make_shared<VnMagazineIssueInfo>();
        info->setCode(code);
        info->itemCode_ = code;
        info->type_ = item && item->kind == demo::ItemKind::Book ? "Book" : "Magazine";
        info->setIssueName(item ? item->title : code);
        return info;
    }
    Ref<VnMagazineIssueContext> issueContext(const std::string& code) const {
        auto user = GlobalService::globalShared()->storeContext()->activeUserContext();
        return user->magazineIssueContextWithInfo(record(code));
    }
    // The item downloaded whole (pages, metadata, interactive files) under its UI context.
    Ref<MagazineIssueUIContext> download(const std::string& code) const {
        auto issue = issueContext(code);
        auto context = MagazineIssueUIContext::initWithContext(issue);
        issue->startLoadingAllPages();
        EXPECT_TRUE(spinUntil([&] { return issue->info()->finished_; }, 90000)) << code;
        return context;
    }

    shell_testing::DemoEnvironment demo;
};

}  // namespace showcase_testing
