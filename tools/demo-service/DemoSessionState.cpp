#include "demo-service/DemoSessionState.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iostream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace demo {

// The stored form of each record: its fields under their own names; a missing field keeps its
// default.
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(SampleLoan, itemCode, bookCode, borrowed, due,
                                                extended, readNow)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(SampleReservation, itemCode, bookCode, reserved,
                                                claimValidUntil)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(SampleHistoryEntry, bookCode, borrowed, returned)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(SampleBookmark, id, issueCode, markName, pageIndex,
                                                chapterIndex, amountPage)

namespace {

using nlohmann::json;

// Reads a list under `name`, keeping the entries that read as T and skipping the others, so one
// damaged entry costs only itself.
template <class T>
std::vector<T> readList(const json& object, const char* name) {
    std::vector<T> out;
    const auto it = object.find(name);
    if (it == object.end() || !it->is_array())
        return out;
    for (const auto& entry : *it) {
        try {
            out.push_back(entry.get<T>());
        } catch (const json::exception&) {
        }
    }
    return out;
}

json write(const SampleMemberState& m) {
    json follows = json::array();
    for (const auto& [kind, code] : m.follows)
        follows.push_back({{"kind", kind}, {"code", code}});
    return {{"loans", m.loans},         {"reservations", m.reservations}, {"history", m.history},
            {"freeItems", m.freeItems}, {"samples", m.samples},           {"wishlist", m.wishlist},
            {"bookmarks", m.bookmarks}, {"lastPages", m.lastPages},       {"follows", follows}};
}

SampleMemberState read(const json& object) {
    SampleMemberState m;
    m.loans = readList<SampleLoan>(object, "loans");
    m.reservations = readList<SampleReservation>(object, "reservations");
    m.history = readList<SampleHistoryEntry>(object, "history");
    m.bookmarks = readList<SampleBookmark>(object, "bookmarks");
    for (auto& code : readList<std::string>(object, "freeItems"))
        m.freeItems.insert(std::move(code));
    for (auto& code : readList<std::string>(object, "samples"))
        m.samples.insert(std::move(code));
    m.wishlist = readList<std::string>(object, "wishlist");
    if (const auto it = object.find("lastPages"); it != object.end() && it->is_object()) {
        for (const auto& [code, page] : it->items()) {
            if (page.is_number_integer())
                m.lastPages[code] = page.get<int>();
        }
    }
    if (const auto it = object.find("follows"); it != object.end() && it->is_array()) {
        for (const auto& entry : *it) {
            try {
                m.follows.emplace(entry.at("kind").get<int>(), entry.at("code").get<std::string>());
            } catch (const json::exception&) {
            }
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
    if (const auto it = state.find("sessions"); it != state.end() && it->is_object()) {
        for (const auto& [id, data] : it->items()) {
            if (data.is_object())
                catalogue.keepSession(id, data.dump());
        }
    }
    std::map<std::string, SampleMemberState> members;
    if (const auto it = state.find("members"); it != state.end() && it->is_object()) {
        for (const auto& [user, member] : it->items()) {
            if (member.is_object() && catalogue.account(user))
                members[user] = read(member);
        }
    }
    const auto next = state.find("nextCode");
    const int nextCode = next != state.end() && next->is_number_integer() ? next->get<int>() : 0;
    catalogue.restoreMemberStates(std::move(members), nextCode);
}

bool saveState(const SampleCatalogue& catalogue, const std::filesystem::path& file) {
    json tokens = json::object();
    for (const auto& [token, user] : catalogue.sessionTokens())
        tokens[token] = user;
    json sessions = json::object();
    for (const auto& [id, data] : catalogue.keptSessions()) {
        auto parsed = json::parse(data, nullptr, false);
        if (parsed.is_object())
            sessions[id] = std::move(parsed);
    }
    json members = json::object();
    for (const auto& [user, member] : catalogue.memberStates())
        members[user] = write(member);
    const json state{{"sessionTokens", tokens},
                     {"sessions", sessions},
                     {"members", members},
                     {"nextCode", catalogue.nextCode()}};
    // Written beside the file, synced and renamed over it, readable by the owner alone from the
    // start (the file holds session tokens).
    const std::string text = state.dump(1) + "\n";
    const std::filesystem::path temporary = file.string() + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool written = ::fchmod(fd, 0600) == 0;
    for (size_t done = 0; written && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        written = n > 0;
        done += written ? static_cast<size_t>(n) : 0;
    }
    written = written && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    std::error_code ec;
    if (written)
        std::filesystem::rename(temporary, file, ec);
    if (!written || ec) {
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

}  // namespace demo
