#include "demo-service/DemoCovers.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <cctype>
#include <functional>

#include "demo-service/DemoService.h"

namespace demo {

std::optional<std::pair<std::string, std::string>> demoCover(const std::string& path) {
    static const std::string kPrefix = "/covers/";
    if (path.rfind(kPrefix, 0) != 0)
        return std::nullopt;
    const std::string name = path.substr(kPrefix.size());
    const bool png = name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0;
    const bool jpeg = name.size() > 4 && name.compare(name.size() - 4, 4, ".jpg") == 0;
    if ((!png && !jpeg) || name.find('/') != std::string::npos)
        return std::nullopt;
    const size_t seed = std::hash<std::string>()(name.substr(0, name.size() - 4));

    QImage image(120, 160, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(static_cast<int>(seed % 360), 90, 230));
    {
        QPainter painter(&image);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromHsv(static_cast<int>((seed / 360) % 360), 200, 160));
        painter.drawRect(12, 100, 96, 40);
        painter.setBrush(QColor::fromHsv(static_cast<int>((seed / 7) % 360), 160, 250));
        painter.drawEllipse(30 + static_cast<int>(seed % 20), 20, 60, 60);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, png ? "PNG" : "JPEG"))
        return std::nullopt;
    return std::pair{std::string(bytes.constData(), static_cast<size_t>(bytes.size())),
                     std::string(png ? "image/png" : "image/jpeg")};
}

std::string demoContentPath(const std::string& code, const std::string& type,
                            const std::string& format, const std::string& fileId) {
    std::string lower = format;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return "/content/" + code + "/" + type + "_" + fileId + "." + lower;
}

int64_t demoContentSize(const std::string& path) {
    const size_t seed = std::hash<std::string>()(path);
    const bool page = path.find("/PAGE_") != std::string::npos;
    return (page ? 40 * 1024 : 6 * 1024) + static_cast<int64_t>(seed % 4096);
}

std::optional<std::pair<std::string, std::string>> demoContent(const std::string& path) {
    if (path.rfind("/content/", 0) != 0 || path.find("..") != std::string::npos)
        return std::nullopt;
    const auto seed = static_cast<uint32_t>(std::hash<std::string>()(path));
    std::string bytes(static_cast<size_t>(demoContentSize(path)), '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(DemoService::generatedByte(static_cast<int64_t>(i), seed));
    return std::pair{std::move(bytes), std::string("application/octet-stream")};
}

}  // namespace demo
