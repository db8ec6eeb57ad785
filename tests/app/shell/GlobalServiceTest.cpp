#include <QLocale>
#include <algorithm>

#include "ShellTestSupport.h"
#include "app/services/ReaderHandOver.h"
#include "demo-service/DemoSessionState.h"
#include "platform/runloop/RunLoop.h"
#include "support/CapturedLog.h"
#include "support/ScopedTraceSwitch.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnMagazineCategoryInfo.h"
#include "vnlib/info/member/VnProfileInfo.h"

namespace {

class SignInListener : public plat::Object {
    PLAT_CLASS(SignInListener)
  public:
    void finished(Ref<plat::Object>, Ref<VnRequestResult> result) { results.push_back(result); }
    std::vector<Ref<VnRequestResult>> results;
};

class PlainReader : public plat::Object {
    PLAT_CLASS(PlainReader)
};

class HandOverReader : public plat::Object, public ReaderHandOver {
    PLAT_CLASS(HandOverReader)
  public:
    void setDelegate(const Ref<plat::Object>&) override {}
    void showWindow() override {}
    void openIssue(const Ref<MagazineIssueUIContext>&, const std::string&, int) override {}
    bool showsIssue(const Ref<MagazineIssueUIContext>&) const override { return false; }
};

}  // namespace

PLAT_DEFINE_CLASS(SignInListener, plat::Object, [](auto& c) {
    c.method("t_request:didFinishWithResult:", &SignInListener::finished);
})
PLAT_DEFINE_CLASS(PlainReader, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(HandOverReader, plat::Object, PLAT_NO_METHODS)

namespace {

class GlobalServiceTest : public ::testing::Test {
  protected:
    void TearDown() override {
        plat::RunLoop::current().runUntil([] { return false; }, 0.02);
        demo.stop();
    }

    bool runUntil(const std::function<bool()>& done) {
        return plat::RunLoop::current().runUntil(done, 15);
    }

    shell_testing::DemoEnvironment demo;
};

TEST_F(GlobalServiceTest, OneInstanceWithItsContextAndTheDefaults) {
    demo.start(false);
    std::vector<std::string> lines;
    Ref<GlobalService> first;
    lines = testing_support::logged([&] {
        const testing_support::ScopedTraceSwitch errors(
            [](std::string_view group) { return group == "Error"; });
        first = GlobalService::globalShared();
    });
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find("ServiceHost") != std::string::npos;
    })) << "a missing service host is traced";
    const auto second = GlobalService::globalShared();
    EXPECT_EQ(first, second);
    ASSERT_TRUE(first->storeContext());
    EXPECT_EQ(first->storeContext(), second->storeContext());
    EXPECT_EQ(first->defaultBuyCode(), "INAPP");
    EXPECT_EQ(first->numberLimitLoadOfItem(), 48);
    EXPECT_EQ(first->shopStyle(), 1);
    EXPECT_EQ(first->libraryStyle(), 0);
    EXPECT_FALSE(first->tokenID());
    EXPECT_FALSE(first->windowController());

    // No "ApplicationCustomization": the default code and all-categories name.
    EXPECT_EQ(first->storeContext()->appCode().value_or(""), "ORV_001");
    const auto all = first->allCategoryDefault();
    EXPECT_EQ(all->code().value_or("?"), "");
    EXPECT_EQ(all->name_.value_or(""), "ทั้งหมด");

    auto cat = std::make_shared<VnMagazineCategoryInfo>();
    cat->setCode(std::string("C1"));
    EXPECT_EQ(first->GenerateCategoryWithAllOnly({}).size(), 1u);
    auto list = first->GenerateCategoryWithDefault({cat}, false);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1], cat);
    first->setIsUseKelOption(true);
    list = first->GenerateCategoryWithDefault({cat}, false);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->code().value_or(""), "_MarsdenCatalog");
    EXPECT_EQ(list[0]->name_.value_or(""), "Marsden Group Catalog");
    EXPECT_EQ(first->GenerateCategoryWithDefault({cat}, true).size(), 2u);

    // A reader controller without the hand-over interface is said; one with it is used.
    lines = testing_support::logged(
        [&] { first->setReaderViewController(std::make_shared<PlainReader>()); });
    EXPECT_EQ(lines.size(), 1u);
    EXPECT_FALSE(first->readerHandOver());
    lines = testing_support::logged(
        [&] { first->setReaderViewController(std::make_shared<HandOverReader>()); });
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(first->readerHandOver());
}

TEST_F(GlobalServiceTest, AmountsLoseTheirCurrencySign) {
    EXPECT_EQ(GlobalService::numberCurrentcyFormatterWithInt(1234), "1,234");
    EXPECT_EQ(GlobalService::numberCurrentcyFormatterWithInt(5), "5");
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(GlobalService::numberCurrentcyFormatterWithFloat(12.5f), "12.50");
    EXPECT_EQ(GlobalService::numberCurrentcyFormatterWithFloat(7.0f), "7");
    // The sign is not always in front: only it goes, never a digit.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(GlobalService::numberCurrentcyFormatterWithFloat(12.5f), "12,50");
    QLocale::setDefault(saved);
}

