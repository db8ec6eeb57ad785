#include "platform_ui/ResourceRegistry.h"

#include <algorithm>

#include "platform/core/Log.h"

namespace ui {

ResourceRegistry& ResourceRegistry::shared() {
    static ResourceRegistry registry;
    return registry;
}

namespace {

// Whether two registrations come from the same code: the same function, or closures of the same
// lambda (its captures may differ, as a registration run again may capture anew).
template <class R, class... A>
bool sameProvider(const std::function<R(A...)>& held, const std::function<R(A...)>& offered) {
    if (held.target_type() != offered.target_type())
        return false;
    using Function = R (*)(A...);
    if (const auto* function = held.template target<Function>())
        return *function == *offered.template target<Function>();
    return true;
}

template <class Key, class F>
bool registerOnce(std::map<Key, F>& held, const Key& key, F offered, const std::string& what) {
    const auto it = held.find(key);
    if (it == held.end() || !it->second) {
        held[key] = std::move(offered);
        return true;
    }
    if (!sameProvider(it->second, offered)) {
        plat::log(plat::format(
            "%s is registered already by another provider: the second is refused", what.c_str()));
        return false;
    }
    it->second = std::move(offered);
    return true;
}

}  // namespace

bool ResourceRegistry::registerController(const std::string& storyboard,
                                          const std::string& identifier,
                                          ControllerFactory factory) {
    return registerOnce(controllers_, {storyboard, identifier}, std::move(factory),
                        "Controller \"" + identifier + "\" in storyboard \"" + storyboard + "\"");
}

void ResourceRegistry::replaceController(const std::string& storyboard,
                                         const std::string& identifier, ControllerFactory factory) {
    controllers_[{storyboard, identifier}] = std::move(factory);
}

void ResourceRegistry::removeController(const std::string& storyboard,
                                        const std::string& identifier) {
    controllers_.erase({storyboard, identifier});
}

Ref<plat::Object> ResourceRegistry::instantiateController(const std::string& storyboard,
                                                          const std::string& identifier) const {
    const auto it = controllers_.find({storyboard, identifier});
    if (it == controllers_.end() || !it->second) {
        VND_TRACE("Error", "No controller \"%s\" in storyboard \"%s\"", identifier.c_str(),
                  storyboard.c_str());
        return nullptr;
    }
    return it->second();
}

bool ResourceRegistry::registerNib(const std::string& name, NibBuilder builder) {
    return registerOnce(nibs_, name, std::move(builder), "Nib \"" + name + "\"");
}

void ResourceRegistry::replaceNib(const std::string& name, NibBuilder builder) {
    nibs_[name] = std::move(builder);
}

bool ResourceRegistry::hasNib(const std::string& name) const {
    return nibs_.count(name) > 0;
}

std::unique_ptr<QWidget> ResourceRegistry::loadNib(const std::string& name,
                                                   plat::Object& owner) const {
    const auto it = nibs_.find(name);
    if (it == nibs_.end() || !it->second) {
        VND_TRACE("Error", "No nib named \"%s\"", name.c_str());
        return nullptr;
    }
    return it->second(owner);
}

void ResourceRegistry::addImageFolder(const std::filesystem::path& folder) {
    // Images already found stay right: an added folder is searched after them.
    imageFolders_.push_back(folder);
}

namespace {

bool isPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

// The picture in the format the raster engine draws straight: RGB32 when every pixel is opaque,
// premultiplied ARGB32 otherwise.
QImage paintable(const QImage& image) {
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    QImage converted = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < converted.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(converted.constScanLine(y));
        if (std::any_of(row, row + converted.width(), [](QRgb p) { return qAlpha(p) != 255; }))
            return converted;
    }
    return converted.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

QImage ResourceRegistry::imageNamed(const std::string& name) const {
    if (!isPlainFileName(name))
        return {};
    {
        std::lock_guard lock(imagesMutex_);
        if (const auto it = images_.find(name); it != images_.end())
            return it->second;
    }
    for (const auto& folder : imageFolders_) {
        for (const char* extension : {"", ".png", ".jpg", ".jpeg", ".gif", ".bmp"}) {
            const std::filesystem::path path = folder / (name + extension);
            std::error_code ec;
            if (std::filesystem::is_regular_file(path, ec)) {
                const QImage image = paintable(QImage(QString::fromStdString(path.string())));
                if (!image.isNull()) {
                    std::lock_guard lock(imagesMutex_);
                    images_.emplace(name, image);
                    return image;
                }
            }
        }
    }
    VND_TRACE("Error", "No image named \"%s\"", name.c_str());
    return {};
}

QPixmap ResourceRegistry::pixmapNamed(const std::string& name) const {
    if (const auto it = pixmaps_.find(name); it != pixmaps_.end())
        return it->second;
    const QImage image = imageNamed(name);
    if (image.isNull())
        return {};
    return pixmaps_.emplace(name, QPixmap::fromImage(image)).first->second;
}

std::optional<std::filesystem::path> ResourceRegistry::pathForResource(
    const std::string& name) const {
    if (!isPlainFileName(name))
        return std::nullopt;
    for (const auto& folder : imageFolders_) {
        const std::filesystem::path path = folder / name;
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec))
            return path;
    }
    VND_TRACE("Error", "No resource named \"%s\"", name.c_str());
    return std::nullopt;
}

}  // namespace ui
