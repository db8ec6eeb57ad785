#include <sys/mman.h>
#include <zlib.h>

#include <QPainter>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <thread>

#include "PdfTestSupport.h"
#include "platform/core/KeyValueCoding.h"
#include "platform/storage/ScopedEnvironment.h"
#include "platform_ui/pdf/PdfEngine.h"
#include "platform_ui/pdf/PdfPageCheck.h"
#include "platform_ui/pdf/PdfPageRenderer.h"
#include "support/CapturedLog.h"
#include "support/ScopedTraceSwitch.h"

namespace {

QByteArray bytesOf(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

TEST(PdfModelTest, PagesRenderTheirCropBoxAndDamageGivesAnErrorAndThePlaceholder) {
    // A red box in the lower left quarter of a 200 x 100 page.
    const std::string pdf = testing_support::onePagePdf(200, 100, 0, 0, 100, 50);
    auto page = ui::PdfPage::fromData(bytesOf(pdf));
    ASSERT_TRUE(page);
    EXPECT_FALSE(page->isChecked());
    ASSERT_TRUE(ui::PdfPageRenderer::checkNow(*page));
    EXPECT_EQ(page->boundsForBox(ui::PdfPage::MediaBox), QRectF(0, 0, 200, 100));
    QImage whole = ui::PdfPageRenderer::image(*page, {200, 100});
    EXPECT_EQ(QColor(whole.pixel(20, 90)).red(), 255);  // lower left: red
    // What the page leaves alone comes on its paper: the render is opaque.
    EXPECT_EQ(whole.format(), QImage::Format_RGB32);
    EXPECT_EQ(QColor(whole.pixel(180, 10)), QColor(Qt::white));
    // The crop box (lower left quarter) fills the image; one beyond the page is cut to it, one
    // that misses it shows the whole page.
    page->setBounds({0, 0, 100, 50}, ui::PdfPage::CropBox);
    QImage cropped = ui::PdfPageRenderer::image(*page, {100, 50});
    EXPECT_EQ(QColor(cropped.pixel(90, 5)), QColor(Qt::red));
    page->setBounds({150, 50, 100, 100}, ui::PdfPage::CropBox);
    EXPECT_EQ(page->boundsForBox(ui::PdfPage::CropBox), QRectF(150, 50, 50, 50));
    page->setBounds({500, 500, 10, 10}, ui::PdfPage::CropBox);
    EXPECT_EQ(page->boundsForBox(ui::PdfPage::CropBox), QRectF(0, 0, 200, 100));
    plat::setValueForKey(*page, plat::Value("iv"), "label");
    EXPECT_EQ(page->label(), "iv");

    // Bad bytes: no page at all, with a reason.
    Ref<plat::Error> error;
    EXPECT_FALSE(ui::PdfDocument::fromData(QByteArray("<html>"), &error));
    EXPECT_NE(error->localizedDescription().find("PDF"), std::string::npos);
    EXPECT_FALSE(ui::PdfPage::fromData(QByteArray(), &error));
    EXPECT_FALSE(ui::PdfPage::fromFile("/nonexistent/page.pdf", &error));
    EXPECT_FALSE(ui::PdfPage::fromData(bytesOf(pdf.substr(0, pdf.size() / 2)), &error));

    // Damage that passes the quick check: an error on first use and the placeholder drawn.
    QImage placeholder(10, 10, QImage::Format_ARGB32);
    placeholder.fill(Qt::green);
    std::vector<std::string> damaged;
    for (size_t cut : {size_t{9}, pdf.size() / 3, pdf.size() - 40})
        damaged.push_back(pdf.substr(0, cut) + "\n%%EOF\n");
    damaged.push_back("%PDF-1.4\n" + std::string(3000, '\x7f') + "%%EOF");
    damaged.push_back(testing_support::onePagePdf(100, 100, 0, 0, 10, 10, 1, 0, 0, true));
    damaged.push_back(testing_support::filledPdf(1, 1));        // too small
    damaged.push_back(testing_support::filledPdf(20000, 100));  // too large
    for (const auto& bytes : damaged) {
        auto bad = ui::PdfPage::fromData(bytesOf(bytes));
        ASSERT_TRUE(bad);
        bad->setPlaceholderImage(placeholder);
        EXPECT_FALSE(ui::PdfPageRenderer::checkNow(*bad));
        ASSERT_TRUE(bad->error());
        EXPECT_FALSE(bad->error()->localizedDescription().empty());
        EXPECT_EQ(QColor(ui::PdfPageRenderer::image(*bad, {40, 40}).pixel(20, 20)),
                  QColor(Qt::green));
    }
}

TEST(PdfModelTest, ARenderLaidOnItsPaperLooksAsQtDrawsItOverWhite) {
    // Straight alpha as QtPdf gives it: rows drawn, left alone and half covered, each 11 pixels
    // wide (a run of eight and three after it), and a row mixing all three within one run.
    QImage straight(11, 5, QImage::Format_ARGB32);
    const QRgb colours[] = {qRgba(255, 0, 0, 255),  qRgba(0, 0, 0, 0),     qRgba(0, 0, 0, 128),
                            qRgba(255, 0, 128, 77), qRgba(12, 200, 99, 1), qRgba(3, 250, 7, 254)};
    for (int x = 0; x < straight.width(); ++x) {
        straight.setPixel(x, 0, qRgba(10 * x, 255 - 10 * x, 128, 255));
        straight.setPixel(x, 1, qRgba(0, 0, 0, 0));
        straight.setPixel(x, 2, qRgba(20 * x, 40, 255 - 20 * x, 128));
        straight.setPixel(x, 3, colours[x % 6]);
        straight.setPixel(x, 4, qRgba(255, 255, 255, 23 * x));
    }
    QImage expected(straight.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    {
        QPainter painter(&expected);
        painter.drawImage(0, 0, straight);
    }
    QImage laid = straight;
    ui::PdfPageRenderer::layOnPaper(laid);
    EXPECT_EQ(laid.format(), QImage::Format_RGB32);
    for (int y = 0; y < laid.height(); ++y) {
        for (int x = 0; x < laid.width(); ++x) {
            const QRgb got = laid.pixel(x, y), want = expected.pixel(x, y);
            EXPECT_LE(std::abs(qRed(got) - qRed(want)), 1) << x << "," << y;
            EXPECT_LE(std::abs(qGreen(got) - qGreen(want)), 1) << x << "," << y;
            EXPECT_LE(std::abs(qBlue(got) - qBlue(want)), 1) << x << "," << y;
            EXPECT_EQ(qAlpha(got), 255) << x << "," << y;
        }
    }
    EXPECT_EQ(laid.pixel(3, 0), straight.pixel(3, 0));  // drawn: as it was
    EXPECT_EQ(laid.pixel(9, 1), qRgb(255, 255, 255));   // left alone: the paper
}

TEST(PdfModelTest, PagesFromFilesAreCheckedAtOnceAndReadOnlyWhenQtPdfOpensThem) {
    QTemporaryDir folder;
    const auto write = [&](const char* name, const std::string& bytes) {
        const std::filesystem::path path = folder.filePath(name).toStdString();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    };
    const std::string red = testing_support::filledPdf(200, 100, 1, 0, 0);
    const std::string green = testing_support::filledPdf(300, 150, 0, 1, 0);
    Ref<plat::Error> error;
    // Only the start and the end are looked at when the page is made (PDF readers take a header
    // within the first 1,024 bytes).
    EXPECT_FALSE(
        ui::PdfPage::fromFile(write("html.pdf", "<html>" + std::string(1100, ' ') + red), &error));
    EXPECT_NE(error->localizedDescription().find("PDF"), std::string::npos);
    EXPECT_FALSE(ui::PdfPage::fromFile(write("cut.pdf", red.substr(0, red.size() - 20)), &error));
    EXPECT_FALSE(ui::PdfPage::fromFile(write("empty.pdf", ""), &error));
    EXPECT_FALSE(ui::PdfPage::fromFile(folder.path().toStdString(), &error));

    // The page holds the path: what the file holds when QtPdf first needs it is what shows.
    const auto path = write("page.pdf", red);
    auto page = ui::PdfPage::fromFile(path);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->filePath(), path);
    write("page.pdf", green);
    // Insets wait for the page to be opened: (left, top, right, bottom), y-up page space.
    page->insetCropBox(QMarginsF(5, 10, 15, 20));
    // The page waits for its check (the render cache has it checked on its checking queue): until
    // then it shows its estimate and a render draws nothing.
    EXPECT_FALSE(page->isChecked());
    EXPECT_FALSE(page->error());
    EXPECT_TRUE(ui::PdfPageRenderer::render(ui::PdfPageRenderer::inputOf(*page), {30, 15}, {})
                    .image.isNull());
    EXPECT_TRUE(ui::PdfPageCheck::check(path).usable);
    ASSERT_TRUE(ui::PdfPageRenderer::checkNow(*page));
    EXPECT_EQ(page->boundsForBox(ui::PdfPage::MediaBox), QRectF(0, 0, 300, 150));
    EXPECT_EQ(page->boundsForBox(ui::PdfPage::CropBox), QRectF(5, 20, 280, 120));
    page->insetCropBox(QMarginsF(0, 1e300, std::numeric_limits<double>::infinity(), 0));
    page->insetCropBox(QMarginsF(0, 200, 0, 0));  // nothing left: the box stays
    EXPECT_EQ(page->boundsForBox(ui::PdfPage::CropBox), QRectF(5, 20, 280, 120));
    page->setBounds(page->boundsForBox(ui::PdfPage::MediaBox), ui::PdfPage::CropBox);
    EXPECT_EQ(QColor(ui::PdfPageRenderer::image(*page, {30, 15}).pixel(15, 7)), QColor(Qt::green));
    EXPECT_EQ(page->dataRepresentation().toStdString(), green);
    // A file gone before it is opened gives an error and the placeholder, not a crash.
    auto gone = ui::PdfPage::fromFile(write("gone.pdf", red));
    ASSERT_TRUE(gone);
    std::filesystem::remove(gone->filePath());
    EXPECT_FALSE(ui::PdfPageRenderer::checkNow(*gone));
    EXPECT_TRUE(gone->error());
    EXPECT_TRUE(gone->dataRepresentation().isEmpty());
    EXPECT_FALSE(ui::PdfPageRenderer::image(*gone, {20, 20}).isNull());
}

// A zlib stream of about 1 MB that inflates to 1 GiB of zero bytes (white space to PDF).
std::string gigabyteOfNothing() {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    std::string zeros(size_t{1} << 20, '\0'), segment(zeros.size() / 512, '\0');
    z.next_in = reinterpret_cast<Bytef*>(zeros.data());
    z.avail_in = static_cast<uInt>(zeros.size());
    z.next_out = reinterpret_cast<Bytef*>(segment.data());
    z.avail_out = static_cast<uInt>(segment.size());
    deflate(&z, Z_FULL_FLUSH);
    segment.resize(segment.size() - z.avail_out);
    deflateEnd(&z);
    std::string stream("\x78\xDA", 2);
    for (int i = 0; i < 1024; ++i)
        stream += segment;
    stream += std::string("\x03\x00", 2);
    const uint32_t adler = ((uint32_t{1} << 30) % 65521) << 16 | 1;  // of 2^30 zeros
    for (int shift = 24; shift >= 0; shift -= 8)
        stream += static_cast<char>((adler >> shift) & 0xFF);
    return stream;
}

TEST(PdfModelTest, PageFilesThatHangOrExhaustQtPdfAreCheckedOnceInAChildAndShowPlaceholders) {
    QTemporaryDir folder;
    const std::filesystem::path dir = folder.path().toStdString();
    const std::string good = testing_support::filledPdf(200, 100, 0, 0, 1);
    const std::string bomb = gigabyteOfNothing();
    const std::vector<std::pair<std::string, std::string>> files = {
        {"good.pdf", good},
        {"kids-cycle.pdf",
         testing_support::pdfOfObjects(
             {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [2 0 R] /Count 1 >>"})},
        {"parent-cycle.pdf", testing_support::pdfOfObjects(
                                 {"<< /Type /Catalog /Pages 2 0 R >>",
                                  "<< /Type /Pages /Parent 3 0 R /Kids [3 0 R] /Count 1 >>",
                                  "<< /Type /Pages /Parent 2 0 R /Kids [2 0 R] /Count 1 >>"})},
        {"bomb.pdf",
         testing_support::pdfOfObjects(
             {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
              "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R >>",
              "<< /Length " + std::to_string(bomb.size()) + " /Filter /FlateDecode >>\nstream\n" +
                  bomb + "\nendstream"})},
        {"truncated.pdf", good.substr(0, good.size() / 3) + "\n%%EOF\n"},
    };
    auto document = std::make_shared<ui::PdfDocument>();
    QImage placeholder(10, 10, QImage::Format_ARGB32);
    placeholder.fill(Qt::green);
    for (const auto& [name, bytes] : files) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        auto page = ui::PdfPage::fromFile(dir / name);
        ASSERT_TRUE(page) << name;
        page->setPlaceholderImage(placeholder);
        document->insertPage(page, document->pageCount());
    }

    // Made, the pages wait for their checks: no child ran, and a render draws nothing.
    const uint64_t childrenAtMaking = ui::PdfPageCheck::checksRun();
    for (size_t i = 0; i < files.size(); ++i) {
        auto page = document->pageAtIndex(static_cast<int>(i));
        EXPECT_FALSE(page->isChecked()) << files[i].first;
        EXPECT_TRUE(ui::PdfPageRenderer::render(ui::PdfPageRenderer::inputOf(*page), {40, 20}, {})
                        .image.isNull());
        EXPECT_FALSE(std::filesystem::exists(ui::PdfPageCheck::verdictPath(dir / files[i].first)));
    }
    EXPECT_EQ(ui::PdfPageCheck::checksRun(), childrenAtMaking);

    // Worker threads check them all at once: the cycles are stopped at the limit of processor
    // time, the others end as soon as their child does.
    const auto lines = testing_support::logged([&] {
        const testing_support::ScopedTraceSwitch errors(
            [](std::string_view group) { return group == "Error"; });
        std::vector<std::thread> threads;
        for (int i = 0; i < document->pageCount(); ++i)
            threads.emplace_back(
                [&, i] { ui::PdfPageRenderer::checkNow(*document->pageAtIndex(i)); });
        for (auto& thread : threads)
            thread.join();
    });
    // A check stopped at its limit of processor time gives no verdict and keeps none (a busy
    // machine may have been the cause): the cycles show their placeholders all the same.
    const auto slow = [](const std::string& name) {
        return name == "kids-cycle.pdf" || name == "parent-cycle.pdf";
    };
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].first);
        auto page = document->pageAtIndex(static_cast<int>(i));
        EXPECT_EQ(std::filesystem::exists(ui::PdfPageCheck::verdictPath(dir / files[i].first)),
                  !slow(files[i].first));
        if (i == 0) {
            EXPECT_FALSE(page->error());
            EXPECT_EQ(QColor(ui::PdfPageRenderer::image(*page, {40, 20}).pixel(20, 10)),
                      QColor(Qt::blue));
            continue;
        }
        ASSERT_TRUE(page->error());
        const std::string reason = page->error()->localizedDescription();
        EXPECT_NE(reason.find("damaged"), std::string::npos) << reason;
        if (i <= 2) {
            EXPECT_NE(reason.find("within " + std::to_string(ui::PdfPageCheck::kTimeLimit.count()) +
                                  " s of processor time"),
                      std::string::npos)
                << reason;
        }
        EXPECT_EQ(QColor(ui::PdfPageRenderer::image(*page, {40, 20}).pixel(20, 10)),
                  QColor(Qt::green));
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(reason) != std::string::npos;
        })) << reason;
    }

    // Checked once: new pages of the same files are known when made, on the kept verdicts,
    // except the two stopped at their processor time: they are checked again whenever asked, and
    // a stop, however often, is never kept as damage (here a stand-in checker is stopped at once).
    for (const auto& [name, bytes] : files) {
        auto again = ui::PdfPage::fromFile(dir / name);
        EXPECT_EQ(again->isChecked(), !slow(name)) << name;
        EXPECT_EQ(again->needsCheck(), slow(name)) << name;
        if (!slow(name)) {
            EXPECT_EQ(!again->error(), name == "good.pdf") << name;
        }
    }
    {
        testing_support::ScopedEnvironment environment;
        environment.set("VARNEL_PDF_CHECK",
                        testing_support::checkerStoppedAtItsLimit(dir).string());
        const uint64_t childrenBefore = ui::PdfPageCheck::checksRun();
        for (int round = 0; round < 2; ++round) {
            for (const auto& [name, bytes] : files) {
                EXPECT_EQ(ui::PdfPageCheck::check(dir / name).usable, name == "good.pdf") << name;
                EXPECT_EQ(ui::PdfPageCheck::keptVerdict(dir / name).has_value(), !slow(name))
                    << name;
                EXPECT_EQ(ui::PdfPage::fromFile(dir / name)->needsCheck(), slow(name)) << name;
            }
        }
        EXPECT_EQ(ui::PdfPageCheck::checksRun() - childrenBefore, 4u);
    }
    std::ofstream(dir / "kids-cycle.pdf", std::ios::binary | std::ios::trunc) << good;
    EXPECT_FALSE(ui::PdfPageCheck::keptVerdict(dir / "kids-cycle.pdf"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(ui::PdfPageCheck::check(dir / "kids-cycle.pdf").usable);
    // A good page's check costs little (a generous bound here; the report gives the figure).
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_TRUE(ui::PdfPageRenderer::checkNow(*ui::PdfPage::fromFile(dir / "kids-cycle.pdf")));
}

// A page file checked when it arrived is known when a reader later makes its page: its size, or
// its damage with the reason and the placeholder, without a child and without QtPdf opening it.
TEST(PdfModelTest, PagesCheckedWhenTheyArriveOpenOnTheirKeptCheckWithoutAChild) {
    QTemporaryDir folder;
    const std::filesystem::path dir = folder.path().toStdString();
    const std::string good = testing_support::filledPdf(300, 150, 0, 1, 0);
    std::ofstream(dir / "good.pdf", std::ios::binary) << good;
    std::ofstream(dir / "damaged.pdf", std::ios::binary)
        << good.substr(0, good.size() / 3) + "\n%%EOF\n";
    const uint64_t atDownload = ui::PdfPageCheck::checksRun();
    EXPECT_TRUE(ui::PdfPageCheck::check(dir / "good.pdf").usable);
    EXPECT_FALSE(ui::PdfPageCheck::check(dir / "damaged.pdf").usable);
    EXPECT_EQ(ui::PdfPageCheck::checksRun() - atDownload, 2u);

    const uint64_t atOpening = ui::PdfPageCheck::checksRun();
    const int documentsOpen = ui::PdfEngine::openDocuments();
    QImage placeholder(10, 10, QImage::Format_ARGB32);
    placeholder.fill(Qt::green);
    auto page = ui::PdfPage::fromFile(dir / "good.pdf");
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->isChecked());
    EXPECT_FALSE(page->needsCheck());
    page->insetCropBox(QMarginsF(0, 10, 0, 20));
    EXPECT_EQ(page->boundsForBox(ui::PdfPage::CropBox), QRectF(0, 20, 300, 120));
    auto damaged = ui::PdfPage::fromFile(dir / "damaged.pdf");
    ASSERT_TRUE(damaged);
    damaged->setPlaceholderImage(placeholder);
    EXPECT_TRUE(damaged->isChecked());
    EXPECT_FALSE(ui::PdfPageRenderer::checkNow(*damaged));
    ASSERT_TRUE(damaged->error());
    EXPECT_NE(damaged->error()->localizedDescription().find("damaged"), std::string::npos);
    EXPECT_EQ(QColor(ui::PdfPageRenderer::image(*damaged, {40, 20}).pixel(20, 10)),
              QColor(Qt::green));
    EXPECT_EQ(ui::PdfEngine::openDocuments(), documentsOpen) << "QtPdf opened nothing";
    EXPECT_EQ(QColor(ui::PdfPageRenderer::image(*page, {30, 12}).pixel(15, 6)), QColor(Qt::green));
    EXPECT_EQ(ui::PdfPageCheck::checksRun(), atOpening);
    // Drawn, the page has its document open in QtPdf until the page goes; the damaged page, never
    // opened, had nothing to close.
    if (documentsOpen < ui::PdfEngine::kMaxOpenDocuments) {
        EXPECT_EQ(ui::PdfEngine::openDocuments(), documentsOpen + 1);
        damaged.reset();
        EXPECT_EQ(ui::PdfEngine::openDocuments(), documentsOpen + 1);
        page.reset();
        EXPECT_EQ(ui::PdfEngine::openDocuments(), documentsOpen);
    }

    // Kept beside the file, the check holds for the next run of the program too (an older
    // record, without the size, is checked again).
    const auto kept = ui::PdfPageCheck::verdictPath(dir / "good.pdf");
    std::ifstream in(kept);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\nusable\n300 150\n"), std::string::npos) << text;
}

