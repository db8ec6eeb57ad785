#include "app/shell/ShellResources.h"

#include <filesystem>

#include "app/shell/HZLoading.h"
#include "app/shell/UserInfoViewController.h"
#include "platform_ui/ResourceRegistry.h"

namespace {

std::filesystem::path executableFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

}  // namespace

void registerShellResources(ui::ResourceRegistry& registry) {
    // The installed images (bin/varnel beside share/varnel/images), then the build tree's.
    if (const auto folder = executableFolder(); !folder.empty())
        registry.addImageFolder(folder.parent_path() / "share" / "varnel" / "images");
    registry.addImageFolder(VARNEL_BUILD_IMAGE_FOLDER);

    registry.registerController(ShellScreens::kLoading,
                                [] { return ui::ViewController::create<HZLoading>(); });
    registry.registerController(ShellScreens::kUserInfo, [] {
        return ui::ViewController::create<UserInfoViewController>();
    });
}
