#include "demo-service/DemoSessionState.h"

#include <sys/stat.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace demo {
namespace {

using nlohmann::json;

// Readers that take a field when it has the right type and keep the default otherwise.
template <class T>
void take(const json& object, const char* name, T& field) {
    const auto it = object.find(name);
    if (it == object.end())
        return;
    if constexpr (std::is_same_v<T, bool>) {
        if (it->is_boolean())
            field = it->get<bool>();
    } else if constexpr (std::is_integral_v<T>) {
        if (it->is_number_integer())
            field = it->get<T>();
    } else {
        if (it->is_string())
            field = it->get<std::string>();
    }
}

template <class T, class Read>
void takeList(const json& object, const char* name, std::vector<T>& out, Read read) {
    const auto it = object.find(name);
    if (it == object.end() || !it->is_array())
        return;
    for (const auto& entry : *it) {
        if (entry.is_object())
            out.push_back(read(entry));
    }
}

std::set<std::string> textSet(const json& object, const char* name) {
    std::set<std::string> out;
    const auto it = object.find(name);
    if (it != object.end() && it->is_array()) {
        for (const auto& entry : *it) {
            if (entry.is_string())
                out.insert(entry.get<std::string>());
        }
    }
    return out;
}

json write(const SampleMemberState& m) {
    json loans = json::array();
    for (const auto& l : m.loans)
        loans.push_back({{"itemCode", l.itemCode},
                         {"bookCode", l.bookCode},
                         {"borrowed", l.borrowed},
                         {"due", l.due},
                         {"extended", l.extended},
                         {"readNow", l.readNow}});
    json reservations = json::array();
    for (const auto& r : m.reservations)
        reservations.push_back({{"itemCode", r.itemCode},
                                {"bookCode", r.bookCode},
                                {"reserved", r.reserved},
                                {"claimValidUntil", r.claimValidUntil}});
    json history = json::array();
    for (const auto& h : m.history)
        history.push_back(
            {{"bookCode", h.bookCode}, {"borrowed", h.borrowed}, {"returned", h.returned}});
    json bookmarks = json::array();
    for (const auto& b : m.bookmarks)
        bookmarks.push_back({{"id", b.id},
                             {"issueCode", b.issueCode},
                             {"markName", b.markName},
                             {"pageIndex", b.pageIndex},
                             {"chapterIndex", b.chapterIndex},
                             {"amountPage", b.amountPage}});
    json follows = json::array();
    for (const auto& [kind, code] : m.follows)
        follows.push_back({{"kind", kind}, {"code", code}});
    return {{"loans", loans},           {"reservations", reservations}, {"history", history},
            {"freeItems", m.freeItems}, {"samples", m.samples},         {"wishlist", m.wishlist},
            {"bookmarks", bookmarks},   {"lastPages", m.lastPages},     {"follows", follows}};
}

SampleMemberState read(const json& object) {
    SampleMemberState m;
    takeList(object, "loans", m.loans, [](const json& e) {
        SampleLoan l;
        take(e, "itemCode", l.itemCode);
        take(e, "bookCode", l.bookCode);
        take(e, "borrowed", l.borrowed);
        take(e, "due", l.due);
        take(e, "extended", l.extended);
        take(e, "readNow", l.readNow);
        return l;
    });
    takeList(object, "reservations", m.reservations, [](const json& e) {
        SampleReservation r;
        take(e, "itemCode", r.itemCode);
        take(e, "bookCode", r.bookCode);
        take(e, "reserved", r.reserved);
        take(e, "claimValidUntil", r.claimValidUntil);
        return r;
    });
    takeList(object, "history", m.history, [](const json& e) {
        SampleHistoryEntry h;
        take(e, "bookCode", h.bookCode);
        take(e, "borrowed", h.borrowed);
        take(e, "returned", h.returned);
        return h;
    });
    takeList(object, "bookmarks", m.bookmarks, [](const json& e) {
        SampleBookmark b;
        take(e, "id", b.id);
        take(e, "issueCode", b.issueCode);
        take(e, "markName", b.markName);
        take(e, "pageIndex", b.pageIndex);
        take(e, "chapterIndex", b.chapterIndex);
        take(e, "amountPage", b.amountPage);
        return b;
    });
    m.freeItems = textSet(object, "freeItems");
    m.samples = textSet(object, "samples");
    if (const auto it = object.find("wishlist"); it != object.end() && it->is_array()) {
        for (const auto& entry : *it) {
            if (entry.is_string())
                m.wishlist.push_back(entry.get<std::string>());
        }
    }
    if (const auto it = object.find("lastPages"); it != object.end() && it->is_object()) {
        for (const auto& [code, page] : it->items()) {
            if (page.is_number_integer())
                m.lastPages[code] = page.get<int>();
        }
    }
    if (const auto it = object.find("follows"); it != object.end() && it->is_array()) {
        for (const auto& entry : *it) {
            int kind = 0;
            std::string code;
            if (!entry.is_object())
                continue;
            take(entry, "kind", kind);
            take(entry, "code", code);
            m.follows.emplace(kind, code);
        }
    }
    return m;
}

}  // namespace

void loadState(SampleCatalogue& catalogue, const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return;
    std::stringstream text;
    text << in.rdbuf();
    const auto state = json::parse(text.str(), nullptr, false);
    if (state.is_discarded() || !state.is_object()) {
        std::cerr << "varnel-demo-service: ignoring unreadable state " << file << "\n";
        return;
    }
    if (const auto it = state.find("sessionTokens"); it != state.end() && it->is_object()) {
        for (const auto& [token, user] : it->items()) {
            if (user.is_string() && catalogue.account(user.get<std::string>()))
                catalogue.rememberSessionToken(token, user.get<std::string>());
        }
    }
    std::map<std::string, SampleMemberState> members;
    if (const auto it = state.find("members"); it != state.end() && it->is_object()) {
        for (const auto& [user, member] : it->items()) {
            if (member.is_object() && catalogue.account(user))
                members[user] = read(member);
        }
    }
    int nextCode = 0;
    take(state, "nextCode", nextCode);
    catalogue.restoreMemberStates(std::move(members), nextCode);
}

bool saveState(const SampleCatalogue& catalogue, const std::filesystem::path& file) {
    json tokens = json::object();
    for (const auto& [token, user] : catalogue.sessionTokens())
        tokens[token] = user;
    json members = json::object();
    for (const auto& [user, member] : catalogue.memberStates())
        members[user] = write(member);
    const json state{
        {"sessionTokens", tokens}, {"members", members}, {"nextCode", catalogue.nextCode()}};
    const std::filesystem::path temporary = file.string() + ".new";
    {
        const mode_t old = umask(077);
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        umask(old);
        out << state.dump(1) << "\n";
        out.flush();
        if (!out)
            return false;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, file, ec);
    return !ec;
}

}  // namespace demo