// PDF readers take a header starting within the first 1,024 bytes and skip what follows the end
// marker; what has no header there, or no marker (a download cut short), is refused at once.
TEST(PdfModelTest, PagesWithBytesBeforeTheirHeaderOrAfterTheirEndAreTakenAsReadersTakeThem) {
    QTemporaryDir folder;
    const std::string red = testing_support::filledPdf(200, 100, 1, 0, 0);
    const std::vector<std::string> taken = {
        std::string(29, 'x') + red,
        red + std::string(11 * 1024, '\0'),
        std::string(1024, ' ') + red + "\n" + std::string(400 * 1024, 'z'),
    };
    int n = 0;
    for (const auto& bytes : taken) {
        SCOPED_TRACE(n);
        const std::filesystem::path path =
            folder.filePath(QString("taken%1.pdf").arg(n++)).toStdString();
        std::ofstream(path, std::ios::binary) << bytes;
        // QtPdf draws them: their checks find them usable.
        auto file = ui::PdfPage::fromFile(path);
        ASSERT_TRUE(file);
        EXPECT_TRUE(ui::PdfPageCheck::check(path).usable);
        EXPECT_TRUE(ui::PdfPageRenderer::checkNow(*file));
        auto page = ui::PdfPage::fromData(bytesOf(bytes));
        ASSERT_TRUE(page);
        EXPECT_TRUE(ui::PdfPageRenderer::checkNow(*page));
        EXPECT_EQ(page->boundsForBox(ui::PdfPage::MediaBox), QRectF(0, 0, 200, 100));
        EXPECT_EQ(QColor(ui::PdfPageRenderer::image(*page, {20, 10}).pixel(10, 5)),
                  QColor(Qt::red));
    }
    Ref<plat::Error> error;
    const std::vector<std::string> refused = {
        std::string(1025, 'x') + red,                  // the header too far in
        "<html><body>Not found</body></html>\n%%EOF",  // a server's page
        red.substr(0, red.find("%%EOF")),              // no end marker at all
    };
    for (const auto& bytes : refused) {
        EXPECT_FALSE(ui::PdfPage::fromData(bytesOf(bytes), &error));
        EXPECT_NE(error->localizedDescription().find("PDF"), std::string::npos);
        const std::filesystem::path path = folder.filePath("refused.pdf").toStdString();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        EXPECT_FALSE(ui::PdfPage::fromFile(path, &error));
    }
}

