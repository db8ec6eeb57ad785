#include "app/issueui/IssuePageRecord.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/storage/AtomicFile.h"
#include "platform/storage/Paths.h"

namespace {

constexpr std::string_view kMagic = "varnel-issue-pages 3";

// The next space-separated word of the line (the rest of the line is left in `line`).
std::string_view word(std::string_view& line) {
    // Words are short: a plain loop beats a call to search for the space.
    size_t end = 0;
    while (end < line.size() && line[end] != ' ')
        ++end;
    const std::string_view w = line.substr(0, end);
    line = end == line.size() ? std::string_view() : line.substr(end + 1);
    return w;
}

template <class T>
bool number(std::string_view text, T& out) {
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

// Any finite number, as %.17g writes it (read in any locale).
bool finite(std::string_view text, double& out) {
    // Most are whole numbers, read exactly without the general parser (below 2^53 a double
    // holds each one).
    if (!text.empty() && text.size() <= 15 &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        uint64_t whole = 0;
        for (const char c : text)
            whole = whole * 10 + static_cast<uint64_t>(c - '0');
        out = static_cast<double>(whole);
        return true;
    }
    return text.size() <= 32 && number(text, out) && std::isfinite(out);
}

bool side(std::string_view text, double& out) {
    return finite(text, out) && out > 0;
}

// The characters a word of a line cannot hold, and how they are written.
constexpr std::pair<char, std::string_view> kEscapes[] = {
    {'%', "%25"}, {' ', "%20"}, {'\t', "%09"}, {'\n', "%0A"}, {'\r', "%0D"}};

// A text as one word of a line; "%" alone for nothing.
std::string escapedWord(std::string_view text) {
    if (text.empty())
        return "%";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                          [c](const auto& e) { return e.first == c; });
        if (escape == std::end(kEscapes))
            out += c;
        else
            out += escape->second;
    }
    return out;
}

bool unescapedWord(std::string_view word, std::string& out) {
    out.clear();
    if (word == "%")
        return true;
    if (word.empty())
        return false;
    if (word.find('%') == std::string_view::npos) {
        out.assign(word);
        return true;
    }
    out.reserve(word.size());
    for (size_t i = 0; i < word.size(); ++i) {
        if (word[i] != '%') {
            out += word[i];
            continue;
        }
        const std::string_view code = word.substr(i, 3);
        const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                          [code](const auto& e) { return e.second == code; });
        if (escape == std::end(kEscapes))
            return false;
        out += escape->first;
        i += 2;
    }
    return true;
}

// "<seconds>.<nanoseconds>".
bool fileTime(std::string_view text) {
    uint64_t n = 0;
    const size_t dot = text.find('.');
    return dot != std::string_view::npos && number(text.substr(0, dot), n) &&
           number(text.substr(dot + 1), n);
}

// "<size> <modification time> <inode> <status-change time>", as PdfPageCheck::fileIdentity writes
// it.
bool identity(std::string_view size, std::string_view modified, std::string_view inode,
              std::string_view changed) {
    uint64_t n = 0;
    return number(size, n) && fileTime(modified) && number(inode, n) && fileTime(changed);
}

// "<index> <size> <modified> <inode> <changed> <file> <label> <top> <left> <bottom> <right>" then
// "usable <w> <h>" or "damaged <reason>". The file is a name within the issue's folder, nothing
// else.
bool pageLine(std::string_view line, int& index, IssuePageRecord::Page& page) {
    const auto size = (number(word(line), index) && index >= 0) ? word(line) : std::string_view();
    const auto modified = word(line);
    const auto inode = word(line);
    const auto changed = word(line);
    if (!identity(size, modified, inode, changed))
        return false;
    // The four words as they stand, with the spaces between them.
    page.identity.assign(size.data(),
                         static_cast<size_t>(changed.data() + changed.size() - size.data()));
    if (!unescapedWord(word(line), page.file) ||
        (!page.file.empty() && !plat::Paths::isSafeComponent(page.file)) ||
        !unescapedWord(word(line), page.label))
        return false;
    auto& insets = page.insets;
    for (double* side : {&insets.top, &insets.left, &insets.bottom, &insets.right}) {
        if (!finite(word(line), *side))
            return false;
    }
    const auto kind = word(line);
    if (kind == "usable") {
        const auto w = word(line);
        return side(w, page.verdict.width) && side(line, page.verdict.height);
    }
    page.verdict.usable = false;
    page.verdict.reason = std::string(line);
    return kind == "damaged";
}

// No page's line is shorter than "0 1 1.1 1 1.1 % % 0 0 0 0 damaged\n".
constexpr size_t kShortestPageLine = 34;