TEST_F(GlobalServiceTest, PushTokenIsRegisteredForEachNewActiveUser) {
    demo.start();
    const auto service = GlobalService::globalShared();
    const auto context = service->storeContext();
    auto listener = std::make_shared<SignInListener>();

    // Without a token a change of user registers nothing.
    context->startUserAuthenticationRequestWithUserName("somchai@example.com", "rak-an-nangsue",
                                                        listener, "t_");
    ASSERT_TRUE(runUntil([&] { return !listener->results.empty(); }));
    ASSERT_TRUE(listener->results.back()->succeed());
    ASSERT_FALSE(context->activeUserContext()->isDefault());
    plat::RunLoop::current().runUntil([] { return false; }, 0.1);
    EXPECT_EQ(demo.calls("RegisterAPNS"), 0u);

    // A token: registered at once for the member, whose flag is set on success.
    plat::send(service, "registerTokenToServer:", std::string("device-token-1"));
    EXPECT_EQ(service->tokenID().value_or(""), "device-token-1");
    const auto member = context->activeUserContext();
    ASSERT_TRUE(runUntil([&] { return member->apnsRegistered(); }));
    EXPECT_EQ(demo.calls("RegisterAPNS"), 1u);

    // Each later change of user registers once more, for the new user.
    context->signOutRegisteredUser();
    const auto device = context->activeUserContext();
    ASSERT_TRUE(device->isDefault());
    ASSERT_TRUE(runUntil([&] { return device->apnsRegistered(); }));
    plat::RunLoop::current().runUntil([] { return false; }, 0.1);
    EXPECT_EQ(demo.calls("RegisterAPNS"), 2u);
}

// Asks for the member's profile through the gate; null when none came.
Ref<VnProfileInfo> memberProfile(const Ref<VnBookStoreContext>& context) {
    Ref<VnProfileInfo> profile;
    bool done = false;
    context->activeUserContext()->requestForGetProfileInfo()->startWithDidFinishBlock(
        [&](const Ref<VnRequestResult>&, const plat::Value& value) {
            profile = value.as<VnProfileInfo>();
            done = true;
        });
    EXPECT_TRUE(plat::RunLoop::current().runUntil([&] { return done; }, 15));
    return profile;
}

TEST_F(GlobalServiceTest, AMemberSignedInBeforeADemoRestartIsStillSignedInAfterIt) {
    demo.start();
    auto listener = std::make_shared<SignInListener>();
    GlobalService::globalShared()->storeContext()->startUserAuthenticationRequestWithUserName(
        "nok@example.com", "nok-2567", listener, "t_");
    ASSERT_TRUE(runUntil([&] { return !listener->results.empty(); }));
    ASSERT_TRUE(listener->results[0]->succeed());
    // The member borrows a book and returns one of the loans the demo seeded.
    std::string borrowed;
    for (const auto& item : demo.catalogue.items()) {
        if (item.kind == demo::ItemKind::Book && item.libraryCopies > 0 && !item.withdrawn &&
            demo.catalogue.borrow("nok@example.com", item.code).success) {
            borrowed = item.code;
            break;
        }
    }
    ASSERT_FALSE(borrowed.empty());
    const auto loansBefore = demo.catalogue.loans("nok@example.com");
    const auto state = testing_support::freshTestFolder() / "demo-state.json";
    ASSERT_TRUE(demo::saveState(demo.catalogue, state));
    EXPECT_EQ(std::filesystem::status(state).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
        << "the state holds session tokens";
    demo.service.stop();

    // A new demo on the same port with the saved state, and a new run of the program.
    demo::SampleCatalogue catalogue;
    demo::loadState(catalogue, state);
    const auto loansAfter = catalogue.loans("nok@example.com");
    ASSERT_EQ(loansAfter.size(), loansBefore.size());
    for (size_t i = 0; i < loansAfter.size(); ++i) {
        EXPECT_EQ(loansAfter[i].itemCode, loansBefore[i].itemCode);
        EXPECT_EQ(loansAfter[i].bookCode, loansBefore[i].bookCode);
        EXPECT_EQ(loansAfter[i].due, loansBefore[i].due);
        EXPECT_EQ(loansAfter[i].readNow, loansBefore[i].readNow);
    }
    EXPECT_TRUE(std::any_of(loansAfter.begin(), loansAfter.end(),
                            [&](const demo::SampleLoan& l) { return l.bookCode == borrowed; }));
    // Codes handed out after the restart do not repeat the kept ones.
    EXPECT_GE(catalogue.nextCode(), demo.catalogue.nextCode());
    demo::DemoService restarted;
    restarted.setServicePath(kBookServicePath);
    demo::registerVersion2Methods(restarted, catalogue);
    ASSERT_TRUE(restarted.start(demo.service.port()));

    // The program still running goes on in its session, which the demo kept.
    auto profile = memberProfile(GlobalService::globalShared()->storeContext());
    ASSERT_TRUE(profile) << "the running program's session answers as the member";
    EXPECT_EQ(profile->username_.value_or(""), "nok@example.com");
    EXPECT_EQ(restarted.requestsForMethod("RestoreSession").size(), 0u);
    EXPECT_EQ(restarted.requestsForMethod("RequestSessionID").size(), 0u);

    // A new run of the program restores the member's session.
    GlobalService::releaseShared();
    const auto context = GlobalService::globalShared()->storeContext();
    ASSERT_TRUE(context->restoreRegisteredUserContext());
    profile = memberProfile(context);
    ASSERT_TRUE(profile) << "the restored session answers as the member";
    EXPECT_EQ(profile->username_.value_or(""), "nok@example.com");
    EXPECT_EQ(restarted.requestsForMethod("RestoreSession").size(), 1u);
    EXPECT_EQ(restarted.requestsForMethod("AccountAuthentication").size(), 0u)
        << "restored, not signed in again";
    GlobalService::releaseShared();
    restarted.stop();
}

}  // namespace
