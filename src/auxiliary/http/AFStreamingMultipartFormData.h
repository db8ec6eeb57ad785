#pragma once
// AFStreamingMultipartFormData: builds a "multipart/form-data" body part by part (form fields,
// bytes, files on disk, a caller's stream) and installs it on a copy of the request as a
// streamed body with its exact "Content-Type" and "Content-Length". AFMultipartFormData is what
// a body-building block may call.
#include <cstdint>
#include <optional>
#include <string>

#include "auxiliary/http/AFMultipartBodyStream.h"
#include "platform/net/Url.h"
#include "platform/net/UrlRequest.h"

inline constexpr uint64_t kAFUploadStream3GSuggestedPacketSize = 16384;
inline constexpr double kAFUploadStream3GSuggestedDelay = 0.2;

// The MIME type of a file-name extension; "application/octet-stream" when unknown.
std::string AFContentTypeForPathExtension(const std::string& extension);

class AFMultipartFormData {
  public:
    virtual ~AFMultipartFormData() = default;
    // False (with code -1000 in AFNetworkingErrorDomain) when the URL is not a file URL, the file
    // cannot be reached or its size cannot be read; nothing is appended then.
    virtual bool appendPartWithFileURL(const plat::Url& fileURL, const std::string& name,
                                       Ref<plat::Error>* error) = 0;
    virtual bool appendPartWithFileURL(const plat::Url& fileURL, const std::string& name,
                                       const std::string& fileName, const std::string& mimeType,
                                       Ref<plat::Error>* error) = 0;
    virtual void appendPartWithInputStream(const Ref<plat::InputStream>& inputStream,
                                           const std::string& name, const std::string& fileName,
                                           uint64_t length, const std::string& mimeType) = 0;
    virtual void appendPartWithFileData(const plat::Bytes& data, const std::string& name,
                                        const std::string& fileName,
                                        const std::string& mimeType) = 0;
    virtual void appendPartWithFormData(const plat::Bytes& data, const std::string& name) = 0;
    virtual void appendPartWithHeaders(const AFHTTPBodyPart::Headers& headers,
                                       const plat::Bytes& body) = 0;
    virtual void throttleBandwidthWithPacketSize(uint64_t numberOfBytes, double delay) = 0;
};

class AFStreamingMultipartFormData : public AFMultipartFormData {
  public:
    AFStreamingMultipartFormData(plat::UrlRequest request, uint64_t stringEncoding);

    bool appendPartWithFileURL(const plat::Url& fileURL, const std::string& name,
                               Ref<plat::Error>* error) override;
    bool appendPartWithFileURL(const plat::Url& fileURL, const std::string& name,
                               const std::string& fileName, const std::string& mimeType,
                               Ref<plat::Error>* error) override;
    void appendPartWithInputStream(const Ref<plat::InputStream>& inputStream,
                                   const std::string& name, const std::string& fileName,
                                   uint64_t length, const std::string& mimeType) override;
    void appendPartWithFileData(const plat::Bytes& data, const std::string& name,
                                const std::string& fileName, const std::string& mimeType) override;
    void appendPartWithFormData(const plat::Bytes& data, const std::string& name) override;
    void appendPartWithHeaders(const AFHTTPBodyPart::Headers& headers,
                               const plat::Bytes& body) override;
    void throttleBandwidthWithPacketSize(uint64_t numberOfBytes, double delay) override;

    // The request with the body (unchanged when no part was appended).
    plat::UrlRequest requestByFinalizingMultipartFormData();
    const Ref<AFMultipartBodyStream>& bodyStream() const { return bodyStream_; }

  private:
    void appendPart(AFHTTPBodyPart::Headers headers, AFHTTPBodyPart::Body body, uint64_t length);

    plat::UrlRequest request_;
    uint64_t stringEncoding_;
    Ref<AFMultipartBodyStream> bodyStream_;
};
