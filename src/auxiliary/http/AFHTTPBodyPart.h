#pragma once
// AFHTTPBodyPart: one part of a multipart body: its boundary line, its header lines, its body
// (bytes, a file or a caller's stream) and, for the last part, the closing boundary, produced in
// pieces by a small phase machine. A part delivers exactly the body length it announced: a body
// that cannot be opened or read, or that ends early, puts the part in error instead of sending a
// short body.
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/core/Error.h"
#include "platform/storage/InputStream.h"

inline constexpr const char* kAFMultipartFormBoundary = "Boundary+0xAbCdEfGbOuNdArY";
inline constexpr const char* kAFMultipartFormCRLF = "\r\n";
std::string AFMultipartFormInitialBoundary();
std::string AFMultipartFormEncapsulationBoundary();
std::string AFMultipartFormFinalBoundary();

class AFHTTPBodyPart {
  public:
    using Headers = std::vector<std::pair<std::string, std::string>>;
    using Body = std::variant<plat::Bytes, std::filesystem::path, Ref<plat::InputStream>>;
    enum Phase : int32_t {
        Initial = 0,
        EncapsulationBoundary = 1,
        Headers_ = 2,
        BodyPhase = 3,
        FinalBoundary = 4
    };

    AFHTTPBodyPart();
    ~AFHTTPBodyPart();
    AFHTTPBodyPart(const AFHTTPBodyPart&) = delete;
    AFHTTPBodyPart& operator=(const AFHTTPBodyPart&) = delete;

    uint64_t stringEncoding = 4;
    Headers headers;
    Body body;
    uint64_t bodyContentLength = 0;
    bool hasInitialBoundary = false;
    bool hasFinalBoundary = false;

    // Made once: over the bytes, reading the file, or the caller's stream itself.
    Ref<plat::InputStream> inputStream();
    std::string stringForHeaders() const;
    uint64_t contentLength() const;
    bool hasBytesAvailable();
    // Bytes delivered into the buffer (0 when the part has nothing now); -1 with error() set
    // when the body failed.
    int64_t read(uint8_t* buffer, size_t length);
    Ref<plat::Error> error() const { return error_; }
    Phase phase() const { return phase_; }

    // A fresh part over the same body; null when the body is a caller's stream (it can be read
    // only once).
    std::unique_ptr<AFHTTPBodyPart> copy() const;

  private:
    int64_t readData(const std::string& text, uint8_t* buffer, size_t length);
    bool transitionToNextPhase();
    std::string encoded(const std::string& text) const;
    void fail(Ref<plat::Error> error);

    Phase phase_ = Initial;
    uint64_t phaseReadOffset_ = 0;
    uint64_t bodyDelivered_ = 0;
    Ref<plat::InputStream> inputStream_;
    Ref<plat::Error> error_;
};