// The count of pages the closing line "end <count>" states, no more than the text can hold; 0
// when there is no such line.
size_t statedCount(std::string_view text) {
    if (text.size() < 2 || text.back() != '\n')
        return 0;
    const size_t start = text.rfind('\n', text.size() - 2) + 1;  // 0 when it is the only line
    const std::string_view last = text.substr(start, text.size() - 1 - start);
    size_t count = 0;
    if (!last.starts_with("end ") || !number(last.substr(4), count))
        return 0;
    return std::min(count, text.size() / kShortestPageLine);
}

}  // namespace

IssuePageRecord IssuePageRecord::read(const std::filesystem::path& path,
                                      const std::string& issueCode) {
    const auto bytes = plat::AtomicFile::read(path, kMaxBytes);
    if (bytes) {
        auto record =
            parse({reinterpret_cast<const char*>(bytes->data()), bytes->size()}, issueCode);
        if (record)
            return std::move(*record);
    }
    return IssuePageRecord(issueCode);
}

std::optional<IssuePageRecord> IssuePageRecord::parse(std::string_view text,
                                                      const std::string& issueCode) {
    IssuePageRecord record(issueCode);
    std::string_view rest = text;
    const auto nextLine = [&](std::string_view& line) {
        const size_t end = rest.find('\n');
        if (end == std::string_view::npos)
            return false;  // every line ends with one: a record cut short lacks it
        line = rest.substr(0, end);
        rest = rest.substr(end + 1);
        return true;
    };
    std::string_view line;
    if (!nextLine(line) || line != kMagic || !nextLine(line) ||
        line != "issue " + plat::Paths::escapeComponent(issueCode))
        return std::nullopt;
    record.pages_.reserve(statedCount(rest));
    while (nextLine(line)) {
        if (line.starts_with("end ")) {
            size_t count = 0;
            if (!number(line.substr(4), count) || count != record.pages_.size() || !rest.empty())
                return std::nullopt;
            return record;
        }
        // Written in the order of their indices: each goes at the end.
        auto& entry = record.pages_.emplace_back();
        if (!pageLine(line, entry.index, entry.page) ||
            (record.pages_.size() > 1 && record.pages_.end()[-2].index >= entry.index))
            return std::nullopt;
    }
    return std::nullopt;  // no closing line
}

std::string IssuePageRecord::text() const {
    std::string out =
        std::string(kMagic) + "\nissue " + plat::Paths::escapeComponent(issueCode_) + "\n";
    for (const auto& [index, page] : pages_) {
        out += std::to_string(index) + " " + page.identity + " " + escapedWord(page.file) + " " +
               escapedWord(page.label);
        char insets[160];
        std::snprintf(insets, sizeof insets, " %.17g %.17g %.17g %.17g ", page.insets.top,
                      page.insets.left, page.insets.bottom, page.insets.right);
        out += insets;
        if (page.verdict.usable) {
            char size[64];
            std::snprintf(size, sizeof size, "usable %.17g %.17g\n", page.verdict.width,
                          page.verdict.height);
            out += size;
        } else {
            std::string reason = page.verdict.reason;
            for (char& c : reason) {
                if (c == '\n' || c == '\r')
                    c = ' ';
            }
            out += "damaged " + reason + "\n";
        }
    }
    return out + "end " + std::to_string(pages_.size()) + "\n";
}

Ref<plat::Error> IssuePageRecord::write(const std::filesystem::path& path) const {
    const std::string bytes = text();
    return plat::AtomicFile::write(
        path, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, 0644);
}

std::vector<IssuePageRecord::Entry>::const_iterator IssuePageRecord::find(int index) const {
    if (index >= 0 && static_cast<size_t>(index) < pages_.size() &&
        pages_[static_cast<size_t>(index)].index == index)
        return pages_.begin() + index;
    return std::lower_bound(pages_.begin(), pages_.end(), index,
                            [](const Entry& entry, int i) { return entry.index < i; });
}

const IssuePageRecord::Page* IssuePageRecord::page(int index) const {
    const auto at = find(index);
    return at != pages_.end() && at->index == index ? &at->page : nullptr;
}

bool IssuePageRecord::set(int index, Page page) {
    const auto at = find(index);
    if (at == pages_.end() || at->index != index) {
        pages_.insert(at, Entry{index, std::move(page)});
        return true;
    }
    auto& kept = pages_[static_cast<size_t>(at - pages_.begin())].page;
    if (kept == page)
        return false;
    kept = std::move(page);
    return true;
}

bool IssuePageRecord::erase(int index) {
    const auto at = find(index);
    if (at == pages_.end() || at->index != index)
        return false;
    pages_.erase(at);
    return true;
}
