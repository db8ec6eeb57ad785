#pragma once
// ui::ResourceRegistry: what the program's storyboards and nibs stand for: factories of
// controllers under (storyboard, identifier), builders of widget trees under a nib name (they
// wire the owner's outlets and actions), named images in resource folders (the extension is
// optional) and resource files named exactly. An unknown name gives null and a log line.
// A name has one provider: a second registration of a controller or nib under a name already
// taken is refused (logged, the first stays) unless it comes from the very same registration
// (the same factory code run again, as when the areas register once more). Test doubles take a
// name over with replaceController and give it back with removeController.
// Named images are read once, in the format the screen paints without converting, and shown
// from one shared pixmap each.
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Object.h"
#include "platform_ui/ScreenName.h"

namespace ui {

class ResourceRegistry {
  public:
    using ControllerFactory = std::function<Ref<plat::Object>()>;
    using NibBuilder = std::function<std::unique_ptr<QWidget>(plat::Object& owner)>;

    static ResourceRegistry& shared();

    // False (and logged) when another provider holds the name.
    bool registerController(const std::string& storyboard, const std::string& identifier,
                            ControllerFactory factory);
    bool registerController(ScreenName name, ControllerFactory factory) {
        return registerController(name.storyboard, name.identifier, std::move(factory));
    }
    // For test doubles: the name is served by this factory whoever held it.
    void replaceController(const std::string& storyboard, const std::string& identifier,
                           ControllerFactory factory);
    void removeController(const std::string& storyboard, const std::string& identifier);
    void removeController(ScreenName name) { removeController(name.storyboard, name.identifier); }
    Ref<plat::Object> instantiateController(const std::string& storyboard,
                                            const std::string& identifier) const;
    Ref<plat::Object> instantiateController(ScreenName name) const {
        return instantiateController(name.storyboard, name.identifier);
    }
    template <class T>
    Ref<T> instantiate(const std::string& storyboard, const std::string& identifier) const {
        return std::dynamic_pointer_cast<T>(instantiateController(storyboard, identifier));
    }
    template <class T>
    Ref<T> instantiate(ScreenName name) const {
        return instantiate<T>(name.storyboard, name.identifier);
    }

    // False (and logged) when another provider holds the name.
    bool registerNib(const std::string& name, NibBuilder builder);
    void replaceNib(const std::string& name, NibBuilder builder);
    bool hasNib(const std::string& name) const;
    std::unique_ptr<QWidget> loadNib(const std::string& name, plat::Object& owner) const;

    // Folders searched for named images, in order.
    void addImageFolder(const std::filesystem::path& folder);
    // "temp_hd_pdf" finds temp_hd_pdf.png, .jpg, .jpeg, .gif, .bmp or the exact name; null and
    // logged when none. An image found is read once and shared after that: opaque pictures as
    // RGB32, the others as premultiplied ARGB32.
    QImage imageNamed(const std::string& name) const;
    // The named image as one pixmap shared by every view that shows it (a label given the same
    // pixmap again keeps what it drew of it). Main thread only.
    QPixmap pixmapNamed(const std::string& name) const;
    // The path of the regular file named exactly so in the first folder that has one; nothing
    // for an unknown name and for names that could leave the folders (empty, ".", "..", or
    // holding "/" or NUL).
    std::optional<std::filesystem::path> pathForResource(const std::string& name) const;

  private:
    std::map<std::pair<std::string, std::string>, ControllerFactory> controllers_;
    std::map<std::string, NibBuilder> nibs_;
    std::vector<std::filesystem::path> imageFolders_;
    mutable std::mutex imagesMutex_;
    mutable std::map<std::string, QImage> images_;
    mutable std::map<std::string, QPixmap> pixmaps_;
};

}  // namespace ui
