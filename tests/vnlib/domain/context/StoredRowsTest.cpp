// A library refresh stores each item as its record's written form (the compact text of its
// dictionary view), whatever shape the reply gave it, and every stored row reads back as the
// record the refresh made: field by field, nested records included, its position and what the
// member did with it (finished, read) too, but for whether it is hidden, which is not written.
// So after a full refresh, after one that follows revisions of items the member had read, after a
// restart, and for replies whose values the records normalise. Items the refresh refuses store
// nothing.
#include <gtest/gtest.h>

#include <map>
#include <mutex>

#include "ContextTestSupport.h"
#include "platform/core/Property.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/json/JSONKitSerializing.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"

using demo::Json;

namespace {

void expectSameRecord(VnInfoBase& made, VnInfoBase& read, const std::string& where,
                      bool withHidden);

// The same value: of one kind, numbers of one type, texts byte for byte, containers element by
// element in the same order, records field by field.
void expectSame(const plat::Value& made, const plat::Value& read, const std::string& where) {
    ASSERT_EQ(made.kind(), read.kind())
        << where << ": " << made.description() << " / " << read.description();
    switch (made.kind()) {
        case plat::Value::Kind::Number:
            EXPECT_EQ(made.number()->type(), read.number()->type()) << where;
            EXPECT_TRUE(made.equals(read))
                << where << ": " << made.description() << " / " << read.description();
            break;
        case plat::Value::Kind::String:
            EXPECT_EQ(made.stringView(), read.stringView()) << where;
            break;
        case plat::Value::Kind::Array: {
            ASSERT_EQ(made.array()->count(), read.array()->count()) << where;
            for (size_t i = 0; i < made.array()->count(); ++i) {
                expectSame(made.array()->objectAtIndex(i), read.array()->objectAtIndex(i),
                           where + "[" + std::to_string(i) + "]");
            }
            break;
        }
        case plat::Value::Kind::Dictionary: {
            auto entries = [](const plat::Dictionary& d) {
                std::vector<std::pair<plat::Value, plat::Value>> out;
                d.enumerateKeysAndObjects([&](const plat::Value& k, const plat::Value& v) {
                    out.emplace_back(k, v);
                    return true;
                });
                return out;
            };
            const auto a = entries(*made.dictionary()), b = entries(*read.dictionary());
            ASSERT_EQ(a.size(), b.size()) << where;
            for (size_t i = 0; i < a.size(); ++i) {
                expectSame(a[i].first, b[i].first, where + " key " + std::to_string(i));
                expectSame(a[i].second, b[i].second, where + "." + a[i].first.description());
            }
            break;
        }
        case plat::Value::Kind::Object: {
            auto a = made.as<VnInfoBase>(), b = read.as<VnInfoBase>();
            ASSERT_TRUE(a && b) << where << ": an object that is no record";
            expectSameRecord(*a, *b, where, true);
            break;
        }
        default:
            EXPECT_TRUE(made.equals(read))
                << where << ": " << made.description() << " / " << read.description();
    }
}

// What a list puts into its records from its per-user records and a row does not carry; a list
// rebuilt from storage gives it back.
bool isUnwritten(const std::string& property) {
    return property == "hiddenFromLibrary";
}

std::string textOf(VnInfoBase& record) {
    return JSONStringWithOptions(record.proxyForJson().dictionary(), 0, nullptr).value_or("");
}

// Every declared property of the record's classes (derived ones too), the content formats it is
// offered in, and what it writes (unknown members of its reply included).
void expectSameRecord(VnInfoBase& made, VnInfoBase& read, const std::string& where,
                      bool withHidden) {
    EXPECT_EQ(made.className(), read.className()) << where;
    for (const plat::Class* cls = &made.getClass(); cls; cls = cls->superclass()) {
        for (const auto& property : cls->declaredProperties()) {
            if (withHidden || !isUnwritten(property->name))
                expectSame(property->get(made), property->get(read), where + "." + property->name);
        }
    }
    EXPECT_EQ(textOf(made), textOf(read)) << where;
    const auto* a = dynamic_cast<const VnMagazineIssueInfo*>(&made);
    const auto* b = dynamic_cast<const VnMagazineIssueInfo*>(&read);
    for (int32_t format = 0; a && b && format <= 4; ++format)
        EXPECT_EQ(a->supportsContentFormat(format), b->supportsContentFormat(format)) << where;
}

class StoredRowsTest : public ContextTest {
  protected:
    void SetUp() override {
        ContextTest::SetUp();
        if (HasFatalFailure())
            return;
        // The store's batches pass through here, so that a test can write them its own way.
        store.addRoute(std::string(demo::kStoreServicePath) + "/GetMagazineIssueInfos",
                       [this](const demo::RecordedRequest& request)
                           -> std::optional<demo::DemoService::RouteReply> {
                           std::lock_guard lock(mutex);
                           if (!writeBatch)
                               return std::nullopt;
                           return demo::DemoService::RouteReply{
                               200, "application/json; charset=utf-8", writeBatch(request), {}};
                       });
    }

