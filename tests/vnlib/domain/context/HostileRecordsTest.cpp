// Replies whose records lack what their lists and stores need, or hold values of the wrong
// shape, go through the real request path (transport, records, domains, tables, the account
// store, a restore at start) without anything raising out of the run loop: the request fails or
// the record is skipped, and what was stored stays.
#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <set>

#include "ContextTestSupport.h"
#include "vnlib/domain/lists/VnDomainUpdatingRequest.h"
#include "vnlib/domain/lists/VnMagazineDomain.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/lists/VnStoreDomain.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/member/VnAccountInfo.h"

using demo::Json;

namespace {

// What a reply's values under one key become.
enum class Shape {
    Kept,
    Missing,
    Null,
    EmptyList,
    List,
    Object,
    Nested,
    Text,
    Number,
    Bool,
    IntMax,
    IntMin,
    UIntMax,
    Huge
};
constexpr Shape kShapes[] = {Shape::Null,   Shape::EmptyList, Shape::List,    Shape::Object,
                             Shape::Nested, Shape::Text,      Shape::Number,  Shape::Bool,
                             Shape::IntMax, Shape::IntMin,    Shape::UIntMax, Shape::Huge};

Json shaped(Shape shape, const Json& original) {
    switch (shape) {
        case Shape::Null:
            return nullptr;
        case Shape::EmptyList:
            return Json::array();
        case Shape::List:
            return Json::array({original, original});
        case Shape::Object:
            return Json{{"Key", original}, {"Value", original}};
        case Shape::Nested:
            return Json::array({Json::array({Json{{"Code", original}}})});
        case Shape::Text:
            return "ข้อความ";
        case Shape::Number:
            return 12.5;
        case Shape::Bool:
            return true;
        case Shape::IntMax:
            return std::numeric_limits<int64_t>::max();
        case Shape::IntMin:
            return std::numeric_limits<int64_t>::min();
        case Shape::UIntMax:
            return std::numeric_limits<uint64_t>::max();
        case Shape::Huge:
            return -1.7976931348623157e308;
        case Shape::Kept:
        case Shape::Missing:
            break;
    }
    return nullptr;
}

// Every key of every object under `reply`: kept, dropped or its value reshaped, as `shapeOf`
// says for the key.
void mutate(Json& reply, const std::function<Shape(const std::string&)>& shapeOf) {
    if (reply.is_array()) {
        for (auto& element : reply)
            mutate(element, shapeOf);
        return;
    }
    if (!reply.is_object())
        return;
    std::vector<std::string> names;
    for (auto& [name, value] : reply.items()) {
        mutate(value, shapeOf);
        names.push_back(name);
    }
    for (const auto& name : names) {
        const Shape shape = shapeOf(name);
        if (shape == Shape::Kept)
            continue;
        if (shape == Shape::Missing)
            reply.erase(name);
        else
            reply[name] = shaped(shape, reply[name]);
    }
}

void collectKeys(const Json& reply, std::set<std::string>& keys) {
    if (reply.is_array()) {
        for (const auto& element : reply)
            collectKeys(element, keys);
    } else if (reply.is_object()) {
        for (const auto& [name, value] : reply.items()) {
            keys.insert(name);
            collectKeys(value, keys);
        }
    }
}

class HostileRecordsTest : public ContextTest {
  protected:
    struct Step {
        std::string name;
        std::function<bool()> run;  // false: it did not finish
    };

    // Every web method called so far answers through the mutation in force for it.
    void wrapMethods() {
        for (const auto& recorded : service.requests()) {
            const std::string method = recorded.path.substr(recorded.path.rfind('/') + 1);
            if (wrapped_.contains(method) || !service.methodHandler(method))
                continue;
            wrapped_.insert(method);
            service.addMethodWithRequest(method,
                                         [this, method, original = service.methodHandler(method)](
                                             const Json& body, demo::Session& session,
                                             const demo::RecordedRequest& request) {
                                             Json reply = original(body, session, request);
                                             std::lock_guard guard(mutex_);
                                             if (method != mutatedMethod_) {
                                                 collectKeys(reply, keys_[method]);
                                                 return reply;
                                             }
                                             mutate(reply, mutation_);
                                             return reply;
                                         });
        }
    }

    void setMutation(std::string method, std::function<Shape(const std::string&)> mutation) {
        std::lock_guard guard(mutex_);
        mutatedMethod_ = std::move(method);
        mutation_ = std::move(mutation);
    }

    // The methods a step calls, learnt from a run with the replies as they are.
    std::set<std::string> methodsOf(const Step& step) {
        service.clearRequests();
        EXPECT_TRUE(step.run()) << step.name;
        std::set<std::string> methods;
        for (const auto& recorded : service.requests())
            methods.insert(recorded.path.substr(recorded.path.rfind('/') + 1));
        return methods;
    }

    std::set<std::string> keysOf(const std::string& method) {
        std::lock_guard guard(mutex_);
        return keys_[method];
    }

    // Runs the step under a mutation; a raise out of the run loop, or a step that does not
    // finish, fails with what caused it.
    void runMutated(const Step& step, const std::string& method, const std::string& what) {
        try {
            EXPECT_TRUE(step.run()) << step.name << " did not finish: " << method << " " << what;
        } catch (const std::exception& e) {
            ADD_FAILURE() << step.name << ": " << method << " " << what << " raised " << e.what();
        }
    }

    bool finishes(const Ref<VnRequestContext>& request) { return run(request) != nullptr; }

    bool refreshes(const Ref<VnDomain>& domain) {
        auto request = domain->newDomainUpdatingRequest(domain->takeLocalSnapshot());
        request->setForceUpdate(true);
        return finishes(request);
    }

