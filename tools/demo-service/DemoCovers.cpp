#include "demo-service/DemoCovers.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <functional>

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

}  // namespace demo
