#pragma once
// VnDiscardedFiles: files that must leave their place at once but whose deletion the caller does
// not wait for. Deleting a book read through (hundreds of pages, each with its kept check) takes
// seconds on some disks; moving the files aside takes a rename each. A batch moves each file or
// folder it takes into a folder of its own below the root (on the same disk as the cache), and
// when the batch ends that folder is deleted on the deletion queue, a worker thread. Nothing else
// ever looks in the root, so a new file written at a taken file's place is never touched. What
// cannot be moved (another disk, a root that cannot be made, a root that is not a folder of its
// own but a link) is deleted at once, as before. Folders a run left in the root (it ended before
// their deletion) are deleted by the next run; a root that is a link is never swept.
//
//   auto discarded = storage.discardedFiles()->batch();
//   discarded.take(folder / "PAGE_PDF_0");
//   // at the end of the scope the batch's folder goes to the deletion queue
#include <cstddef>
#include <filesystem>
#include <optional>

#include "platform/core/Ref.h"

namespace plat {
class OperationQueue;
}

class VnDiscardedFiles {
  public:
    class Batch {
      public:
        Batch(Batch&& other) noexcept;
        Batch& operator=(Batch&&) = delete;
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        // Hands the batch's folder, if it made one, to the deletion queue.
        ~Batch();

        // The file or folder at the path leaves it at once; nothing there is nothing to do.
        void take(const std::filesystem::path& path);

      private:
        friend class VnDiscardedFiles;
        Batch(std::filesystem::path root, Ref<plat::OperationQueue> deletions);
        // The batch's folder, made on first use; none when it cannot be made.
        const std::optional<std::filesystem::path>& folder();

        std::filesystem::path root_;
        Ref<plat::OperationQueue> deletions_;
        std::optional<std::filesystem::path> folder_;
        bool folderTried_ = false;
        size_t taken_ = 0;
    };

    // Queues the deletion of whatever an earlier run left in the root.
    explicit VnDiscardedFiles(std::filesystem::path root);

    Batch batch() const { return Batch(root_, deletions_); }
    const std::filesystem::path& root() const { return root_; }
    // One deletion at a time, off the calling thread. Tests suspend it or wait for it.
    const Ref<plat::OperationQueue>& deletions() const { return deletions_; }

  private:
    std::filesystem::path root_;
    Ref<plat::OperationQueue> deletions_;
};
