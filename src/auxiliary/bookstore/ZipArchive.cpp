#include "auxiliary/bookstore/ZipArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <unzip.h>
#include <zlib.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/core/Log.h"
#include "platform/crypto/ZipCipher.h"
#include "platform/storage/FileHandle.h"
#include "platform/storage/Paths.h"

PLAT_DEFINE_CLASS(ZipArchive, plat::Object, [](auto&) {})

namespace fs = std::filesystem;

namespace {

constexpr size_t kChunk = 4096;
constexpr uint16_t kAesExtraId = 0x9901;
constexpr uLong kAesMethod = 99;

unzFile handle(void* p) {
    return static_cast<unzFile>(p);
}

// The bytes of one entry. Entries are read raw from minizip and decrypted, inflated and checked
// here, so that an entry that inflates past its declared size is seen rather than cut short.
class EntryReader {
  public:
    virtual ~EntryReader() = default;
    // Bytes read, 0 at the end, -1 on an error (error() says which).
    virtual int read(uint8_t* buffer, size_t length) = 0;
    // After the last read: whether the entry checked out (CRC, authentication).
    virtual bool finish() = 0;
    const std::string& error() const { return error_; }

  protected:
    std::string error_;
};

// Raw bytes → decrypted compressed bytes → inflated bytes, with the CRC checked.
class DecryptingReader : public EntryReader {
  public:
    // Raw bytes from the open entry of `file`, or from `direct` (positioned at the entry's data,
    // owned) for entries minizip will not open.
    DecryptingReader(unzFile file, uLong method, uint64_t rawLength, std::optional<uLong> crc,
                     std::FILE* direct = nullptr)
        : file_(file), direct_(direct), method_(method), rawLeft_(rawLength), crc_(crc) {}
    ~DecryptingReader() override {
        if (inflating_)
            inflateEnd(&z_);
        if (direct_)
            std::fclose(direct_);
        else
            unzCloseCurrentFile(file_);
    }

    bool start() {
        if (method_ != Z_DEFLATED && method_ != 0) {
            error_ = "unsupported compression method " + std::to_string(method_);
            return false;
        }
        if (method_ == Z_DEFLATED) {
            z_ = {};
            if (inflateInit2(&z_, -MAX_WBITS) != Z_OK) {
                error_ = "cannot inflate";
                return false;
            }
            inflating_ = true;
        }
        return true;
    }

    int read(uint8_t* buffer, size_t length) override {
        if (method_ == 0) {
            const int n = readDecrypted(buffer, length);
            if (n > 0)
                computed_ = crc32(computed_, buffer, static_cast<uInt>(n));
            return n;
        }
        z_.next_out = buffer;
        z_.avail_out = static_cast<uInt>(length);
        while (z_.avail_out == length && !ended_) {
            if (z_.avail_in == 0) {
                const int n = readDecrypted(in_.data(), in_.size());
                if (n < 0)
                    return -1;
                z_.next_in = in_.data();
                z_.avail_in = static_cast<uInt>(n);
                if (n == 0) {
                    error_ = "compressed data cut short";
                    return -1;
                }
            }
            const int rc = inflate(&z_, Z_NO_FLUSH);
            if (rc == Z_STREAM_END)
                ended_ = true;
            else if (rc != Z_OK) {
                error_ = "corrupt compressed data";
                return -1;
            }
        }
        const int n = static_cast<int>(length - z_.avail_out);
        computed_ = crc32(computed_, buffer, static_cast<uInt>(n));
        return n;
    }

    bool finish() override {
        if (!error_.empty())
            return false;
        if (!verify())
            return false;
        if (crc_ && *crc_ != computed_) {
            error_ = "CRC mismatch";
            return false;
        }
        return true;
    }

