#include "demo-service/DemoCovers.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <functional>

namespace demo {

std::string demoDrawnImage(const std::string& seedName, int width, int height, bool png) {
    const size_t seed = std::hash<std::string>()(seedName);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(static_cast<int>(seed % 360), 90, 230));
    {
        QPainter painter(&image);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromHsv(static_cast<int>((seed / 360) % 360), 200, 160));
        painter.drawRect(width / 10, height * 5 / 8, width * 4 / 5, height / 4);
        painter.setBrush(QColor::fromHsv(static_cast<int>((seed / 7) % 360), 160, 250));
        const int diameter = std::min(width, height) / 2;
        painter.drawEllipse(width / 4 + static_cast<int>(seed % 20), height / 8, diameter,
                            diameter);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, png ? "PNG" : "JPEG"))
        return {};
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::optional<std::pair<std::string, std::string>> demoCover(const std::string& path) {
    static const std::string kPrefix = "/covers/";
    if (path.rfind(kPrefix, 0) != 0)
        return std::nullopt;
    const std::string name = path.substr(kPrefix.size());
    const bool png = name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0;
    const bool jpeg = name.size() > 4 && name.compare(name.size() - 4, 4, ".jpg") == 0;
    if ((!png && !jpeg) || name.find('/') != std::string::npos)
        return std::nullopt;
    std::string bytes = demoDrawnImage(name.substr(0, name.size() - 4), 120, 160, png);
    if (bytes.empty())
        return std::nullopt;
    return std::pair{std::move(bytes), std::string(png ? "image/png" : "image/jpeg")};
}

}  // namespace demo
