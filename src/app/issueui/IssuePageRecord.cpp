#include "app/issueui/IssuePageRecord.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/storage/AtomicFile.h"
#include "platform/storage/Paths.h"

namespace {

constexpr std::string_view kMagic = "varnel-issue-pages 2";

// The next space-separated word of the line (the rest of the line is left in `line`).
std::string_view word(std::string_view& line) {
    const size_t end = line.find(' ');
    const std::string_view w = line.substr(0, end);
    line = end == std::string_view::npos ? std::string_view() : line.substr(end + 1);
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

// "<size> <seconds>.<nanoseconds>", as PdfPageCheck::fileIdentity writes it.
bool identity(std::string_view size, std::string_view time) {
    uint64_t n = 0;
    const size_t dot = time.find('.');
    return number(size, n) && dot != std::string_view::npos && number(time.substr(0, dot), n) &&
           number(time.substr(dot + 1), n);
}

// "<index> <size> <time> <file> <label> <top> <left> <bottom> <right>" then "usable <w> <h>" or
// "damaged <reason>". The file is a name within the issue's folder, nothing else.
bool pageLine(std::string_view line, int& index, IssuePageRecord::Page& page) {
    const auto size = (number(word(line), index) && index >= 0) ? word(line) : std::string_view();
    const auto time = word(line);
    if (!identity(size, time))
        return false;
    // The two words as they stand, with the space between them.
    page.identity.assign(size.data(), static_cast<size_t>(time.data() + time.size() - size.data()));
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
    while (nextLine(line)) {
        if (line.starts_with("end ")) {
            size_t count = 0;
            if (!number(line.substr(4), count) || count != record.pages_.size() || !rest.empty())
                return std::nullopt;
            return record;
        }
        int index = 0;
        Page page;
        // Written in the order of their indices: each goes at the end.
        if (!pageLine(line, index, page) ||
            (!record.pages_.empty() && record.pages_.rbegin()->first >= index))
            return std::nullopt;
        record.pages_.emplace_hint(record.pages_.end(), index, std::move(page));
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

const IssuePageRecord::Page* IssuePageRecord::page(int index) const {
    const auto it = pages_.find(index);
    return it == pages_.end() ? nullptr : &it->second;
}

bool IssuePageRecord::set(int index, Page page) {
    auto& kept = pages_[index];
    if (kept == page)
        return false;
    kept = std::move(page);
    return true;
}