  protected:
    // The next raw bytes of the entry (up to rawLeft_), read from the archive.
    int readRaw(uint8_t* buffer, size_t length) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(length, rawLeft_));
        if (want == 0)
            return 0;
        const int n = direct_ ? static_cast<int>(std::fread(buffer, 1, want, direct_))
                              : unzReadCurrentFile(file_, buffer, static_cast<unsigned>(want));
        if (n <= 0) {
            error_ = n < 0 ? "read error " + std::to_string(n) : "entry cut short";
            return -1;
        }
        rawLeft_ -= static_cast<uint64_t>(n);
        return n;
    }
    virtual int readDecrypted(uint8_t* buffer, size_t length) = 0;
    virtual bool verify() { return true; }

    unzFile file_;
    std::FILE* direct_;
    uLong method_;
    uint64_t rawLeft_;
    std::optional<uLong> crc_;
    uLong computed_ = crc32(0, nullptr, 0);
    z_stream z_{};
    bool inflating_ = false;
    bool ended_ = false;
    std::array<uint8_t, kChunk> in_{};
};

class UnencryptedReader : public DecryptingReader {
  public:
    UnencryptedReader(unzFile file, const unz_file_info64& info)
        : DecryptingReader(file, info.compression_method, info.compressed_size, info.crc) {}

  private:
    int readDecrypted(uint8_t* buffer, size_t length) override { return readRaw(buffer, length); }
};

class ZipCryptoReader : public DecryptingReader {
  public:
    ZipCryptoReader(unzFile file, const unz_file_info64& info, const std::string& password)
        : DecryptingReader(file, info.compression_method, info.compressed_size, info.crc),
          cipher_(password) {}

    bool start(const unz_file_info64& info) {
        std::array<uint8_t, plat::ZipCryptoCipher::kHeaderLength> header{};
        if (rawLeft_ < header.size() || readRaw(header.data(), header.size()) != 12) {
            error_ = "encryption header missing";
            return false;
        }
        const uint8_t check = info.flag & 8 ? static_cast<uint8_t>(info.dosDate >> 8)
                                            : static_cast<uint8_t>(info.crc >> 24);
        if (!cipher_.decryptHeader(header, check)) {
            error_ = "wrong password";
            return false;
        }
        return DecryptingReader::start();
    }

  private:
    int readDecrypted(uint8_t* buffer, size_t length) override {
        const int n = readRaw(buffer, length);
        if (n > 0)
            cipher_.decrypt({buffer, static_cast<size_t>(n)});
        return n;
    }
    plat::ZipCryptoCipher cipher_;
};

class ZipAesReader : public DecryptingReader {
  public:
    ZipAesReader(std::FILE* direct, uLong method, uint64_t rawLength, std::optional<uLong> crc)
        : DecryptingReader(nullptr, method, rawLength, crc, direct) {}

    bool start(const std::string& password, int strength) {
        const size_t saltLength = plat::ZipAesCipher::saltLength(strength);
        const size_t overhead =
            saltLength + plat::ZipAesCipher::kVerifierLength + plat::ZipAesCipher::kAuthCodeLength;
        if (saltLength == 0 || rawLeft_ < overhead) {
            error_ = "bad AES header";
            return false;
        }
        std::vector<uint8_t> head(saltLength + plat::ZipAesCipher::kVerifierLength);
        if (readRaw(head.data(), head.size()) != static_cast<int>(head.size()))
            return false;
        cipher_ = plat::ZipAesCipher::make(password, strength, {head.data(), saltLength});
        if (!cipher_ || !std::equal(cipher_->passwordVerifier().begin(),
                                    cipher_->passwordVerifier().end(), head.begin() + saltLength)) {
            error_ = "wrong password";
            return false;
        }
        // Leave the authentication code unread until the data is through.
        rawLeft_ -= plat::ZipAesCipher::kAuthCodeLength;
        return DecryptingReader::start();
    }

  private:
    int readDecrypted(uint8_t* buffer, size_t length) override {
        const int n = readRaw(buffer, length);
        if (n > 0)
            cipher_->crypt({buffer, static_cast<size_t>(n)}, false);
        return n;
    }
    bool verify() override {
        if (rawLeft_ != 0) {
            error_ = "data left after the end of the compressed stream";
            return false;
        }
        std::array<uint8_t, plat::ZipAesCipher::kAuthCodeLength> stored{};
        rawLeft_ = stored.size();
        if (readRaw(stored.data(), stored.size()) != static_cast<int>(stored.size()))
            return false;
        if (stored != cipher_->authCode()) {
            error_ = "authentication failed";
            return false;
        }
        return true;
    }
    std::optional<plat::ZipAesCipher> cipher_;
};

