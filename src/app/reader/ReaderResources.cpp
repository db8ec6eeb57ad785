#include "app/reader/ReaderResources.h"

#include <filesystem>
#include <system_error>

#include "app/reader/ReaderWindowController.h"
#include "platform_ui/ResourceRegistry.h"

void registerReaderResources(ui::ResourceRegistry& registry) {
    registry.registerController(ReaderScreens::kReaderWindow,
                                [] { return ReaderWindowController::make(); });
    // The placeholder page image: installed beside the program, or in the source tree of a
    // build that is run where it was made.
    std::error_code ec;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec)
        registry.addImageFolder(program.parent_path().parent_path() / "share/varnel/images");
    registry.addImageFolder(VARNEL_SOURCE_IMAGES_DIR);
}
