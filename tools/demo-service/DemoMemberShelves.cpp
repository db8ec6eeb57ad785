#include "demo-service/DemoMemberShelves.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <optional>

#include "demo-service/DemoListing.h"
#include "demo-service/JsonNumber.h"

namespace demo {
namespace {

std::string textField(const Json& body, const char* key) {
    if (!body.is_object() || !body.contains(key) || !body[key].is_string())
        return {};
    return body[key].get<std::string>();
}

std::optional<std::string> shelfMemberOf(const Session& session) {
    const auto it = session.data.find("user");
    if (it == session.data.end() || !it->is_string())
        return std::nullopt;
    return it->get<std::string>();
}

std::string dayTime(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char buffer[32];
    return std::string(buffer, std::strftime(buffer, sizeof buffer, "%Y/%m/%d %H:%M", &parts));
}

// One thing a member holds, by the item's code.
struct Held {
    std::optional<SampleLoan> loan;
    bool sample = false;
};

std::map<std::string, Held> heldBy(const SampleCatalogue& catalogue, const std::string& user) {
    std::map<std::string, Held> held;
    for (const auto& code : catalogue.freeItems(user))
        held[code];
    for (const auto& code : catalogue.samples(user))
        held[code].sample = true;
    for (const auto& loan : catalogue.loans(user))
        held[loan.bookCode].loan = loan;
    return held;
}

// The held items of one kind as the listings' references, paged by "start" and "length".
Json heldReferences(const SampleCatalogue& catalogue, const Json& body, const Session& session,
                    bool books) {
    Json out = Json::array();
    const auto user = shelfMemberOf(session);
    if (!user)
        return out;
    std::vector<const SampleItem*> items;
    for (const auto& [code, held] : heldBy(catalogue, *user)) {
        const SampleItem* item = catalogue.findItem(code);
        if (item && (item->kind == ItemKind::Book) == books)
            items.push_back(item);
    }
    const auto all = referenceList(std::move(items));
    const auto number = [&](const char* key) {
        return body.is_object() && body.contains(key) ? clampedInteger(body[key]).value_or(0) : 0;
    };
    const auto start =
        std::min(all.size(), static_cast<size_t>(std::max<int64_t>(0, number("start"))));
    const auto length = static_cast<size_t>(std::max<int64_t>(0, number("length")));
    const size_t end = length == 0 ? all.size() : start + std::min(length, all.size() - start);
    for (size_t i = start; i < end; ++i)
        out.push_back(all[i]);
    return out;
}

}  // namespace

void enableMemberShelves(DemoService& service, SampleCatalogue& catalogue) {
    SampleCatalogue* cat = &catalogue;
    auto wrap = [&service, cat](const std::string& name, auto answer) {
        auto previous = service.methodHandler(name);
        service.addMethodWithRequest(
            name,
            [cat, previous, answer](const Json& body, Session& session,
                                    const RecordedRequest& request) -> Json {
                cat->endOverdueLoans();
                return answer(body, session, [&](const Json& b) {
                    return previous ? previous(b, session, request) : Json();
                });
            });
    };
    wrap("GetMetaMagazineIssueInfos", [cat](const Json& body, Session& session, auto previous) {
        return textField(body, "magazineType") == "Libraries"
                   ? heldReferences(*cat, body, session, false)
                   : previous(body);
    });
    wrap("GetMetaBookInfos", [cat](const Json& body, Session& session, auto previous) {
        return textField(body, "categoryCode") == "_Libraries"
                   ? heldReferences(*cat, body, session, true)
                   : previous(body);
    });
    wrap("GetLibraryIssueInfos", [cat](const Json& body, Session& session, auto previous) {
        const auto user = shelfMemberOf(session);
        if (!user)
            return Json::array();
        const auto held = heldBy(*cat, *user);
        Json codes = Json::array();
        if (body.is_object() && body.contains("bookCodes") && body["bookCodes"].is_array()) {
            for (const auto& code : body["bookCodes"]) {
                if (code.is_string() && held.count(code.get<std::string>()))
                    codes.push_back(code);
            }
        }
        Json records = previous(Json{{"bookCodes", codes}});
        if (!records.is_array())
            return Json::array();
        for (auto& record : records) {
            const auto it = held.find(textField(record, "Code"));
            if (it == held.end())
                continue;
            const auto& loan = it->second.loan;
            record["ItemCode"] = loan ? loan->itemCode : it->first;
            record["DueDate"] = loan ? Json(dayTime(loan->due)) : Json();
            record["AsReadNow"] = loan && loan->readNow;
            record["IsGetSample"] = it->second.sample;
        }
        return records;
    });
    wrap("ReadBookNow", [cat](const Json& body, Session& session, auto) -> Json {
        const auto user = shelfMemberOf(session);
        const auto reply = [](const Outcome& outcome) {
            return Json{{"IsSuccess", outcome.success},
                        {"Message", outcome.message},
                        {"MessageTH", outcome.messageTH},
                        {"ResultCode", outcome.resultCode}};
        };
        if (!user)
            return reply(Outcome::refused(1, "Please sign in first.", "กรุณาเข้าสู่ระบบก่อน"));
        const std::string code = textField(body, "bookCode");
        const SampleItem* item = cat->findItem(code);
        if (item && item->isFree() && item->libraryCopies == 0)
            return reply(Outcome::done("Ready to read.", "พร้อมอ่าน"));
        return reply(cat->readNow(*user, code));
    });
    for (const char* name : {"BorrowBook", "ReturnBook", "ExtendBorrowBook", "ReserveBook"})
        wrap(name, [](const Json& body, Session&, auto previous) { return previous(body); });
}

}  // namespace demo
