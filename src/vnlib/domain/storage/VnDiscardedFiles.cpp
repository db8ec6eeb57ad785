#include "vnlib/domain/storage/VnDiscardedFiles.h"

#include <cstdlib>
#include <string>
#include <system_error>
#include <utility>

#include "platform/runloop/OperationQueue.h"
#include "platform/storage/FileManager.h"
#include "platform/storage/Paths.h"

namespace {

// Whether the root is a folder of its own, looked at without following a link: a link there
// (to a folder anywhere) is never swept nor moved into.
bool realFolder(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::symlink_status(path, ec).type() ==
           std::filesystem::file_type::directory;
}

void queueDeletion(const Ref<plat::OperationQueue>& deletions, std::filesystem::path path) {
    deletions->addOperationWithBlock([path = std::move(path)] {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    });
}

}  // namespace

VnDiscardedFiles::VnDiscardedFiles(std::filesystem::path root)
    : root_(std::move(root)), deletions_(plat::OperationQueue::make("Discarded files")) {
    deletions_->setMaxConcurrentOperationCount(1);
    // Only what is there now: batches of this run are deleted by their own ends.
    if (!realFolder(root_))
        return;
    for (const auto& name : plat::FileManager::contentsOfDirectory(root_))
        queueDeletion(deletions_, root_ / name);
}

VnDiscardedFiles::Batch::Batch(std::filesystem::path root, Ref<plat::OperationQueue> deletions)
    : root_(std::move(root)), deletions_(std::move(deletions)) {}

VnDiscardedFiles::Batch::Batch(Batch&& other) noexcept
    : root_(std::move(other.root_)),
      deletions_(std::move(other.deletions_)),
      folder_(std::exchange(other.folder_, std::nullopt)),
      folderTried_(std::exchange(other.folderTried_, true)),
      taken_(other.taken_) {}

VnDiscardedFiles::Batch::~Batch() {
    if (folder_ && deletions_)
        queueDeletion(deletions_, *folder_);
}

const std::optional<std::filesystem::path>& VnDiscardedFiles::Batch::folder() {
    if (!folderTried_) {
        folderTried_ = true;
        plat::Paths::createDirectories(root_);
        std::string name = (root_ / "batch-XXXXXX").string();
        if (realFolder(root_) && ::mkdtemp(name.data()))
            folder_ = std::filesystem::path(name);
    }
    return folder_;
}

void VnDiscardedFiles::Batch::take(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error)))
        return;
    // Entries are numbered: the batch may take two of the same name from different folders.
    const auto& into = folder();
    if (into && !plat::FileManager::moveItem(path, *into / std::to_string(taken_++)))
        return;
    plat::FileManager::removeItem(path);
}