// Pages held in memory are checked in a child as files are: a page tree that points back at
// itself costs the child its processor time, never a hang here with QtPdf's lock held, and every
// other page goes on rendering meanwhile.
TEST(PdfModelTest, PagesInMemoryAreCheckedInAChildAndACycleBlocksNoOtherPage) {
    const std::string cycle = testing_support::pdfOfObjects(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [2 0 R] /Count 1 >>"});
    auto looped = ui::PdfPage::fromData(bytesOf(cycle));
    ASSERT_TRUE(looped);
    std::atomic<bool> done{false};
    std::thread parsing([&] {
        EXPECT_FALSE(ui::PdfPageRenderer::checkNow(*looped));
        done = true;
    });
    // Meanwhile another page is checked, parsed and drawn.
    auto other = pdfPage(200, 100, 0, 0, 1);
    EXPECT_EQ(other->boundsForBox(ui::PdfPage::MediaBox), QRectF(0, 0, 200, 100));
    EXPECT_EQ(QColor(ui::PdfPageRenderer::image(*other, {20, 10}).pixel(10, 5)), QColor(Qt::blue));
    EXPECT_FALSE(done) << "the other page waited for the cycle";
    parsing.join();
    ASSERT_TRUE(looped->error());
    EXPECT_NE(looped->error()->localizedDescription().find("processor time"), std::string::npos)
        << looped->error()->localizedDescription();
    // The same bytes again, through a document: a stop at the limit is no verdict, remembered
    // for none: the page is checked again, and refused again (a stand-in stopped at once).
    testing_support::ScopedEnvironment environment;
    environment.set(
        "VARNEL_PDF_CHECK",
        testing_support::checkerStoppedAtItsLimit(testing_support::freshTestFolder()).string());
    const uint64_t children = ui::PdfPageCheck::checksRun();
    auto document = ui::PdfDocument::fromData(bytesOf(cycle));
    ASSERT_TRUE(document);
    EXPECT_TRUE(document->pageAtIndex(0)->needsCheck());
    EXPECT_FALSE(ui::PdfPageRenderer::checkNow(*document->pageAtIndex(0)));
    EXPECT_TRUE(document->pageAtIndex(0)->error());
    EXPECT_EQ(ui::PdfPageCheck::checksRun(), children + 1);
}

// The checker's memory is its own: a program that once had much resident (a reader beside a
// large catalogue) still gets its good pages.
// The checker only hands the page to QtPdf: in the sanitizer builds too it carries no sanitizer
// runtime, whose bookkeeping of each of the PDF library's allocations took half the check's
// processor time (and whose shadow memory kept the address-space bound from holding).
TEST(PdfModelTest, TheCheckerRunsThePdfLibraryWithoutASanitizerRuntime) {
    std::ifstream in(ui::PdfPageCheck::program(), std::ios::binary);
    ASSERT_TRUE(in) << ui::PdfPageCheck::program();
    const std::string binary{std::istreambuf_iterator<char>(in), {}};
    for (const char* runtime : {"__asan_init", "__tsan_init", "__ubsan_handle"})
        EXPECT_EQ(binary.find(runtime), std::string::npos) << runtime;
}

TEST(PdfModelTest, AGoodPageIsUsableAfterTheAskingProgramHadMuchMemoryResident) {
    QTemporaryDir folder;
    const std::filesystem::path page = folder.path().toStdString() + "/good.pdf";
    std::ofstream(page, std::ios::binary) << testing_support::filledPdf(200, 100, 0, 0, 1);
    const size_t size = static_cast<size_t>(ui::PdfPageCheck::kMemoryLimit) + (size_t{128} << 20);
    void* block = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(block, MAP_FAILED);
    std::memset(block, 1, size);  // resident, so this program's peak passes the checker's limit
    ::munmap(block, size);
    const auto verdict = ui::PdfPageCheck::check(page);
    EXPECT_TRUE(verdict.usable) << verdict.reason;
}

TEST(PdfModelTest, DocumentsIgnoreBadIndexesAndTellTheirObservers) {
    auto document = std::make_shared<ui::PdfDocument>();
    int changes = 0;
    std::optional<ui::PdfDocument::Change> last;
    const int token = document->addChangeObserver([&](const ui::PdfDocument::Change& change) {
        ++changes;
        last = change;
    });
    auto a = pdfPage(100, 100), b = pdfPage(100, 100);
    document->insertPage(a, 0);
    document->insertPage(b, 5);  // out of range: nothing
    document->insertPage(nullptr, 0);
    document->insertPage(b, 0);
    EXPECT_EQ(document->pageCount(), 2);
    EXPECT_EQ(document->indexForPage(a), 1);
    EXPECT_FALSE(document->pageAtIndex(2));
    EXPECT_FALSE(document->pageAtIndex(-1));
    EXPECT_EQ(last->kind, ui::PdfDocument::Change::Inserted);
    EXPECT_EQ(last->index, 0);
    document->removePageAtIndex(7);
    document->removePageAtIndex(0);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(last->kind, ui::PdfDocument::Change::Removed);
    EXPECT_TRUE(last->sizeChanged);
    // A page put in a slot is one change, saying whether the slot's size changed; the same page,
    // a bad slot or no page, none.
    const auto replacement = pdfPage(50, 50);
    ui::PdfPageRenderer::checkNow(*replacement);
    ui::PdfPageRenderer::checkNow(*document->pageAtIndex(0));
    document->replacePageAtIndex(0, replacement);
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(last->kind, ui::PdfDocument::Change::Replaced);
    EXPECT_EQ(last->index, 0);
    EXPECT_TRUE(last->sizeChanged);
    const auto sameSize = pdfPage(50, 50, 0, 1, 0);
    ui::PdfPageRenderer::checkNow(*sameSize);
    document->replacePageAtIndex(0, sameSize);
    EXPECT_FALSE(last->sizeChanged);
    document->replacePageAtIndex(0, replacement);
    EXPECT_EQ(changes, 6);
    EXPECT_EQ(document->pageAtIndex(0), replacement);
    EXPECT_EQ(document->pageCount(), 1);
    document->replacePageAtIndex(0, replacement);
    document->replacePageAtIndex(1, pdfPage(50, 50));
    document->replacePageAtIndex(0, nullptr);
    EXPECT_EQ(changes, 6);
    document->removeChangeObserver(token);
    document->removePageAtIndex(0);
    EXPECT_EQ(changes, 6);
    EXPECT_EQ(document->pageCount(), 0);
}

TEST(PdfModelTest, CacheKeepsItsBudgetAndNeverRendersCancelledRequests) {
    ui::PdfRenderCache cache(100 * 100 * 4 * 3);  // three 100 x 100 images
    std::vector<Ref<ui::PdfPage>> pages;
    for (int i = 0; i < 40; ++i)
        pages.push_back(pdfPage(100, 100));
    std::vector<ui::PdfRenderCache::Request> all;
    for (const auto& p : pages)
        all.push_back({p, {p->pageId(), {100, 100}, QRect()}});
    int done = 0;
    const char client = 0;
    cache.setSuspended(true);  // nothing starts before the wish changes
    cache.request(&client, all, [&](const ui::PdfRenderCache::Key&) { ++done; });
    // Only two remain wanted.
    cache.request(&client, {all[38], all[39]}, [&](const ui::PdfRenderCache::Key&) { ++done; });
    cache.setSuspended(false);
    ASSERT_TRUE(spinUntil(
        [&] { return !cache.image(all[38].key).isNull() && !cache.image(all[39].key).isNull(); }));
    spin(50);
    EXPECT_EQ(cache.renderCount(), 2u);
    EXPECT_EQ(cache.cancelledCount(), 38u);
    EXPECT_EQ(done, 2);
    // Least recent out first, within the budget.
    const uint64_t rendered = cache.renderCount();
    cache.request(&client, {all[0], all[1], all[2], all[3]}, {});
    ASSERT_TRUE(spinUntil(
        [&] { return cache.renderCount() >= rendered + 4 && !cache.image(all[3].key).isNull(); }));
    EXPECT_LE(cache.bytesUsed(), cache.byteBudget());
    EXPECT_TRUE(cache.image(all[38].key).isNull());
    EXPECT_FALSE(cache.image(all[3].key).isNull());

    // Shut down (as the program's end does), then asked again: it renders again.
    cache.shutdown();
    cache.request(&client, {all[10]}, {});
    ASSERT_TRUE(spinUntil([&] { return !cache.image(all[10].key).isNull(); }));
    cache.shutdown();
    cache.shutdown();
}

TEST(PdfModelTest, ScrollingThroughTwoThousandPagesRendersWhatIsShownAndKeepsFewDocumentsOpen) {
    ui::PdfRenderCache cache(size_t{64} << 20);
    auto document = std::make_shared<ui::PdfDocument>();
    for (int i = 0; i < 2000; ++i)
        document->insertPage(pdfPage(595, 842, (i % 7) / 7.0, 0.5, 0.5), i);
    CountingPdfView view;
    view.setRenderCache(&cache);
    view.resize(500, 700);
    view.setDocument(document);
    view.setAutoScales(true);
    view.show();
    ASSERT_TRUE(spinUntil([&] { return view.hasPainted(document->pageAtIndex(0)); }));
    // The first page's pixels are on screen.
    const QImage shot = view.viewport()->grab().toImage();
    const QRectF frame = view.convertRectFromDocumentView(view.pageFrame(document->pageAtIndex(0)));
    EXPECT_EQ(QColor(shot.pixel(frame.center().toPoint())).green(), 128);

    size_t shown = 0;
    for (int step = 0; step < 200; ++step) {
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() + 7000);
        spin(2);
        shown += view.answers.empty() ? 0 : view.answers.back().size();
    }
    spin(200);
    // Each position renders what it shows and a neighbour each side at most.
    EXPECT_LE(cache.renderCount(), shown + 2 * 200 + 10);
    EXPECT_LE(ui::PdfEngine::peakOpenDocuments(), ui::PdfEngine::kMaxOpenDocuments);
    EXPECT_LE(cache.peakBytesUsed(), cache.byteBudget() + (size_t{4} << 20));
}

}  // namespace

