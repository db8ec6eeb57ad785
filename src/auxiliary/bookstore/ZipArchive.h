#pragma once
// ZipArchive: unpacks a zip file into a folder over minizip; encrypted entries (traditional or
// WinZip AES) are decrypted by our own ciphers. The central directory is read whole before
// anything is written. Entries that would land outside the folder (an absolute name, a ".."
// segment, NUL or an empty name), names too long for the file system (PATH_MAX with the folder,
// NAME_MAX a segment), symbolic links, and archives that unpack to too much (too many entries,
// an entry inflating past its declared size or far beyond its compressed size, too many bytes in
// all) are refused: extraction stops with NO and the delegate and the "Error" trace get "Refused
// zip entry '<name>': <reason>". A damaged directory, read and CRC errors and files that cannot be
// written fail the extraction too, with the reason ("Cannot unpack zip entry '<name>': ..."); a
// file that was being written when it failed is removed.
// Delegate (optional): "ErrorMessage:" with a message, "OverWriteOperation:" with a path,
// answering whether an existing file may be replaced.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/core/Message.h"
#include "platform/core/Value.h"

// The archive's delegate messages, declared once with their C++ types.
struct ZipArchiveDelegate {
    static constexpr plat::Message<void(const std::string&)> kErrorMessage{"ErrorMessage:"};
    // Whether an existing file may be overwritten (yes when unanswered).
    static constexpr plat::Message<bool(const std::string&)> kOverWriteOperation{
        "OverWriteOperation:"};
};

class ZipArchive : public plat::Object {
    PLAT_CLASS(ZipArchive)
  public:
    struct Limits {
        uint64_t maxEntries = 10000;
        uint64_t maxTotalBytes = uint64_t{1} << 30;
        uint64_t maxRatio = 100;
        // Entries that unpack to no more than this are never judged by their ratio.
        uint64_t ratioFloorBytes = uint64_t{1} << 20;
    };

    ZipArchive() = default;
    ~ZipArchive() override;

    bool UnzipOpenFile(const std::string& zipFile);
    bool UnzipOpenFile(const std::string& zipFile, const std::string& password);
    bool UnzipFileTo(const std::string& path, bool overwrite);
    bool UnzipCloseFile();

    void OutputErrorMessage(const std::string& message);
    bool OverWrite(const std::string& file);
    // 1 January 1980, 00:00 local time.
    static plat::Date Date1980();

    const WeakRef<plat::Object>& delegate() const { return delegate_; }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    const Limits& limits() const { return limits_; }
    void setLimits(const Limits& limits) { limits_ = limits; }
    // The last message given to OutputErrorMessage (empty when none).
    const std::string& lastErrorMessage() const { return lastErrorMessage_; }

  private:
    bool refuse(const std::string& name, const std::string& reason);
    // An entry that could not be unpacked: "Cannot unpack zip entry '<name>': <reason>".
    bool failEntry(const std::string& name, const std::string& reason);
    // Reads the central directory once and refuses the archive when any entry would be refused
    // by name, kind, count or declared size; leaves the archive at an unknown entry.
    bool checkDirectory(const std::string& destination);
    bool extractCurrentEntry(const std::string& destination, bool overwrite, uint64_t& total);

    void* unzFile_ = nullptr;
    std::string zipPath_;
    std::optional<std::string> password_;
    WeakRef<plat::Object> delegate_;
    Limits limits_;
    std::string lastErrorMessage_;
};
