#include "demo-service/DemoReaderContent.h"

#include <cstdlib>

#include "demo-service/DemoContent.h"

namespace demo {
namespace {

// The source page index of "/content/<code>/PAGE_<index>.pdf" of the item; -1 for other paths.
long pageIndexOf(const SampleItem& item, const std::string& path) {
    const std::string prefix = "/content/" + item.code + "/PAGE_";
    if (path.rfind(prefix, 0) != 0 || path.size() < prefix.size() + 5 ||
        path.compare(path.size() - 4, 4, ".pdf") != 0)
        return -1;
    const std::string id = path.substr(prefix.size(), path.size() - prefix.size() - 4);
    char* end = nullptr;
    const long index = std::strtol(id.c_str(), &end, 10);
    return !id.empty() && *end == '\0' && index >= 0 && index < item.pageCount ? index : -1;
}

std::string damagedPage(const std::string& code, long index, const std::string& sound) {
    switch (index) {
        case 2:
            return "<!DOCTYPE html><html><body><h1>Service unavailable</h1><p>" + code +
                   "</p></body></html>\n";
        case 3:
            return sound.substr(0, sound.rfind("%%EOF"));
        case 4: {
            std::string garbage = "%PDF-1.4\n";
            for (size_t i = 0; i < 4000; ++i)
                garbage += static_cast<char>(0x80 + (i * 37) % 0x7F);
            return garbage + "\n%%EOF\n";
        }
        case 5: {
            // The same length keeps every cross-reference offset right.
            std::string tiny = sound;
            const std::string box = "/MediaBox [0 0 595 842]";
            if (const size_t at = tiny.find(box); at != std::string::npos)
                tiny.replace(at, box.size(), "/MediaBox [0 0 1 1]    ");
            return tiny;
        }
        default:
            return sound;
    }
}

}  // namespace

std::optional<std::pair<std::string, std::string>> demoReaderPage(const SampleItem& item,
                                                                  const std::string& path) {
    if (!item.damagedPages && item.pageBytes <= 0)
        return std::nullopt;
    const long index = pageIndexOf(item, path);
    if (index < 0)
        return std::nullopt;
    const size_t padding =
        item.pageBytes > 2048 ? static_cast<size_t>(item.pageBytes) - 1024 : 40 * 1024;
    std::string page = demoPdfPage(item.code, static_cast<int>(index) + 1, padding);
    if (item.damagedPages)
        page = damagedPage(item.code, index, page);
    const bool html = page.rfind("<!DOCTYPE html>", 0) == 0;
    return std::pair{std::move(page),
                     std::string(html ? "text/html; charset=utf-8" : "application/pdf")};
}

void applyReaderSwitches(const SampleItem& item, nlohmann::json& metadata) {
    if (!item.withoutPageNames || !metadata.contains("Pages"))
        return;
    for (auto& [key, page] : metadata["Pages"].items()) {
        if (page.is_object())
            page.erase("PageName");
    }
    metadata.erase("TableOfContentPageName");
}

}  // namespace demo