TEST(PdfModelTest, APageFileChangedAfterItsCheckIsRefusedAtRenderAndItsPlaceholderStays) {
    QTemporaryDir folder;
    const std::filesystem::path path = folder.filePath("page.pdf").toStdString();
    std::ofstream(path, std::ios::binary) << testing_support::filledPdf(200, 100, 1, 0, 0);
    ASSERT_TRUE(ui::PdfPageCheck::check(path).usable);
    auto page = ui::PdfPage::fromFile(path);
    ASSERT_TRUE(page);
    ASSERT_TRUE(page->isChecked());  // its kept check: the size, without opening it
    QImage green(20, 10, QImage::Format_ARGB32);
    green.fill(Qt::green);
    page->setPlaceholderImage(green);
    // Changed behind the program's back: what QtPdf would be given now was never checked.
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        << "%PDF-1.4\n" + std::string(3000, '\x7f') + "%%EOF";
    const int open = ui::PdfEngine::openDocuments();

    ui::PdfRenderCache cache;
    CountingPdfView view;
    view.setRenderCache(&cache);
    view.resize(400, 300);
    auto document = std::make_shared<ui::PdfDocument>();
    document->insertPage(page, 0);
    view.setDocument(document);
    view.setScaleFactor(1);
    view.show();
    ASSERT_TRUE(spinUntil([&] { return view.hasPainted(page); }));
    ASSERT_TRUE(page->error());
    EXPECT_NE(page->error()->localizedDescription().find("changed"), std::string::npos);
    const QRectF frame = view.convertRectFromDocumentView(view.pageFrame(page));
    const QImage shot = view.viewport()->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(frame.center().toPoint())), QColor(Qt::green));
    EXPECT_EQ(QColor(ui::PdfPageRenderer::image(*page, {40, 20}).pixel(20, 10)), QColor(Qt::green));
    EXPECT_EQ(ui::PdfEngine::openDocuments(), open);
    view.setDocument(nullptr);
    view.setRenderCache(nullptr);
}
