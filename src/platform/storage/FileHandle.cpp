#include "platform/storage/FileHandle.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/storage/AtomicFile.h"

namespace plat {

std::unique_ptr<FileHandle> FileHandle::openForUpdating(const std::filesystem::path& path,
                                                        bool create, Ref<Error>* error) {
    const int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0);
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) {
        if (error)
            *error = posixError(errno, "Cannot open", path);
        return nullptr;
    }
    return std::make_unique<FileHandle>(fd, path);
}

std::unique_ptr<FileHandle> FileHandle::openForReading(const std::filesystem::path& path,
                                                       Ref<Error>* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = posixError(errno, "Cannot open", path);
        return nullptr;
    }
    return std::make_unique<FileHandle>(fd, path);
}

std::unique_ptr<FileHandle> FileHandle::openForWriting(const std::filesystem::path& path,
                                                       bool append, Ref<Error>* error) {
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? 0 : O_TRUNC);
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) {
        if (error)
            *error = posixError(errno, "Cannot open", path);
        return nullptr;
    }
    auto handle = std::make_unique<FileHandle>(fd, path);
    if (append)
        handle->seekToEndOfFile();
    return handle;
}

FileHandle::~FileHandle() {
    closeFile();
}

uint64_t FileHandle::seekToEndOfFile() {
    if (fd_ >= 0) {
        const off_t end = ::lseek(fd_, 0, SEEK_END);
        if (end >= 0)
            offset_ = static_cast<uint64_t>(end);
    }
    return offset_;
}

std::optional<Bytes> FileHandle::readDataOfLength(size_t length, Ref<Error>* error) {
    if (fd_ < 0) {
        if (error)
            *error = posixError(EBADF, "Cannot read a closed file", path_);
        return std::nullopt;
    }
    Bytes bytes(length);
    size_t done = 0;
    while (done < length) {
        const ssize_t n =
            ::pread(fd_, bytes.data() + done, length - done, static_cast<off_t>(offset_ + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (error)
                *error = posixError(errno, "Cannot read", path_);
            return std::nullopt;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    offset_ += done;
    return bytes;
}

int64_t FileHandle::readInto(uint8_t* buffer, size_t length, Ref<Error>* error) {
    if (fd_ < 0) {
        if (error)
            *error = posixError(EBADF, "Cannot read a closed file", path_);
        return -1;
    }
    for (;;) {
        const ssize_t n = ::pread(fd_, buffer, length, static_cast<off_t>(offset_));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (error)
                *error = posixError(errno, "Cannot read", path_);
            return -1;
        }
        offset_ += static_cast<uint64_t>(n);
        return n;
    }
}

Ref<Error> FileHandle::writeData(std::span<const uint8_t> bytes) {
    if (fd_ < 0)
        return posixError(EBADF, "Cannot write a closed file", path_);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(offset_ + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int code = n < 0 ? errno : EIO;
            offset_ += done;
            return posixError(code, "Cannot write", path_);
        }
        done += static_cast<size_t>(n);
    }
    offset_ += done;
    return nullptr;
}

Ref<Error> FileHandle::synchronizeFile() {
    if (fd_ >= 0 && ::fsync(fd_) != 0)
        return posixError(errno, "Cannot flush", path_);
    return nullptr;
}

Ref<Error> FileHandle::closeFile() {
    if (fd_ < 0)
        return nullptr;
    const int rc = ::close(fd_);
    const int code = errno;
    fd_ = -1;
    return rc == 0 ? nullptr : posixError(code, "Cannot close the file", path_);
}

}  // namespace plat