    std::mutex mutex_;
    std::set<std::string> wrapped_;
    std::map<std::string, std::set<std::string>> keys_;
    std::string mutatedMethod_;
    std::function<Shape(const std::string&)> mutation_;
};

TEST_F(HostileRecordsTest, NoReplyShapeRaisesOrLosesWhatIsStored) {
    const auto member = [&] {
        const auto before = listener->results.size();
        context->startUserAuthenticationRequestWithUserName("somchai@example.com", "rak-an-nangsue",
                                                            listener, "caller_");
        return plat::RunLoop::current().runUntil([&] { return listener->results.size() > before; },
                                                 15);
    };
    ASSERT_TRUE(member());
    auto user = [&] { return context->activeUserContext(); };
    ASSERT_TRUE(finishes(user()->requestForAccountInfo()));
    ASSERT_TRUE(user()->accountInfo() && user()->accountInfo()->code());
    const std::string accountCode = *user()->accountInfo()->code();

    auto loan = issueRecord("BK0001", "Book");
    auto magazine = std::make_shared<VnMagazineInfo>();
    magazine->setCode("MG01");
    const std::vector<Step> steps = {
        {"sign-in", member},
        {"restore at start",
         [&] {
             context.reset();
             context = makeContext();
             context->addContextObserver(listener);
             if (!context->restoreRegisteredUserContext())
                 return false;
             // The first gated request restores the session, which asks for the account.
             auto account = user()->requestForAccountInfo();
             return finishes(user()->requestForGetCurrentReserveBookInfos()) && finishes(account);
         }},
        {"account", [&] { return finishes(user()->requestForAccountInfo()); }},
        {"library", [&] { return refreshes(user()->libraryDomain()); }},
        {"book library", [&] { return refreshes(user()->bookLibraryDomain()); }},
        {"special issues", [&] { return refreshes(user()->specialIssuesDomain()); }},
        {"categories", [&] { return refreshes(user()->categoryDomain()); }},
        {"book categories", [&] { return refreshes(user()->bookCategoryDomain()); }},
        {"authors", [&] { return refreshes(user()->authorDomain()); }},
        {"subscriptions", [&] { return refreshes(user()->userSubscriptionDomain()); }},
        {"issues of a magazine",
         [&] { return refreshes(user()->magazineIssueDomainWithMagazine(magazine)); }},
        {"magazines of a category",
         [&] { return refreshes(user()->magazineDomainWithCategory("M01")); }},
        {"books of a category",
         [&] { return refreshes(user()->bookIssueDomainWithCategory("B01")); }},
        {"book search", [&] { return refreshes(user()->bookDomainWithSearchKeyword("a")); }},
        {"shop group",
         [&] { return refreshes(user()->shopGroupInfoDomainWithGroupCode("0.feature_all")); }},
        {"pages", [&] { return finishes(user()->requestForPageInfosWithMagazineIssueInfo(loan)); }},
        {"lending",
         [&] {
             auto u = user();
             return finishes(u->requestForBorrowBook(issueRecord("BK0003"))) &&
                    finishes(u->requestForReturnBook(issueRecord("BK0003"))) &&
                    finishes(u->requestForGetIssueInfo("BK0001")) &&
                    finishes(u->requestForGetCurrentReserveBookInfos()) &&
                    finishes(u->requestForGetBorrowHistory(std::nullopt, std::nullopt)) &&
                    finishes(u->requestForGetProfileInfo()) &&
                    finishes(u->requestForBookDetail(issueRecord("BK0001")));
         }},
    };

    size_t runs = 0;
    for (const auto& step : steps) {
        const auto methods = methodsOf(step);
        wrapMethods();
        for (const auto& method : methods) {
            if (!wrapped_.contains(method))
                continue;
            // The step once more with the replies as they are, so that every key is known.
            ASSERT_TRUE(step.run()) << step.name;
            const auto keys = keysOf(method);
            // Keys missing, a sixth of them at a time (so each is missing once, with others);
            // then every key of every object in each wrong shape, turned one shape further per
            // key, so that each key takes each shape once.
            const auto indexOf = [&keys](const std::string& name) {
                return static_cast<size_t>(std::distance(keys.begin(), keys.find(name)));
            };
            for (size_t group = 0; group < std::min<size_t>(keys.size(), 6); ++group) {
                setMutation(method, [group, indexOf](const std::string& name) {
                    return indexOf(name) % 6 == group ? Shape::Missing : Shape::Kept;
                });
                runMutated(step, method, "without keys of group " + std::to_string(group));
                ++runs;
            }
            for (size_t s = 0; s < std::size(kShapes); ++s) {
                setMutation(method, [s, indexOf](const std::string& name) {
                    return kShapes[(s + indexOf(name)) % std::size(kShapes)];
                });
                runMutated(step, method, "values in turned shapes " + std::to_string(s));
                ++runs;
            }
            setMutation({}, {});
            // What was stored stays: the member's account record is never replaced by one
            // without its code (another address the service sends as text is its answer).
            ASSERT_TRUE(member()) << step.name << " " << method;
            ASSERT_TRUE(user()->accountInfo()) << step.name << " " << method;
            EXPECT_FALSE(user()->accountInfo()->code().value_or("").empty())
                << step.name << " " << method;
        }
    }
    EXPECT_GT(runs, 300U);

    // With the replies as they are again, the member's library refreshes as before.
    ASSERT_TRUE(member());
    ASSERT_TRUE(finishes(user()->requestForAccountInfo()));
    EXPECT_EQ(user()->accountInfo()->code(), accountCode);
}

}  // namespace
