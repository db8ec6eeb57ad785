#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>

#include "app/issueui/IssuePageRecord.h"

namespace {

IssuePageRecord sample() {
    IssuePageRecord record("MZ-01/../x");
    record.set(0, {{true, "", 595.5, 842},
                   "1234 1700000000.5 812 1700000002.75",
                   "PAGE_PDF_0",
                   "ปก 1 %20\tของ",
                   {12.5, 0, -3, 1e-7}});
    record.set(7, {{false, "The PDF document is cut short (no %%EOF)\nsecond line", 0, 0},
                   "9 1700000001.25 813 1700000001.25"});
    return record;
}

std::string replaced(std::string text, const std::string& what, const std::string& with) {
    return text.replace(text.find(what), what.size(), with);
}

TEST(IssuePageRecordTest, AWholeRecordOfTheIssueReadsBackAndNothingLessIsTrusted) {
    const std::string text = sample().text();
    const auto back = IssuePageRecord::parse(text, "MZ-01/../x");
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 2u);
    EXPECT_EQ(back->text(), text);
    EXPECT_EQ(back->page(0)->identity, "1234 1700000000.5 812 1700000002.75");
    EXPECT_TRUE(back->page(0)->verdict.usable);
    EXPECT_EQ(back->page(0)->verdict.width, 595.5);
    EXPECT_EQ(back->page(0)->verdict.height, 842);
    // The page as the reader shows it: file, name (spaces, escapes and Thai kept) and insets.
    EXPECT_EQ(back->page(0)->file, "PAGE_PDF_0");
    EXPECT_EQ(back->page(0)->label, "ปก 1 %20\tของ");
    EXPECT_EQ(back->page(0)->insets, (IssuePageRecord::Insets{12.5, 0, -3, 1e-7}));
    EXPECT_TRUE(back->page(7)->file.empty());
    EXPECT_TRUE(back->page(7)->label.empty());
    EXPECT_FALSE(back->page(7)->verdict.usable);
    EXPECT_NE(back->page(7)->verdict.reason.find("cut short"), std::string::npos);
    EXPECT_FALSE(back->page(3));
    // A record cut anywhere (a write stopped midway by something other than our own writer) is
    // ignored as a whole; so is one of another issue, or of another version.
    for (size_t n = 0; n < text.size(); ++n)
        EXPECT_FALSE(IssuePageRecord::parse(text.substr(0, n), "MZ-01/../x")) << n;
    EXPECT_FALSE(IssuePageRecord::parse(text, "MZ-02"));
    std::string other = text;
    other.replace(other.find(" 2\n"), 3, " 1\n");
    EXPECT_FALSE(IssuePageRecord::parse(other, "MZ-01/../x"));
    for (const std::string& bad :
         {std::string("\x7f garbage\n"), text + "0 1 2.3 usable 1 1\n",
          text.substr(0, text.find("end")) + "end 3\n",
          text.substr(0, text.find("usable")) + "usable -5 nan\nend 2\n",
          // A file named outside the issue's folder, or a bad escape.
          replaced(text, "PAGE_PDF_0", ".."), replaced(text, "PAGE_PDF_0", "a/b"),
          replaced(text, "PAGE_PDF_0", "%2F"), replaced(text, "12.5", "inf"),
          // Pages out of order, or one twice.
          replaced(text, "\n7 ", "\n0 ")})
        EXPECT_FALSE(IssuePageRecord::parse(bad, "MZ-01/../x")) << bad;
}

TEST(IssuePageRecordTest, PagesKeptInAnyOrderAndFarApartCostNoMoreThanTheirEntries) {
    // Kept as their checks end, in any order; an index near the largest costs its entry alone.
    IssuePageRecord record("MZ-01");
    const IssuePageRecord::Page page{{true, "", 1, 2}, "5 6.7 8 9.1"};
    for (const int index : {5, 0, 2000000000, 3})
        EXPECT_TRUE(record.set(index, page));
    EXPECT_FALSE(record.set(3, page));
    auto changed = page;
    changed.label = "P4";
    EXPECT_TRUE(record.set(3, changed));
    EXPECT_EQ(record.size(), 4u);
    const auto back = IssuePageRecord::parse(record.text(), "MZ-01");
    ASSERT_TRUE(back);
    for (const int index : {0, 5, 2000000000})
        EXPECT_EQ(back->page(index) ? back->page(index)->identity : "none", "5 6.7 8 9.1") << index;
    ASSERT_TRUE(back->page(3));
    EXPECT_EQ(back->page(3)->label, "P4");
    for (const int index : {-1, 1, 4, 6, 1999999999, 2147483647})
        EXPECT_FALSE(back->page(index)) << index;
    // A closing line stating more pages than the text could hold is refused without making room
    // for them.
    const std::string text = record.text();
    EXPECT_FALSE(IssuePageRecord::parse(replaced(text, "end 4\n", "end 4000000000\n"), "MZ-01"));
}

TEST(IssuePageRecordTest, AMissingOrGarbageFileReadsAsAnEmptyRecord) {
    QTemporaryDir folder;
    const std::filesystem::path path = folder.filePath(IssuePageRecord::kFileName).toStdString();
    EXPECT_EQ(IssuePageRecord::read(path, "MZ-01/../x").size(), 0u);
    ASSERT_FALSE(sample().write(path));
    EXPECT_EQ(IssuePageRecord::read(path, "MZ-01/../x").size(), 2u);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "varnel-issue-pages 3\nissue";
    EXPECT_EQ(IssuePageRecord::read(path, "MZ-01/../x").size(), 0u);
}

}  // namespace
