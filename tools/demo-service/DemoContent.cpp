#include "demo-service/DemoContent.h"

#include <zlib.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <vector>

#include "demo-service/DemoCovers.h"
#include "demo-service/DemoMedia.h"
#include "demo-service/DemoPropertyList.h"
#include "demo-service/DemoReaderContent.h"
#include "demo-service/DemoService.h"
#include "demo-service/DemoWidgets.h"

namespace demo {
namespace {

// A zip archive of stored (uncompressed) entries, written by hand.
std::string storedZip(const std::vector<std::pair<std::string, std::string>>& entries) {
    const auto crc32 = [](const std::string& data) {
        return static_cast<uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                                             static_cast<uInt>(data.size())));
    };
    const auto le = [](std::string& out, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    std::string out, central;
    for (const auto& [name, data] : entries) {
        const uint32_t offset = static_cast<uint32_t>(out.size());
        const uint32_t crc = crc32(data);
        const uint32_t dosDate = (44u << 25) | (3u << 21) | (2u << 16);  // 2024-03-02
        out += "PK\x03\x04";
        le(out, 10, 2);
        le(out, 0, 2);
        le(out, 0, 2);
        le(out, dosDate, 4);
        le(out, crc, 4);
        le(out, static_cast<uint32_t>(data.size()), 4);
        le(out, static_cast<uint32_t>(data.size()), 4);
        le(out, static_cast<uint32_t>(name.size()), 2);
        le(out, 0, 2);
        out += name + data;
        central += "PK\x01\x02";
        le(central, 0x031E, 2);
        le(central, 10, 2);
        le(central, 0, 2);
        le(central, 0, 2);
        le(central, dosDate, 4);
        le(central, crc, 4);
        le(central, static_cast<uint32_t>(data.size()), 4);
        le(central, static_cast<uint32_t>(data.size()), 4);
        le(central, static_cast<uint32_t>(name.size()), 2);
        le(central, 0, 4);  // extra and comment lengths
        le(central, 0, 4);  // disk and internal attributes
        le(central, 0100644u << 16, 4);
        le(central, offset, 4);
        central += name;
    }
    const uint32_t centralOffset = static_cast<uint32_t>(out.size());
    out += central;
    out += "PK\x05\x06";
    le(out, 0, 4);
    le(out, static_cast<uint32_t>(entries.size()), 2);
    le(out, static_cast<uint32_t>(entries.size()), 2);
    le(out, static_cast<uint32_t>(central.size()), 4);
    le(out, centralOffset, 4);
    le(out, 0, 2);
    return out;
}

// An item's EPUB download: a zip holding "book.epub", itself a small EPUB whose container file
// is named with a backslash, as some packagers write it.
std::string demoEpubPackage(const std::string& code) {
    const std::string book = storedZip({
        {"mimetype", "application/epub+zip"},
        {"META-INF\\container.xml",
         "<?xml version=\"1.0\"?><container version=\"1.0\" "
         "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles><rootfile "
         "full-path=\"OEBPS/content.opf\" media-type=\"application/oebps-package+xml\"/>"
         "</rootfiles></container>"},
        {"OEBPS/content.opf",
         "<?xml version=\"1.0\"?><package version=\"2.0\"><metadata>"
         "<title>" +
             code + "</title></metadata></package>"},
        {"OEBPS/chapter1.xhtml", "<html><body><h1>" + code + "</h1></body></html>"},
    });
    return storedZip({{"readme.txt", "Varnel demo book " + code}, {"book.epub", book}});
}

using Json = nlohmann::json;

std::string pdfText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '(' || c == ')' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

std::string deterministicBytes(const std::string& path, size_t size) {
    const auto seed = static_cast<uint32_t>(std::hash<std::string>()(path));
    std::string bytes(size, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(DemoService::generatedByte(static_cast<int64_t>(i), seed));
    return bytes;
}

// "/content/<code>/<TYPE>_<id>.<format>" split into its parts.
struct ContentName {
    std::string code, type, id, format;
};

std::optional<ContentName> parseContentPath(const std::string& path) {
    static const std::string kPrefix = "/content/";
    if (path.rfind(kPrefix, 0) != 0 || path.find("..") != std::string::npos)
        return std::nullopt;
    const size_t slash = path.find('/', kPrefix.size());
    if (slash == std::string::npos || path.find('/', slash + 1) != std::string::npos)
        return std::nullopt;
    const std::string name = path.substr(slash + 1);
    const size_t underscore = name.find('_');
    const size_t dot = name.rfind('.');
    if (underscore == std::string::npos || dot == std::string::npos || dot < underscore)
        return std::nullopt;
    return ContentName{path.substr(kPrefix.size(), slash - kPrefix.size()),
                       name.substr(0, underscore),
                       name.substr(underscore + 1, dot - underscore - 1), name.substr(dot + 1)};
}

Json insets(double top, double left, double bottom, double right) {
    return {{"Top", top}, {"Left", left}, {"Bottom", bottom}, {"Right", right}};
}

Json soundMetadata(const SampleItem& item) {
    Json pages = Json::object();
    for (int i = 0; i < item.pageCount; ++i) {
        Json page = {{"PageName", "P" + std::to_string(i + 1)},
                     {"PageInsets", insets(4, 0, 4, 0)},
                     {"backgroundColor", "transparent"},
                     {"SinglePageAlignment", i == 0 ? 1 : 99},
                     {"DoublePageAlignment", 99}};
        // "Type", "FileId" and "FileIds" repeat the kind and the files for older readers.
        Json widgets = hasWidgetShowcase(item.code) ? showcaseWidgets(i) : Json::array();
        if (i == 1)
            widgets.push_back({{"WidgetType", "PageLink"},
                               {"Type", "PageLink"},
                               {"Frame", "{{40, 600}, {200, 40}}"},
                               {"PageName", "P5"}});
        // The showcase's picture with its link lies where the slideshow button would: the
        // button goes under the picture there, so that the link stays free to click.
        if (i == 2)
            widgets.push_back({{"WidgetType", "SlideshowButton"},
                               {"Type", "SlideshowButton"},
                               {"Frame", hasWidgetShowcase(item.code) ? "{{360, 335}, {180, 60}}"
                                                                      : "{{40, 80}, {320, 240}}"},
                               {"ImageFileNames", {"slide2a", "slide2b", "slide2c"}},
                               {"FileIds", {"slide2a", "slide2b", "slide2c"}}});
        if (i % 6 == 5)
            widgets.push_back({{"WidgetType", "ImageWidget"},
                               {"Type", "ImageWidget"},
                               {"Frame", "{{40, 80}, {320, 240}}"},
                               {"ImageFileName", "img" + std::to_string(i)},
                               {"FileId", "img" + std::to_string(i)}});
        if (!widgets.empty())
            page["Widgets"] = widgets;
        pages[std::to_string(i)] = page;
    }
    return {{"HasSingleCoverPage", true},
            {"TableOfContentPageName", "P2"},
            {"DefaultPageBackgroundColor", "transparent"},
            {"DefaultSinglePageAlignment", 0},
            {"DefaultDoublePageAlignment", 0},
            {"Pages", pages}};
}

}  // namespace

std::string demoContentPath(const std::string& code, const std::string& type,
                            const std::string& format, const std::string& fileId) {
    std::string lower = format;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return "/content/" + code + "/" + type + "_" + fileId + "." + lower;
}

std::string demoPdfPage(const std::string& code, int pageNumber, size_t padding) {
    const size_t seed = std::hash<std::string>()(code);
    char colour[64];
    std::snprintf(colour, sizeof colour, "%.2f %.2f %.2f rg", static_cast<double>(seed % 7) / 8,
                  static_cast<double>((seed / 7) % 7) / 8, 0.6);
    const std::string content = std::string("q ") + colour +
                                " 60 180 475 520 re f Q\nBT /F1 36 Tf 72 760 Td (" + pdfText(code) +
                                ") Tj ET\nBT /F1 96 Tf 250 380 Td (" + std::to_string(pageNumber) +
                                ") Tj ET\n";
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
    if (padding > 0)
        objects.push_back("<< /Length " + std::to_string(padding) + " >>\nstream\n" +
                          deterministicBytes(code + std::to_string(pageNumber), padding) +
                          "\nendstream");

    std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

std::string demoRenderingMetadata(const SampleItem& item) {
    Json metadata = soundMetadata(item);
    applyReaderSwitches(item, metadata);
    switch (item.content) {
        case ContentVariant::Xml:
            break;
        case ContentVariant::Binary:
            return binaryPropertyList(metadata);
        case ContentVariant::TruncatedBinary: {
            const std::string whole = binaryPropertyList(metadata);
            return whole.substr(0, whole.size() / 2);
        }
        case ContentVariant::PagesAsList: {
            Json list = Json::array();
            for (const auto& [key, page] : metadata["Pages"].items())
                list.push_back(page);
            metadata["Pages"] = list;
            break;
        }
        case ContentVariant::WrongTypes: {
            Json& pages = metadata["Pages"];
            pages["0"] = "P1";
            pages["1"]["PageInsets"] = "{4, 0, 4, 0}";
            pages["2"]["SinglePageAlignment"] = "left";
            pages["2"]["DoublePageAlignment"] = Json::array({1});
            pages["3"]["PageName"] = 3;
            pages["3"]["Widgets"] = "none";
            pages["4"] = Json::object();
            pages["5"]["PageInsets"] = {{"Top", "4"}, {"Left", true}};
            metadata["HasSingleCoverPage"] = "yes";
            metadata["TableOfContentPageName"] = 2;
            metadata.erase("DefaultSinglePageAlignment");
            break;
        }
        case ContentVariant::HostileWidgets:
            addHostileWidgets(metadata["Pages"]);
            break;
        case ContentVariant::HostileMedia:
            addHostileMedia(metadata["Pages"]);
            break;
        case ContentVariant::Hostile: {
            Json& pages = metadata["Pages"];
            pages["1"]["PageInsets"] = insets(-40, -1e39, 1e300, -0.0);
            pages["2"]["SinglePageAlignment"] = -2147483648LL;
            pages["2"]["DoublePageAlignment"] = 99999999999LL;
            pages["-1"] = {{"PageName", "minus one"}};
            pages["abc"] = {{"PageName", "abc"}};
            pages["99999"] = {{"PageName", "far"}};
            pages["5"]["Widgets"] =
                Json::array({{{"Type", "ImageWidget"}, {"FileId", "../../escape"}},
                             {{"Type", "ImageWidget"}, {"FileId", "a/b"}},
                             {{"Type", "ImageWidget"}, {"FileId", ".."}},
                             {{"Type", "ImageWidget"}, {"FileId", ""}},
                             {{"Type", "ImageWidget"}, {"FileId", "img5"}}});
            break;
        }
    }
    return xmlPropertyList(metadata);
}

std::optional<std::pair<std::string, std::string>> demoContent(const std::string& path) {
    const auto name = parseContentPath(path);
    if (!name)
        return std::nullopt;
    const size_t seed = std::hash<std::string>()(path);
    if (name->type == "PAGE" && name->format == "pdf") {
        char* end = nullptr;
        const long index = std::strtol(name->id.c_str(), &end, 10);
        if (!name->id.empty() && *end == '\0' && index >= 0 && index < 100000) {
            return std::pair{
                demoPdfPage(name->code, static_cast<int>(index) + 1, 40 * 1024 + seed % 4096),
                std::string("application/pdf")};
        }
    }
    if (name->type == "INTERACTIVE") {
        if (auto media = demoInteractiveMedia(name->id))
            return std::pair{std::move(*media), std::string("application/octet-stream")};
    }
    if (name->type == "PAGE" && name->format == "epub")
        return std::pair{demoEpubPackage(name->code), std::string("application/zip")};
    if (name->format == "jpg") {
        const bool preview = name->type == "PAGEPREVIEW" || name->type == "COVER";
        std::string image = demoDrawnImage(name->code + "/" + name->id, preview ? 240 : 320,
                                           preview ? 320 : 240, false);
        if (!image.empty())
            return std::pair{std::move(image), std::string("image/jpeg")};
    }
    return std::pair{deterministicBytes(path, 6 * 1024 + seed % 4096),
                     std::string("application/octet-stream")};
}

}  // namespace demo
