#pragma once
// plat::FileHandle: an open file for updating (reading and appending), closed when the handle
// goes away. Every failure is answered as an error in NSPOSIXErrorDomain carrying errno.
//
//   Ref<Error> error;
//   auto handle = FileHandle::openForUpdating(path, /*create=*/true, &error);
//   handle->seekToEndOfFile();
//   if (auto failed = handle->writeData(bytes)) ...
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

#include "platform/core/Error.h"
#include "platform/core/Value.h"

namespace plat {

class FileHandle {
  public:
    // Opens the file for reading and writing; with `create`, an empty file is made first when
    // there is none (mode 0600). Null, with the error, when it cannot be opened.
    static std::unique_ptr<FileHandle> openForUpdating(const std::filesystem::path& path,
                                                       bool create, Ref<Error>* error = nullptr);
    // Opens an existing file for reading only.
    static std::unique_ptr<FileHandle> openForReading(const std::filesystem::path& path,
                                                      Ref<Error>* error = nullptr);
    // Opens the file for writing, made when missing (mode 0600): emptied, or with `append` kept
    // and the offset at its end.
    static std::unique_ptr<FileHandle> openForWriting(const std::filesystem::path& path,
                                                      bool append, Ref<Error>* error = nullptr);
    explicit FileHandle(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle();

    // Moves to the end and answers the offset there (the file's size).
    uint64_t seekToEndOfFile();
    uint64_t offsetInFile() const { return offset_; }
    void seekToFileOffset(uint64_t offset) { offset_ = offset; }
    // Up to `length` bytes from the current offset; empty at the end; nothing on an error.
    std::optional<Bytes> readDataOfLength(size_t length, Ref<Error>* error = nullptr);
    // Up to `length` bytes from the current offset into `buffer`: the count (0 at the end), or
    // -1 with the error.
    int64_t readInto(uint8_t* buffer, size_t length, Ref<Error>* error = nullptr);
    // Writes every byte at the current offset, or answers the error (a full disk, a file-size
    // limit); what was written before the error stays.
    Ref<Error> writeData(std::span<const uint8_t> bytes);
    // Flushes the file to the disk.
    Ref<Error> synchronizeFile();
    // Closes the file; the error when the close fails (which can mean lost data).
    Ref<Error> closeFile();
    bool isOpen() const { return fd_ >= 0; }

  private:
    int fd_;
    std::filesystem::path path_;
    uint64_t offset_ = 0;
};

}  // namespace plat
