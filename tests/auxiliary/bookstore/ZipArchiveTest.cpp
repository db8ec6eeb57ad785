#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>
#include <fstream>
#include <sstream>

#include "auxiliary/bookstore/ZipArchive.h"
#include "platform/storage/ScopedEnvironment.h"
#include "support/ChildProcess.h"
#include "support/ZipBuilder.h"

namespace fs = std::filesystem;
using testing_support::ZipBuilder;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Hears the archive's messages and answers the overwrite question.
class ZipListener : public plat::Object {
    PLAT_CLASS(ZipListener)
  public:
    void ErrorMessage(std::string message) { messages.push_back(message); }
    bool OverWriteOperation(std::string) { return allowOverwrite; }
    std::vector<std::string> messages;
    bool allowOverwrite = false;
};
PLAT_DEFINE_CLASS(ZipListener, plat::Object, [](auto& c) {
    c.method("ErrorMessage:", &ZipListener::ErrorMessage)
        .method("OverWriteOperation:", &ZipListener::OverWriteOperation);
})

class ZipArchiveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = testing_support::freshTestFolder();
        destination = root / "out";
        fs::create_directories(destination);
        listener = std::make_shared<ZipListener>();
    }

    // Unpacks the zip into `destination`; the archive's answer.
    bool unpack(const fs::path& zip, const std::optional<std::string>& password = {},
                const ZipArchive::Limits& limits = {}, bool overwrite = true) {
        auto archive = std::make_shared<ZipArchive>();
        archive->setDelegate(listener);
        archive->setLimits(limits);
        const bool opened = password ? archive->UnzipOpenFile(zip.string(), *password)
                                     : archive->UnzipOpenFile(zip.string());
        EXPECT_TRUE(opened);
        const bool ok = archive->UnzipFileTo(destination.string(), overwrite);
        EXPECT_TRUE(archive->UnzipCloseFile());
        return ok;
    }

    // Every path under the test folder, outside `destination` and the zips.
    std::vector<std::string> strayFiles() const {
        std::vector<std::string> stray;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            const fs::path p = entry.path();
            if (p.extension() != ".zip" && p != destination &&
                p.string().rfind(destination.string() + "/", 0) != 0)
                stray.push_back(p.string());
        }
        return stray;
    }

    fs::path root, destination;
    Ref<ZipListener> listener;
};

