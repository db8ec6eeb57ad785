#include "platform/storage/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace plat {
namespace {

namespace fs = std::filesystem;

// Closes the descriptor when it goes out of scope unless released.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now and reports the result (a failed close can mean lost data).
    int close() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

  private:
    int fd_;
};

bool writeAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

Ref<Error> posixError(int code, const std::string& what, const fs::path& path) {
    return Error::withDescription(NSPOSIXErrorDomain, code,
                                  what + " (" + std::strerror(code) + "): " + path.string());
}

Ref<Error> AtomicFile::write(const fs::path& path, std::span<const uint8_t> bytes, unsigned mode) {
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string name = path.filename().string();
    if (name.empty())
        return posixError(EISDIR, "Cannot write a file without a name", path);
    if (name.size() > 200)
        name.resize(200);
    std::string tempName = (folder / ("." + name + ".XXXXXX")).string();

    const int fd = ::mkostemp(tempName.data(), O_CLOEXEC);
    if (fd < 0)
        return posixError(errno, "Cannot create a temporary file", path);
    FileDescriptor file(fd);
    auto fail = [&](const char* what) {
        const int code = errno;
        ::unlink(tempName.c_str());
        return posixError(code, what, path);
    };
    if (::fchmod(file.get(), static_cast<mode_t>(mode)) != 0)
        return fail("Cannot set permissions");
    if (!writeAll(file.get(), bytes))
        return fail("Cannot write");
    if (::fsync(file.get()) != 0)
        return fail("Cannot flush");
    if (file.close() != 0)
        return fail("Cannot close");
    if (::rename(tempName.c_str(), path.c_str()) != 0)
        return fail("Cannot replace");

    // Make the rename itself durable. A folder that cannot be flushed is not a failure of the
    // write, which has already happened (and this may run during shutdown, so nothing is logged).
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        FileDescriptor dir(dirFd);
        (void)::fsync(dir.get());
    }
    return nullptr;
}

std::optional<Bytes> AtomicFile::read(const fs::path& path, size_t maxBytes, Ref<Error>* error) {
    auto fail = [&](int code, const char* what) -> std::optional<Bytes> {
        if (error)
            *error = posixError(code, what, path);
        return std::nullopt;
    };
    if (error)
        *error = nullptr;
    // Opened without blocking: a FIFO or a device put where a file should be would otherwise
    // wait in open() for a writer or the device. Only a regular file is read on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        return fail(errno, "Cannot open");
    }
    FileDescriptor file(fd);
    struct stat st {};
    if (::fstat(file.get(), &st) != 0)
        return fail(errno, "Cannot examine");
    if (!S_ISREG(st.st_mode))
        return fail(EINVAL, "Not a regular file");
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return fail(errno, "Cannot examine");
    if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > maxBytes) {
        return fail(EFBIG, "File too large");
    }
    Bytes out;
    out.reserve(static_cast<size_t>(st.st_size));
    uint8_t buffer[65536];
    while (true) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno, "Cannot read");
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<size_t>(n) > maxBytes)
            return fail(EFBIG, "File too large");
        out.insert(out.end(), buffer, buffer + n);
    }
    return out;
}

}  // namespace plat