// The AES extra field of an entry: (vendor version, strength, actual method).
struct AesField {
    int vendorVersion;
    int strength;
    uLong method;
};

std::optional<AesField> aesField(const std::vector<uint8_t>& extra) {
    size_t i = 0;
    while (i + 4 <= extra.size()) {
        const uint16_t id = static_cast<uint16_t>(extra[i] | extra[i + 1] << 8);
        const size_t size = static_cast<size_t>(extra[i + 2] | extra[i + 3] << 8);
        if (i + 4 + size > extra.size())
            break;
        if (id == kAesExtraId && size >= 7) {
            const uint8_t* d = extra.data() + i + 4;
            if (d[2] != 'A' || d[3] != 'E')
                return std::nullopt;
            return AesField{d[0] | d[1] << 8, d[4], static_cast<uLong>(d[5] | d[6] << 8)};
        }
        i += 4 + size;
    }
    return std::nullopt;
}

uint32_t readLittleEndian(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

// The archive file positioned at the data of the entry whose central header is at
// `centralOffset`; null when the headers are not where they should be.
std::FILE* openEntryData(const std::string& zipPath, uint64_t centralOffset) {
    std::FILE* f = std::fopen(zipPath.c_str(), "rb");
    if (!f)
        return nullptr;
    uint8_t central[46], local[30];
    bool ok = ::fseeko(f, static_cast<off_t>(centralOffset), SEEK_SET) == 0 &&
              std::fread(central, 1, sizeof central, f) == sizeof central &&
              readLittleEndian(central, 4) == 0x02014b50;
    const uint32_t localOffset = ok ? readLittleEndian(central + 42, 4) : 0;
    ok = ok && localOffset != 0xFFFFFFFFu &&
         ::fseeko(f, static_cast<off_t>(localOffset), SEEK_SET) == 0 &&
         std::fread(local, 1, sizeof local, f) == sizeof local &&
         readLittleEndian(local, 4) == 0x04034b50;
    ok = ok &&
         ::fseeko(f,
                  static_cast<off_t>(localOffset + sizeof local + readLittleEndian(local + 26, 2) +
                                     readLittleEndian(local + 28, 2)),
                  SEEK_SET) == 0;
    if (!ok) {
        std::fclose(f);
        return nullptr;
    }
    return f;
}

// Why a name cannot be unpacked under a folder; empty when it can.
std::string unsafeNameReason(const std::string& name, size_t declaredLength) {
    if (name.size() != declaredLength)
        return "name holds a NUL byte";
    if (name.empty() || name == "/")
        return "empty name";
    if (name[0] == '/')
        return "absolute path";
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')))
        return "absolute path";
    size_t start = 0;
    while (start <= name.size()) {
        const size_t slash = name.find('/', start);
        const std::string_view segment = std::string_view(name).substr(
            start, slash == std::string::npos ? name.npos : slash - start);
        if (segment == "..")
            return "path escapes the folder";
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return {};
}

// Why an entry's name cannot be unpacked under `destination`; empty when it can. Names are
// bounded before anything is made from them: the whole target within PATH_MAX, each segment
// within NAME_MAX.
std::string entryNameProblem(std::string name, size_t declaredLength,
                             const std::string& destination) {
    for (char& c : name) {
        if (c == '\\')
            c = '/';
    }
    if (destination.size() + 1 + name.size() >= PATH_MAX)
        return "name longer than " + std::to_string(PATH_MAX) + " bytes with its folder";
    size_t segment = 0;
    for (const char c : name) {
        segment = c == '/' ? 0 : segment + 1;
        if (segment > NAME_MAX)
            return "a name segment longer than " + std::to_string(NAME_MAX) + " bytes";
    }
    return unsafeNameReason(name, declaredLength);
}

// A DOS date and time word as local time.
time_t dosTime(uLong dosDate) {
    std::tm tm{};
    tm.tm_year = static_cast<int>((dosDate >> 25) & 0x7F) + 80;
    tm.tm_mon = static_cast<int>((dosDate >> 21) & 0x0F) - 1;
    tm.tm_mday = static_cast<int>((dosDate >> 16) & 0x1F);
    tm.tm_hour = static_cast<int>((dosDate >> 11) & 0x1F);
    tm.tm_min = static_cast<int>((dosDate >> 5) & 0x3F);
    tm.tm_sec = static_cast<int>(dosDate & 0x1F) * 2;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

}  // namespace

ZipArchive::~ZipArchive() {
    UnzipCloseFile();
}

bool ZipArchive::UnzipOpenFile(const std::string& zipFile) {
    UnzipCloseFile();
    unzFile_ = unzOpen64(zipFile.c_str());
    if (!unzFile_)
        return false;
    zipPath_ = zipFile;
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(handle(unzFile_), &global) == UNZ_OK)
        VND_TRACE("Default", "%lu entries in the zip file",
                  static_cast<unsigned long>(global.number_entry));
    return true;
}

bool ZipArchive::UnzipOpenFile(const std::string& zipFile, const std::string& password) {
    const bool opened = UnzipOpenFile(zipFile);
    password_ = password;
    return opened;
}

bool ZipArchive::UnzipCloseFile() {
    password_.reset();
    if (!unzFile_)
        return true;
    const int rc = unzClose(handle(unzFile_));
    unzFile_ = nullptr;
    return rc == UNZ_OK;
}

void ZipArchive::OutputErrorMessage(const std::string& message) {
    lastErrorMessage_ = message;
    plat::sendIfResponds(delegate_.lock(), ZipArchiveDelegate::kErrorMessage, message);
}

bool ZipArchive::OverWrite(const std::string& file) {
    const Ref<plat::Object> delegate = delegate_.lock();
    if (!delegate || !plat::respondsToSelector(delegate, ZipArchiveDelegate::kOverWriteOperation))
        return true;
    return plat::send(delegate, ZipArchiveDelegate::kOverWriteOperation, file);
}

plat::Date ZipArchive::Date1980() {
    std::tm tm{};
    tm.tm_year = 80;
    tm.tm_mday = 1;
    tm.tm_isdst = -1;
    return plat::Date{static_cast<double>(std::mktime(&tm))};
}

bool ZipArchive::failEntry(const std::string& name, const std::string& reason) {
    const std::string message = "Cannot unpack zip entry '" + name + "': " + reason;
    VND_TRACE("Error", "%s", message.c_str());
    OutputErrorMessage(message);
    return false;
}

bool ZipArchive::refuse(const std::string& name, const std::string& reason) {
    const std::string message = "Refused zip entry '" + name + "': " + reason;
    VND_TRACE("Error", "%s", message.c_str());
    OutputErrorMessage(message);
    return false;
}

bool ZipArchive::UnzipFileTo(const std::string& path, bool overwrite) {
    if (!unzFile_)
        return false;
    if (!checkDirectory(path))
        return false;
    if (unzGoToFirstFile(handle(unzFile_)) != UNZ_OK)
        return true;  // an archive without entries: nothing to unpack
    uint64_t total = 0;
    while (true) {
        if (!extractCurrentEntry(path, overwrite, total))
            return false;
        const int rc = unzGoToNextFile(handle(unzFile_));
        if (rc == UNZ_END_OF_LIST_OF_FILE)
            return true;
        if (rc != UNZ_OK) {
            OutputErrorMessage("Cannot read the zip file's directory (error " + std::to_string(rc) +
                               ")");
            return false;
        }
    }
}

bool ZipArchive::checkDirectory(const std::string& destination) {
    unzFile file = handle(unzFile_);
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(file, &global) != UNZ_OK) {
        OutputErrorMessage("Cannot read the zip file's directory");
        return false;
    }
    const int first = unzGoToFirstFile(file);
    if (first != UNZ_OK) {
        if (global.number_entry == 0)
            return true;
        OutputErrorMessage("Failed: the zip file's directory is damaged (error " +
                           std::to_string(first) + ")");
        return false;
    }
    // The whole directory is read before anything is written: a refusal leaves no file behind.
    uint64_t count = 0;
    uint64_t declared = 0;
    std::vector<char> nameBuffer;
    while (true) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(file, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            OutputErrorMessage("Cannot read the zip file's directory");
            return false;
        }
        nameBuffer.assign(info.size_filename + 1, '\0');
        if (unzGetCurrentFileInfo64(file, &info, nameBuffer.data(),
                                    static_cast<uLong>(nameBuffer.size()), nullptr, 0, nullptr,
                                    0) != UNZ_OK) {
            OutputErrorMessage("Cannot read the zip file's directory");
            return false;
        }
        const std::string rawName(nameBuffer.data());
        if (++count > limits_.maxEntries)
            return refuse(rawName, "more than " + std::to_string(limits_.maxEntries) + " entries");
        if (std::string reason = entryNameProblem(rawName, info.size_filename, destination);
            !reason.empty())
            return refuse(rawName.substr(0, 256), reason);
        if (S_ISLNK(static_cast<mode_t>(info.external_fa >> 16)))
            return refuse(rawName, "symbolic link");
        declared += std::min<uint64_t>(info.uncompressed_size, limits_.maxTotalBytes + 1);
        if (declared > limits_.maxTotalBytes)
            return refuse(rawName,
                          "more than " + std::to_string(limits_.maxTotalBytes) + " bytes in all");
        const int rc = unzGoToNextFile(file);
        if (rc == UNZ_END_OF_LIST_OF_FILE)
            return true;
        if (rc != UNZ_OK) {
            OutputErrorMessage("Cannot read the zip file's directory (error " + std::to_string(rc) +
                               ")");
            return false;
        }
    }
}