    void TearDown() override {
        ContextTest::TearDown();
        store.stop();  // its route refers to this test's members
    }

    bool refreshed(const Ref<VnMagazineIssueDomain>& domain) {
        auto watcher = std::make_shared<RequestWatcher>();
        auto request = domain->newDomainUpdatingRequest(domain->takeLocalSnapshot());
        request->setForceUpdate(true);
        request->startWithDelegate(watcher, "w_");
        plat::RunLoop::current().runUntil([&] { return watcher->result != nullptr; }, 60);
        return watcher->result && watcher->result->succeed();
    }

    // The library's catalogue rows, code to text.
    std::map<std::string, std::string> storedRows() {
        std::map<std::string, std::string> rows;
        for (const auto& row : context->localStorage()->managedObjectContext()->fetch(
                 "JSONMagazineIssueInfoLibrary", plat::Predicate::truePredicate())) {
            rows[row->primitiveValueForKey("code").stringOr("<none>")] =
                row->primitiveValueForKey("jsonString").stringOr("<none>");
        }
        return rows;
    }

    // Every listed item has one row; the row of each item the last refresh stored (all, or
    // those listed in `stored`) is its record's written form, and reads back through the
    // store's table as the record the refresh made, but for whether it is hidden.
    void expectRowsWritten(const Ref<VnMagazineIssueDomain>& library,
                           const std::set<std::string>& stored = {}) {
        const auto rows = storedRows();
        const auto held = library->items();
        EXPECT_EQ(rows.size(), held.size());
        auto table = context->activeUserContext()->userStorage()->dataTableForMagazineIssueKind(
            VnMagazineIssueKind_Library);
        for (const auto& item : held) {
            const auto record = VnMagazineIssueInfoProxy::recordOf(item);
            ASSERT_TRUE(record);
            const std::string code = record->code().value_or("<none>");
            if (!stored.empty() && !stored.contains(code))
                continue;
            SCOPED_TRACE(code);
            ASSERT_TRUE(rows.contains(code));
            EXPECT_EQ(rows.at(code), textOf(*record));
            auto read = table->infoForCode(code);
            ASSERT_TRUE(read);
            EXPECT_NE(read, record);
            expectSameRecord(*record, *read, code, false);
        }
    }