TEST_F(ZipArchiveTest, UnpacksFoldersBackslashNamesDatesAndAsksBeforeOverwriting) {
    const std::string big(300'000, 'x');
    {
        ZipBuilder zip(root / "book.zip");
        zip.add("mimetype", "application/epub+zip", false)
            .add("META-INF\\container.xml", "<container/>")
            .add("OEBPS/", "")
            .add("OEBPS/text/ch1.xhtml", big);
        ASSERT_TRUE(zip.close());
    }
    ASSERT_TRUE(unpack(root / "book.zip"));
    EXPECT_EQ(readFile(destination / "mimetype"), "application/epub+zip");
    EXPECT_EQ(readFile(destination / "META-INF" / "container.xml"), "<container/>");
    EXPECT_EQ(readFile(destination / "OEBPS" / "text" / "ch1.xhtml"), big);
    struct stat st {};
    ASSERT_EQ(::stat((destination / "mimetype").c_str(), &st), 0);
    std::tm expected{};
    expected.tm_year = 124;
    expected.tm_mon = 2;
    expected.tm_mday = 2;
    expected.tm_hour = 10;
    expected.tm_isdst = -1;
    EXPECT_EQ(st.st_mtime, std::mktime(&expected));

    // Without overwriting, the delegate decides; no answer keeps the file.
    std::ofstream(destination / "mimetype") << "mine";
    ASSERT_TRUE(unpack(root / "book.zip", {}, {}, false));
    EXPECT_EQ(readFile(destination / "mimetype"), "mine");
    listener->allowOverwrite = true;
    ASSERT_TRUE(unpack(root / "book.zip", {}, {}, false));
    EXPECT_EQ(readFile(destination / "mimetype"), "application/epub+zip");
    EXPECT_TRUE(strayFiles().empty());
}

TEST_F(ZipArchiveTest, RefusesEntriesThatEscapeTheFolderOrUnpackToTooMuch) {
    struct Case {
        std::string label;
        std::function<void(ZipBuilder&)> build;
        std::string reason;
        ZipArchive::Limits limits{};
    };
    ZipArchive::Limits fewEntries;
    fewEntries.maxEntries = 2;
    ZipArchive::Limits tightRatio;
    tightRatio.maxRatio = 10;
    tightRatio.ratioFloorBytes = 0;
    ZipArchive::Limits smallTotal;
    smallTotal.maxTotalBytes = 1000;
    const std::vector<Case> cases = {
        {"zip slip", [](ZipBuilder& z) { z.add("../escaped.txt", "x"); }, "path escapes"},
        {"deep slip", [](ZipBuilder& z) { z.add("a\\..\\..\\escaped.txt", "x"); }, "path escapes"},
        {"absolute", [](ZipBuilder& z) { z.add("/tmp/escaped.txt", "x"); }, "absolute path"},
        {"drive", [](ZipBuilder& z) { z.add("C:\\escaped.txt", "x"); }, "absolute path"},
        {"empty", [](ZipBuilder& z) { z.add("", "x"); }, "empty name"},
        {"symlink", [](ZipBuilder& z) { z.addSymlink("link", "/etc/passwd"); }, "symbolic link"},
        {"crc", [](ZipBuilder& z) { z.addWithWrongCrc("bad.txt", "some text"); }, "CRC mismatch"},
        {"lying size",
         [](ZipBuilder& z) { z.addWithDeclaredSize("bomb.bin", std::string(200'000, 0), 100); },
         "inflates past its declared size"},
        {"entries", [](ZipBuilder& z) { z.add("1", "a").add("2", "b").add("3", "c"); },
         "more than 2 entries", fewEntries},
        {"ratio", [](ZipBuilder& z) { z.add("zeros", std::string(100'000, 0)); },
         "inflates to more than 10 times", tightRatio},
        {"total",
         [](ZipBuilder& z) { z.add("a", std::string(600, 'a')).add("b", std::string(600, 'b')); },
         "bytes in all", smallTotal},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path zip = root / (c.label + ".zip");
        {
            ZipBuilder builder(zip);
            builder.add("first.txt", "fine");
            c.build(builder);
            ASSERT_TRUE(builder.close());
        }
        listener->messages.clear();
        EXPECT_FALSE(unpack(zip, {}, c.limits));
        ASSERT_FALSE(listener->messages.empty());
        EXPECT_EQ(listener->messages.back().rfind("Refused zip entry '", 0), 0u)
            << listener->messages.back();
        EXPECT_NE(listener->messages.back().find(c.reason), std::string::npos)
            << listener->messages.back();
        EXPECT_TRUE(strayFiles().empty());
        EXPECT_FALSE(fs::is_symlink(destination / "link"));
        EXPECT_FALSE(fs::exists(destination / "bad.txt"));  // a failed file is removed
    }
}

TEST_F(ZipArchiveTest, DecryptsTraditionalAndAesEntriesAndRefusesAWrongPassword) {
    const std::string text = "a secret chapter " + std::string(5000, 'z');
    {
        ZipBuilder zip(root / "locked.zip");
        zip.addZipCrypto("crypto.txt", text, "pa55")
            .addZipCrypto("stored.txt", "short", "pa55", false)
            .addAes("aes256.txt", text, "pa55")
            .addAes("aes128.txt", "small", "pa55", 1, false);
        ASSERT_TRUE(zip.close());
    }
    ASSERT_TRUE(unpack(root / "locked.zip", std::string("pa55"))) << listener->messages.back();
    EXPECT_EQ(readFile(destination / "crypto.txt"), text);
    EXPECT_EQ(readFile(destination / "stored.txt"), "short");
    EXPECT_EQ(readFile(destination / "aes256.txt"), text);
    EXPECT_EQ(readFile(destination / "aes128.txt"), "small");

    fs::remove_all(destination);
    fs::create_directories(destination);
    EXPECT_FALSE(unpack(root / "locked.zip", std::string("wrong")));
    EXPECT_NE(listener->messages.back().find("wrong password"), std::string::npos);
    EXPECT_FALSE(unpack(root / "locked.zip"));  // no password at all
    EXPECT_EQ(listener->messages.back(),
              "Cannot unpack zip entry 'crypto.txt': encrypted, and no password was given");
    EXPECT_FALSE(fs::exists(destination / "crypto.txt"));

    // AES data changed on the way fails its authentication.
    {
        ZipBuilder zip(root / "aes-only.zip");
        zip.addAes("aes.txt", text, "pa55", 2, false);
        ASSERT_TRUE(zip.close());
    }
    std::string bytes = readFile(root / "aes-only.zip");
    const size_t at = bytes.find("aes.txt") + 7 + 11 + 12 + 2 + 100;  // inside the data
    bytes[at] = static_cast<char>(bytes[at] ^ 1);
    std::ofstream(root / "aes-only.zip", std::ios::binary) << bytes;
    EXPECT_FALSE(unpack(root / "aes-only.zip", std::string("pa55")));
    EXPECT_NE(listener->messages.back().find("authentication failed"), std::string::npos);
}

TEST_F(ZipArchiveTest, ReadsTheWholeDirectoryBeforeWritingAndRefusesADamagedOne) {
    const auto emptyDestination = [&] { return fs::is_empty(destination); };
    const auto build = [&](const std::string& name, int entries) {
        ZipBuilder zip(root / name);
        for (int i = 0; i < entries; ++i)
            zip.add("file" + std::to_string(i) + ".txt", "text " + std::to_string(i));
        EXPECT_TRUE(zip.close());
        return root / name;
    };

    // Too many entries: refused before the first is written.
    ZipArchive::Limits five;
    five.maxEntries = 5;
    EXPECT_FALSE(unpack(build("many.zip", 8), {}, five));
    EXPECT_NE(listener->messages.back().find("more than 5 entries"), std::string::npos);
    EXPECT_TRUE(emptyDestination());

    // A bad name late in the archive stops it before anything is written, as does a segment
    // longer than a file name may be.
    {
        ZipBuilder zip(root / "late.zip");
        zip.add("a.txt", "a").add("b/c.txt", "c").add("b/../../x", "x");
        ASSERT_TRUE(zip.close());
    }
    EXPECT_FALSE(unpack(root / "late.zip"));
    EXPECT_TRUE(emptyDestination());
    {
        ZipBuilder zip(root / "segment.zip");
        zip.add("a.txt", "a").add("dir/" + std::string(300, 's'), "s");
        ASSERT_TRUE(zip.close());
    }
    EXPECT_FALSE(unpack(root / "segment.zip"));
    EXPECT_NE(listener->messages.back().find("segment longer than 255"), std::string::npos);
    EXPECT_TRUE(emptyDestination());

    // A central directory whose first header is overwritten: a clear failure, not an empty
    // success.
    std::string bytes = readFile(build("damaged.zip", 3));
    const size_t central = bytes.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    bytes.replace(central, 4, "XXXX");
    std::ofstream(root / "damaged.zip", std::ios::binary | std::ios::trunc) << bytes;
    listener->messages.clear();
    EXPECT_FALSE(unpack(root / "damaged.zip"));
    ASSERT_FALSE(listener->messages.empty());
    EXPECT_NE(listener->messages.back().find("directory is damaged"), std::string::npos);
    EXPECT_TRUE(emptyDestination());
}

// A name 32,000 folders deep: refused by its length, in bounded memory and time.
TEST_F(ZipArchiveTest, DeepNameChild) {
    if (!testing_support::inChildProcess())
        GTEST_SKIP() << "runs inside DeepNamesAreRefusedInBoundedMemory";
    std::string name;
    for (int i = 0; i < 32000; ++i)
        name += "d/";
    name += "f";
    {
        ZipBuilder zip(root / "deep.zip");
        zip.add("ok.txt", "fine").add(name, "deep");
        ASSERT_TRUE(zip.close());
    }
    EXPECT_FALSE(unpack(root / "deep.zip"));
    ASSERT_FALSE(listener->messages.empty());
    EXPECT_NE(listener->messages.back().find("name longer than"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(destination));
}

TEST(ZipArchiveMemory, DeepNamesAreRefusedInBoundedMemory) {
    const auto run = testing_support::runTestInChild("ZipArchiveTest.DeepNameChild", 60);
    EXPECT_TRUE(run.passed) << "exit " << run.exitStatus << (run.timedOut ? ", timed out" : "");
    EXPECT_LT(run.peakResidentKb, 200 * 1024 + testing_support::kSanitizerAllowanceKb);
}

}  // namespace
