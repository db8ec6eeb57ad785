#pragma once
// Writes zip files for tests through minizip: plain entries with any name, symbolic links,
// entries with a wrong CRC or a declared size smaller than their data, and entries encrypted
// with the traditional cipher or WinZip AES.
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

class ZipBuilder {
  public:
    explicit ZipBuilder(const std::filesystem::path& path);
    ~ZipBuilder();
    ZipBuilder(const ZipBuilder&) = delete;
    ZipBuilder& operator=(const ZipBuilder&) = delete;

    ZipBuilder& add(const std::string& name, const std::string& data, bool deflate = true);
    ZipBuilder& addSymlink(const std::string& name, const std::string& target);
    ZipBuilder& addWithWrongCrc(const std::string& name, const std::string& data);
    // Deflated data whose header claims `declaredSize` bytes (and their CRC).
    ZipBuilder& addWithDeclaredSize(const std::string& name, const std::string& data,
                                    uint64_t declaredSize);
    ZipBuilder& addZipCrypto(const std::string& name, const std::string& data,
                             const std::string& password, bool deflate = true);
    // AE-2 with strength 1-3.
    ZipBuilder& addAes(const std::string& name, const std::string& data,
                       const std::string& password, int strength = 3, bool deflate = true);
    // Writes the central directory; true when all went well.
    bool close();

  private:
    bool markAesEntries();
    bool addRaw(const std::string& name, const std::string& payload, int method, uint64_t crc,
                uint64_t uncompressedSize, unsigned flag, const std::string& extra,
                unsigned long externalAttributes);
    void* zip_ = nullptr;
    bool ok_ = true;
    std::filesystem::path path_;
    // Entries whose method field becomes 99 (AES) once the file is written: minizip writes only
    // stored and deflated entries.
    std::vector<std::string> aesNames_;
};

}  // namespace testing_support
