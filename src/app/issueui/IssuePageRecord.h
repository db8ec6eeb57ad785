#pragma once
// IssuePageRecord: what an issue knows of its checked page files, kept in one small file beside
// them ("pages.record" in the issue's folder), so that opening the issue makes each page from it
// alone (its file, size or damage, name and crop), without opening or stat-ing a page file and
// without reading the issue's rendering metadata. Each page's entry holds the file's identity at
// its check (PdfPageCheck::fileIdentity): a page renders only while its file still has it and the
// file's own kept check says the same (both compared at render).
//
// The file is ours: a versioned text naming the issue, one line a page (by index, never by a
// name from the service), and a closing line with the count of pages. One that is missing,
// unreadable, cut short, of another version or of another issue is ignored as a whole: its
// pages are checked again as they are found. It is written whole, atomically.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Error.h"
#include "platform_ui/pdf/PdfPageCheck.h"

class IssuePageRecord {
  public:
    // Points cut from each side of the page's crop box.
    struct Insets {
        double top = 0, left = 0, bottom = 0, right = 0;
        bool operator==(const Insets&) const = default;
    };
    struct Page {
        ui::PdfPageCheck::Verdict verdict;
        std::string identity;  // as PdfPageCheck::fileIdentity
        // The page as the issue's metadata described it when it was kept: its file's name in the
        // issue's folder (empty when the file lies elsewhere), its name and its insets.
        std::string file;
        std::string label;
        Insets insets;
        bool operator==(const Page&) const = default;
    };
    static constexpr const char* kFileName = "pages.record";
    static constexpr size_t kMaxBytes = size_t{4} << 20;

    explicit IssuePageRecord(std::string issueCode) : issueCode_(std::move(issueCode)) {}
    // The issue's record at path; an empty one when there is none that can be trusted.
    static IssuePageRecord read(const std::filesystem::path& path, const std::string& issueCode);
    // Nothing when the text is not a whole record of that issue.
    static std::optional<IssuePageRecord> parse(std::string_view text,
                                                const std::string& issueCode);
    std::string text() const;
    Ref<plat::Error> write(const std::filesystem::path& path) const;

    // The page's entry, valid until the next set; nothing when there is none.
    const Page* page(int index) const;
    // False when the entry was already so.
    bool set(int index, Page page);
    // False when there was no entry.
    bool erase(int index);
    size_t size() const { return pages_.size(); }

  private:
    struct Entry {
        int index = 0;
        Page page;
    };
    // The entry of the page with that index or, when it has none, where it would go.
    std::vector<Entry>::const_iterator find(int index) const;

    std::string issueCode_;
    // In the order of their indices. An issue's pages are kept from index 0 on without gaps, so
    // a page's entry is mostly found at its index; indices far apart cost nothing more.
    std::vector<Entry> pages_;
};
