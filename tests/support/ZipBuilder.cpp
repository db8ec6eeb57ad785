#include "support/ZipBuilder.h"

#include <zip.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <tuple>
#include <vector>

#include "platform/crypto/ZipCipher.h"
#include "support/net/HostileReplies.h"

namespace testing_support {
namespace {

std::string rawDeflate(const std::string& data) {
    return net_test::compressedWith(data, -MAX_WBITS, 9);
}

uLong crcOf(const std::string& data) {
    return crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
}

std::span<uint8_t> bytesOf(std::string& s) {
    return {reinterpret_cast<uint8_t*>(s.data()), s.size()};
}

}  // namespace

ZipBuilder::ZipBuilder(const std::filesystem::path& path)
    : zip_(zipOpen64(path.c_str(), APPEND_STATUS_CREATE)), path_(path) {
    ok_ = zip_ != nullptr;
}

ZipBuilder::~ZipBuilder() {
    close();
}

bool ZipBuilder::close() {
    if (zip_) {
        ok_ = zipClose(static_cast<zipFile>(zip_), nullptr) == ZIP_OK && ok_;
        zip_ = nullptr;
        if (!aesNames_.empty())
            ok_ = markAesEntries() && ok_;
    }
    return ok_;
}

bool ZipBuilder::markAesEntries() {
    std::ifstream in(path_, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    int marked = 0;
    for (const auto& name : aesNames_) {
        // The local header (method at 8, name at 30) and the central one (method at 10, name
        // at 46).
        for (const auto& [signature, methodAt, nameAt] :
             {std::tuple{std::string("PK\x03\x04"), 8, 30},
              std::tuple{std::string("PK\x01\x02"), 10, 46}}) {
            for (size_t at = bytes.find(signature); at != std::string::npos;
                 at = bytes.find(signature, at + 1)) {
                if (bytes.compare(at + static_cast<size_t>(nameAt), name.size(), name) == 0) {
                    bytes[at + static_cast<size_t>(methodAt)] = 99;
                    bytes[at + static_cast<size_t>(methodAt) + 1] = 0;
                    ++marked;
                    break;
                }
            }
        }
    }
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes;
    return marked == static_cast<int>(2 * aesNames_.size());
}

bool ZipBuilder::addRaw(const std::string& name, const std::string& payload, int method,
                        uint64_t crc, uint64_t uncompressedSize, unsigned flag,
                        const std::string& extra, unsigned long externalAttributes) {
    if (!zip_)
        return ok_ = false;
    zip_fileinfo info{};
    info.dosDate = (44u << 25) | (3u << 21) | (2u << 16) | (10u << 11);  // 2024-03-02 10:00
    info.external_fa = externalAttributes;
    const uInt extraLength = static_cast<uInt>(extra.size());
    const void* extraData = extra.empty() ? nullptr : extra.data();
    int rc = zipOpenNewFileInZip4_64(static_cast<zipFile>(zip_), name.c_str(), &info, extraData,
                                     extraLength, extraData, extraLength, nullptr, method, 9, 1,
                                     -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0,
                                     3 << 8 /* made on Unix */, flag, 0);
    if (rc == ZIP_OK)
        rc = zipWriteInFileInZip(static_cast<zipFile>(zip_), payload.data(),
                                 static_cast<unsigned>(payload.size()));
    if (rc == ZIP_OK)
        rc = zipCloseFileInZipRaw64(static_cast<zipFile>(zip_), uncompressedSize,
                                    static_cast<uLong>(crc));
    return ok_ = ok_ && rc == ZIP_OK;
}

ZipBuilder& ZipBuilder::add(const std::string& name, const std::string& data, bool deflate) {
    addRaw(name, deflate ? rawDeflate(data) : data, deflate ? Z_DEFLATED : 0, crcOf(data),
           data.size(), 0, {}, 0100644ul << 16);
    return *this;
}

ZipBuilder& ZipBuilder::addSymlink(const std::string& name, const std::string& target) {
    addRaw(name, target, 0, crcOf(target), target.size(), 0, {}, 0120777ul << 16);
    return *this;
}

ZipBuilder& ZipBuilder::addWithWrongCrc(const std::string& name, const std::string& data) {
    addRaw(name, rawDeflate(data), Z_DEFLATED, crcOf(data) ^ 0x5A5A5A5Au, data.size(), 0, {},
           0100644ul << 16);
    return *this;
}

ZipBuilder& ZipBuilder::addWithDeclaredSize(const std::string& name, const std::string& data,
                                            uint64_t declaredSize) {
    addRaw(name, rawDeflate(data), Z_DEFLATED, crcOf(data.substr(0, declaredSize)), declaredSize, 0,
           {}, 0100644ul << 16);
    return *this;
}

ZipBuilder& ZipBuilder::addZipCrypto(const std::string& name, const std::string& data,
                                     const std::string& password, bool deflate) {
    const uLong crc = crcOf(data);
    std::string header = "0123456789A";
    header += static_cast<char>(crc >> 24);
    std::string body = deflate ? rawDeflate(data) : data;
    plat::ZipCryptoCipher cipher(password);
    cipher.encrypt(bytesOf(header));
    cipher.encrypt(bytesOf(body));
    addRaw(name, header + body, deflate ? Z_DEFLATED : 0, crc, data.size(), 1, {}, 0100644ul << 16);
    return *this;
}

ZipBuilder& ZipBuilder::addAes(const std::string& name, const std::string& data,
                               const std::string& password, int strength, bool deflate) {
    std::string salt(plat::ZipAesCipher::saltLength(strength), 's');
    auto cipher = plat::ZipAesCipher::make(
        password, strength, {reinterpret_cast<const uint8_t*>(salt.data()), salt.size()});
    if (!cipher) {
        ok_ = false;
        return *this;
    }
    std::string body = deflate ? rawDeflate(data) : data;
    cipher->crypt(bytesOf(body), true);
    const auto verifier = cipher->passwordVerifier();
    const auto auth = cipher->authCode();
    const std::string payload = salt + std::string(verifier.begin(), verifier.end()) + body +
                                std::string(auth.begin(), auth.end());
    const char actualMethod = deflate ? 8 : 0;
    const std::string extra = std::string(
                                  "\x01\x99\x07\x00\x02\x00"
                                  "AE",
                                  8) +
                              static_cast<char>(strength) + actualMethod + '\0';
    addRaw(name, payload, 0, 0, data.size(), 1, extra, 0100644ul << 16);
    aesNames_.push_back(name);
    return *this;
}

}  // namespace testing_support