    std::mutex mutex;
    // Writes the answer of a batch request; none: the store answers as it does.
    std::function<std::string(const demo::RecordedRequest&)> writeBatch;
};

TEST_F(StoredRowsTest, RowsAreTheRecordsWrittenAndReadBackAsTheRecordsMade) {
    catalogue.generateItems(900, 23);
    // Each item of a batch written its own way (compact, its non-ASCII text escaped, or over
    // several lines) among spaces and line breaks.
    const auto original = store.methodHandler("GetMagazineIssueInfos");
    writeBatch = [&](const demo::RecordedRequest& request) {
        demo::Session session;
        const Json answer = original(Json::parse(request.body), session, request);
        std::string text = "{\"d\":\n[ ";
        for (size_t i = 0; i < answer.size(); ++i) {
            const Json& item = answer[i];
            text += (i ? " ,\n\t" : "") + (i % 3 == 0   ? item.dump()
                                           : i % 3 == 1 ? item.dump(-1, ' ', true)
                                                        : item.dump(1));
        }
        return text + " ]\n}";
    };
    auto library = context->activeUserContext()->libraryDomain();
    ASSERT_TRUE(refreshed(library));
    ASSERT_GE(library->items().size(), 300U);
    {
        SCOPED_TRACE("full refresh");
        expectRowsWritten(library);
    }

    // The member finished or read some items, among them every one then revised: the revised
    // ones are stored again, with what the member did with them; the others' rows stay.
    const auto before = storedRows();
    const auto held = library->items();
    std::set<std::string> revised;
    for (size_t i = 0; i < held.size(); ++i) {
        if (i % 7 != 0 && i % 100 != 0)
            continue;
        auto record = VnMagazineIssueInfoProxy::recordOf(held[i]);
        record->finished_ = i % 2 == 0;
        record->readed_ = true;
        library->notifyUserItemsAddOrUpdate({held[i]});
        if (i % 100 == 0) {
            catalogue.reviseItem(*held[i]->code());
            revised.insert(*held[i]->code());
        }
    }
    library->flushUserInfoItemsWritingCache();
    ASSERT_TRUE(refreshed(library));
    {
        SCOPED_TRACE("1 % revised");
        expectRowsWritten(library, revised);
    }
    const auto after = storedRows();
    for (const auto& [code, text] : before)
        EXPECT_EQ(after.at(code) != text, revised.contains(code)) << code;

    // A restart reads the list from storage alone: every record as made, with what the member
    // did with it.
    const auto made = library->items();
    library.reset();
    context.reset();
    plat::RunLoop::current().runUntil([] { return false; }, 0.02);
    context = makeContext();
    const auto reread = context->activeUserContext()->libraryDomain()->items();
    ASSERT_EQ(codesOf(reread), codesOf(made));
    for (size_t i = 0; i < made.size(); ++i) {
        expectSameRecord(*VnMagazineIssueInfoProxy::recordOf(made[i]),
                         *VnMagazineIssueInfoProxy::recordOf(reread[i]), *made[i]->code(), true);
    }
    // The rows written again carry what the member did with their items.
    const auto rows = storedRows();
    for (const auto& code : revised) {
        const auto row = objectFromJSONString(rows.at(code)).dictionary();
        ASSERT_TRUE(row) << code;
        EXPECT_TRUE(row->objectForKey("Finished").boolValue()) << code;
        EXPECT_TRUE(row->objectForKey("Readed").boolValue()) << code;
    }
}

TEST_F(StoredRowsTest, RepliesTheRecordsNormaliseReadBackAsMadeAndRefusedItemsStoreNothing) {
    // Numbers and truth values as text, nulls, missing values, unknown members, wrong kinds,
    // escapes, non-ASCII text, a repeated member, a repeated item (the last one counts), an item
    // nobody asked for, an element that is no object, and a type that the list changes.
    const std::vector<std::pair<std::string, std::string>> items = {
        {"H1", R"({"Code":"H1","Hash":"h1","Type":"Magazine","PageCount":"12","Revision":" 7",)"
               R"("FileSize":"1.5","Available":"1","IsFreeContent":"true","SortIndex":"3",)"
               R"("PrintListPrice":"59.50","BestSellerRank":1e2})"},
        {"H2",
         R"({ "Code" : "H2" , "Hash":"h2","Type":"Magazine","Author":null,"Prices":null,)"
         R"("IssueDate":null,"ModifiedDate":null,"SupportedMediaFormats":null,"PageCount":null,)"
         R"("ParentCode":"","IsPurchased":null,"PrintListPriceCurrency":null })"},
        {"H3", R"({"Code":"H3","Type":"Magazine"})"},
        {"H4",
         R"({"Code":"H4","Hash":"H4-UPPER","Type":"Magazine","Extra":{"Nested":[1,"two",null,)"
         R"({"k":true}],"E":1e3},"Z":-0.0,"Prices":[{"Price":"9","Currency":"THB",)"
         R"("Unknown":[]},3,"x"],"SupportedMediaFormats":[3,"1",1.0],"BookKind":1})"},
        {"H5",
         "{\"Code\":\"H5\",\"Hash\":\"h5\",\"Type\":\"Magazine\",\"IssueName\":"
         "\"\\u0e09\\u0e1a\\u0e31\\u0e1a \\\"q\\\" \\\\ \\/ \\n\\t\",\"MagazineName\":"
         "\"\\ud83d\\ude00 \xe0\xb8\x99\xe0\xb8\xb4\xe0\xb8\x95\",\"IssueDate\":\"2024/02/30\","
         "\"VarnelSaleDate\":\"2024/02/29\",\"ReturnDate\":\"31122024\",\"ModifiedDate\":"
         "\"01/02/2024 10:20:30\",\"ReturnDateValue\":\"not a date\"}"},
        {"H6", R"({"Code":"H6","Hash":"h6","Type":"Book","IssueName":"retyped"})"},
        {"DUP1", R"({"Code":"DUP1","Hash":"d","Type":"Magazine","IssueName":"first"})"},
        {"DUP1", R"({"Code":"DUP1","Hash":"d","Type":"Magazine","IssueName":"second"})"},
        {"FOREIGN", R"({"Code":"FOREIGN","Hash":"f","Type":"Magazine"})"},
        {"H7", R"({"Code":"H7","Hash":"h7","Type":"Magazine","IssueName":"a","IssueName":"b",)"
               R"("PageCount":true,"Prices":{"Price":1}})"},
        {"H8", R"("H8")"},
    };
    service.addMethod("GetMetaMagazineIssueInfos", [](const Json&, demo::Session&) {
        Json references = Json::array();
        int position = 0;
        for (const char* code : {"H1", "H2", "H3", "H4", "H5", "H6", "DUP1", "H7", "H8"})
            references.push_back(
                {{"MagazineIssueCode", code}, {"Hash", "x"}, {"SortIndex", position++}});
        return references;
    });
    writeBatch = [&](const demo::RecordedRequest&) {
        std::string text = "{ \"d\" : [";
        for (size_t i = 0; i < items.size(); ++i)
            text += (i ? ",\n " : "") + items[i].second;
        return text + "]}";
    };
    auto library = context->activeUserContext()->libraryDomain();
    ASSERT_TRUE(refreshed(library));
    EXPECT_EQ(codesOf(library->items()),
              (std::vector<std::string>{"H1", "H2", "H3", "H4", "H5", "H6", "DUP1", "H7", "H8"}));
    expectRowsWritten(library);
    EXPECT_FALSE(storedRows().contains("FOREIGN"));

    // A batch holding an unusable code is refused whole: nothing of it is stored.
    const auto before = storedRows();
    service.addMethod("GetMetaMagazineIssueInfos", [](const Json&, demo::Session&) {
        return Json::array({Json{{"MagazineIssueCode", "H1"}, {"Hash", "x"}},
                            Json{{"MagazineIssueCode", "NEW"}, {"Hash", "n"}}});
    });
    for (const char* refused :
         {R"({"Code":7,"Hash":"n"})", R"({"Code":"../x","Hash":"n"})", R"({"Hash":"n"})"}) {
        writeBatch = [&](const demo::RecordedRequest&) {
            return std::string("{\"d\":[{\"Code\":\"NEW\",\"Hash\":\"n\",\"Type\":\"Magazine\"},") +
                   refused + "]}";
        };
        EXPECT_FALSE(refreshed(library)) << refused;
        EXPECT_EQ(storedRows(), before) << refused;
    }
}

}  // namespace
