#include "demo-service/DemoLibraryMembers.h"

#include <ctime>

namespace demo {
namespace {

std::string dayText(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char buffer[16];
    return std::string(buffer, std::strftime(buffer, sizeof buffer, "%d%m%y", &parts));
}

std::optional<std::string> memberOf(const Session& session) {
    const auto it = session.data.find("user");
    if (it == session.data.end() || !it->is_string())
        return std::nullopt;
    return it->get<std::string>();
}

bool allDigits(const std::string& text) {
    return !text.empty() && text.size() < 16 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

SampleItem book(std::string code, std::string title, int copies) {
    SampleItem item;
    item.code = std::move(code);
    item.title = std::move(title);
    item.author = "Sample Author";
    item.publisher = "Sample House";
    item.categoryCode = "B03";
    item.language = "en";
    item.issueDate = "2024/04/01";
    item.pageCount = 12;
    item.fileSize = 12 * 48 * 1024;
    item.prices = {SamplePrice{}};
    item.prices.front().purchaseCode = item.code + "-FREE";
    item.prices.front().method = "INAPP";
    item.prices.front().price = 99;
    item.libraryCopies = copies;
    return item;
}

}  // namespace

void addEpubOnlyBook(SampleCatalogue& catalogue) {
    SampleItem item = book(kEpubOnlyBook, "Flowing Text", 2);
    item.epubOnly = true;
    item.summary = "A book offered as EPUB text only, without pages.";
    catalogue.addItem(std::move(item));
}

void seedLibraryMembers(SampleCatalogue& catalogue) {
    catalogue.addAccount(
        {kShelfMember, kShelfMemberPassword, 1, "", "มานี", "มีตา", 2001, false, false});
    catalogue.addAccount(
        {kEmptyMember, kEmptyMemberPassword, 1, "", "Empty", "Shelf", 2002, false, false});
    catalogue.addAccount(
        {"waiting@example.com", "waiting-pass", 1, "", "Waiting", "Reader", 2003, false, false});

    catalogue.addItem(book(kNumericCodeBook, "Numbers Only", 2));
    addEpubOnlyBook(catalogue);
    for (const char* code : {"BK-RSV1", "BK-RSV2", "BK-RSV3"})
        catalogue.addItem(book(code, std::string("Queued ") + code, 1));
    if (const SampleItem* issue = catalogue.findItem("MG01-2401")) {
        SampleItem zero = *issue;
        zero.code = kZeroPageIssue;
        zero.title += " (empty)";
        zero.issueDate = "2024/04/01";
        zero.pageCount = 0;
        zero.fileSize = 0;
        catalogue.addItem(std::move(zero));
    }

    // Thirty past loans, returned one after the other.
    for (int i = 0; i < 30; ++i) {
        const char* code = i % 2 ? "BK0003" : "BK0006";
        catalogue.borrow(kShelfMember, code);
        catalogue.returnLoan(kShelfMember, code);
        catalogue.advanceClock(60);
    }
    for (const char* code : {"BK0003", "MG01-2401", kNumericCodeBook, kEpubOnlyBook})
        catalogue.borrow(kShelfMember, code);
    catalogue.borrow(kShelfMember, kZeroPageIssue);
    catalogue.readNow(kShelfMember, "BK0006");
    catalogue.takeFreeItem(kShelfMember, "BK0001");
    catalogue.takeSample(kShelfMember, "BK0004");

    // Claimable: the one copy comes back while the member waits for it.
    catalogue.borrow("waiting@example.com", "BK-RSV1");
    catalogue.reserve(kShelfMember, "BK-RSV1");
    catalogue.returnLoan("waiting@example.com", "BK-RSV1");
    // Waiting, first in the queue.
    catalogue.borrow("waiting@example.com", "BK-RSV2");
    catalogue.advanceClock(60);
    catalogue.reserve(kShelfMember, "BK-RSV2");
    // Waiting, one member ahead.
    catalogue.borrow("nok@example.com", "BK-RSV3");
    catalogue.advanceClock(60);
    catalogue.reserve("waiting@example.com", "BK-RSV3");
    catalogue.advanceClock(60);
    catalogue.reserve(kShelfMember, "BK-RSV3");
}

void enableLibraryMembers(DemoService& service, SampleCatalogue& catalogue, bool numericCodes) {
    SampleCatalogue* cat = &catalogue;
    for (const char* name : {"GetCurrentReserveBookInfos", "NeedClaimActionBooks"}) {
        auto previous = service.methodHandler(name);
        service.addMethodWithRequest(name, [cat, previous](const Json& body, Session& session,
                                                           const RecordedRequest& request) {
            Json records = previous ? previous(body, session, request) : Json::array();
            const auto user = memberOf(session);
            if (!records.is_array() || !user)
                return records;
            for (auto& record : records) {
                if (!record.is_object() || !record.contains("BookCode") ||
                    !record["BookCode"].is_string())
                    continue;
                const std::string code = record["BookCode"].get<std::string>();
                const SampleItem* item = cat->findItem(code);
                record["ItemType"] = item ? itemKindName(item->kind) : "Book";
                if (!record.value("IsClaimable", false))
                    record["RemainingPeople"] = cat->reserversAhead(*user, code);
                const auto due = cat->earliestDue(code);
                record["ReturnDate"] = due ? dayText(*due) : "";
            }
            return records;
        });
    }
    auto previous = service.methodHandler("GetLibraryIssueInfos");
    service.addMethodWithRequest(
        "GetLibraryIssueInfos", [previous, numericCodes](const Json& body, Session& session,
                                                         const RecordedRequest& request) {
            Json records = previous ? previous(body, session, request) : Json::array();
            if (!records.is_array())
                return records;
            for (auto& record : records) {
                if (!record.is_object() || !record.contains("Code") || !record["Code"].is_string())
                    continue;
                const std::string code = record["Code"].get<std::string>();
                if (numericCodes && allDigits(code))
                    record["Code"] = std::stoll(code);
            }
            return records;
        });
}

}  // namespace demo