bool ZipArchive::extractCurrentEntry(const std::string& destination, bool overwrite,
                                     uint64_t& total) {
    unzFile file = handle(unzFile_);
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(file, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        OutputErrorMessage("Error occurs while getting file info");
        return false;
    }
    std::vector<char> nameBuffer(info.size_filename + 1, '\0');
    std::vector<uint8_t> extra(info.size_file_extra);
    if (unzGetCurrentFileInfo64(file, &info, nameBuffer.data(),
                                static_cast<uLong>(nameBuffer.size()), extra.data(),
                                static_cast<uLong>(extra.size()), nullptr, 0) != UNZ_OK) {
        OutputErrorMessage("Error occurs while getting file info");
        return false;
    }
    const std::string rawName(nameBuffer.data());
    std::string name = rawName;
    const bool isFolder = !name.empty() && (name.back() == '/' || name.back() == '\\');
    for (char& c : name) {
        if (c == '\\')
            c = '/';
    }
    if (std::string reason = unsafeNameReason(name, info.size_filename); !reason.empty())
        return refuse(rawName, reason);
    if (S_ISLNK(static_cast<mode_t>(info.external_fa >> 16)))
        return refuse(rawName, "symbolic link");
    std::string relative = name;
    while (!relative.empty() && relative.back() == '/')
        relative.pop_back();
    const std::optional<fs::path> target = plat::Paths::joinSafely(destination, relative);
    if (!target)
        return refuse(rawName, "not a safe path");

    if (isFolder) {
        if (auto error = plat::Paths::createDirectories(*target, 0755))
            return failEntry(rawName, error->localizedDescription());
        return true;
    }
    if (info.uncompressed_size > limits_.maxTotalBytes - std::min(total, limits_.maxTotalBytes))
        return refuse(rawName,
                      "more than " + std::to_string(limits_.maxTotalBytes) + " bytes in all");
    const auto tooLarge = [&](uint64_t size) {
        return size > limits_.ratioFloorBytes && size / limits_.maxRatio >= info.compressed_size;
    };
    if (tooLarge(info.uncompressed_size))
        return refuse(rawName, "inflates to more than " + std::to_string(limits_.maxRatio) +
                                   " times its compressed size");

    // Open the entry raw; decrypt and inflate it here.
    std::unique_ptr<EntryReader> reader;
    const bool encrypted = info.flag & 1;
    const bool aesEntry = encrypted && info.compression_method == kAesMethod;
    int method = 0, level = 0;
    if (encrypted && (!password_ || password_->empty()))
        return failEntry(rawName, "encrypted, and no password was given");
    if (!aesEntry) {
        if (const int rc = unzOpenCurrentFile2(file, &method, &level, 1); rc != UNZ_OK)
            return failEntry(rawName, "cannot open the entry (error " + std::to_string(rc) + ")");
    }
    if (!encrypted) {
        auto plain = std::make_unique<UnencryptedReader>(file, info);
        if (!plain->start())
            return refuse(rawName, plain->error());
        reader = std::move(plain);
    } else if (aesEntry) {
        // minizip does not open AES entries at all: their data is read from the file directly.
        std::FILE* direct = openEntryData(zipPath_, unzGetOffset64(file));
        if (!direct)
            return failEntry(rawName, "cannot find the entry's data");
        const std::optional<AesField> aes = aesField(extra);
        const std::optional<uLong> crc =
            aes && aes->vendorVersion == 1 ? std::optional<uLong>(info.crc) : std::nullopt;
        auto aesReader = std::make_unique<ZipAesReader>(direct, aes ? aes->method : 0,
                                                        info.compressed_size, crc);
        if (!aes || !aesReader->start(*password_, aes->strength))
            return refuse(rawName, aes ? aesReader->error() : "bad AES field");
        reader = std::move(aesReader);
    } else {
        auto cryptoReader = std::make_unique<ZipCryptoReader>(file, info, *password_);
        if (!cryptoReader->start(info))
            return refuse(rawName, cryptoReader->error());
        reader = std::move(cryptoReader);
    }

    std::error_code ec;
    if (auto error = plat::Paths::createDirectories(target->parent_path(), 0755)) {
        reader->finish();
        return failEntry(rawName, error->localizedDescription());
    }
    if (fs::exists(fs::symlink_status(*target, ec)) && !overwrite && !OverWrite(target->string())) {
        reader->finish();
        return true;  // kept as it is
    }
    const int fd =
        ::open(target->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int openError = errno;
        reader->finish();
        return failEntry(rawName,
                         "cannot create " + target->string() + ": " + std::strerror(openError));
    }
    plat::FileHandle out(fd, *target);
    const auto fail = [&](const std::string& reason) {
        out.closeFile();
        fs::remove(*target, ec);
        return refuse(rawName, reason);
    };
    std::array<uint8_t, kChunk> buffer{};
    uint64_t written = 0;
    while (true) {
        const int n = reader->read(buffer.data(), buffer.size());
        if (n < 0) {
            OutputErrorMessage("Failed to reading zip file");
            return fail(reader->error());
        }
        if (n == 0)
            break;
        written += static_cast<uint64_t>(n);
        if (written > info.uncompressed_size)
            return fail("inflates past its declared size");
        if (auto error = out.writeData({buffer.data(), static_cast<size_t>(n)}))
            return fail("cannot write " + target->string() + ": " + error->localizedDescription());
    }
    if (written != info.uncompressed_size)
        return fail("size differs from the declared size");
    if (!reader->finish())
        return fail(reader->error());
    if (out.closeFile())
        return fail("cannot write " + target->string());
    total += written;
    if (info.dosDate != 0) {
        const time_t when = dosTime(info.dosDate);
        const struct timeval times[2] = {{when, 0}, {when, 0}};
        if (when == static_cast<time_t>(-1) || ::utimes(target->c_str(), times) != 0)
            VND_TRACE("Default", "Failed to set attributes");
    }
    return true;
}
