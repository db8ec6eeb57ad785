#pragma once
// Whole-file reads with a size limit, and whole-file writes that never leave a half-written file:
// the bytes go to a temporary file in the same folder, are flushed to disk, and the temporary
// file is renamed over the target. If anything fails, the old file is left untouched.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>

#include "platform/core/Error.h"
#include "platform/core/Value.h"

namespace plat {

inline constexpr const char* NSPOSIXErrorDomain = "NSPOSIXErrorDomain";

// An error in NSPOSIXErrorDomain with the errno code and "<what> (<strerror>): <path>".
Ref<Error> posixError(int code, const std::string& what, const std::filesystem::path& path);

class AtomicFile {
  public:
    // Replaces the file at path with the bytes; the new file has exactly the given mode. The
    // folder must exist. Answers nothing on success, the error otherwise.
    static Ref<Error> write(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                            unsigned mode = 0600);

    // The whole content of a regular file (links are followed). Nothing when the file does not
    // exist (no error), or when it cannot be read, is larger than maxBytes or is not a regular
    // file (with the error); a FIFO or a device is refused at once, without waiting on it.
    static std::optional<Bytes> read(const std::filesystem::path& path, size_t maxBytes,
                                     Ref<Error>* error = nullptr);
};

}  // namespace plat
