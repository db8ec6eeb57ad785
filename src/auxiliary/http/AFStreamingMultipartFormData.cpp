#include "auxiliary/http/AFStreamingMultipartFormData.h"

#include <system_error>

#include "external/AFHTTPRequestOperation.h"
#include "platform/core/Collections.h"
#include "platform/net/TextEncoding.h"

namespace {

constexpr const char* NSLocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";

Ref<plat::Error> fileError(const std::string& reason) {
    return plat::Error::make(
        AFNetworkingErrorDomain, -1000,
        plat::makeDictionary(
            {{plat::Value(NSLocalizedFailureReasonErrorKey), plat::Value(reason)},
             {plat::Value(plat::NSLocalizedDescriptionKey), plat::Value(reason)}}));
}

AFHTTPBodyPart::Headers fileHeaders(const std::string& name, const std::string& fileName,
                                    const std::string& mimeType) {
    return {
        {"Content-Disposition", "form-data; name=\"" + name + "\"; filename=\"" + fileName + "\""},
        {"Content-Type", mimeType}};
}

std::string lastPathComponent(const std::string& path) {
    std::string_view trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.remove_suffix(1);
    return std::string(trimmed.substr(trimmed.rfind('/') + 1));
}

std::string pathExtension(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? "" : name.substr(dot + 1);
}

}  // namespace

std::string AFContentTypeForPathExtension(const std::string& extension) {
    return plat::mimeTypeForPathExtension(extension);
}

AFStreamingMultipartFormData::AFStreamingMultipartFormData(plat::UrlRequest request,
                                                           uint64_t stringEncoding)
    : request_(std::move(request)),
      stringEncoding_(stringEncoding),
      bodyStream_(AFMultipartBodyStream::make(stringEncoding)) {}

bool AFStreamingMultipartFormData::appendPartWithFileURL(const plat::Url& fileURL,
                                                         const std::string& name,
                                                         Ref<plat::Error>* error) {
    const std::string fileName =
        lastPathComponent(plat::Url::percentDecode(fileURL.path()).value_or(fileURL.path()));
    return appendPartWithFileURL(fileURL, name, fileName,
                                 AFContentTypeForPathExtension(pathExtension(fileName)), error);
}

bool AFStreamingMultipartFormData::appendPartWithFileURL(const plat::Url& fileURL,
                                                         const std::string& name,
                                                         const std::string& fileName,
                                                         const std::string& mimeType,
                                                         Ref<plat::Error>* error) {
    auto refuse = [&](const std::string& reason) {
        if (error)
            *error = fileError(reason);
        return false;
    };
    if (fileURL.scheme() != "file")
        return refuse("Expected URL to be a file URL");
    const std::string path = plat::Url::percentDecode(fileURL.path()).value_or(fileURL.path());
    std::error_code code;
    if (!std::filesystem::exists(path, code))
        return refuse("File URL not reachable.");
    const auto size = std::filesystem::file_size(path, code);
    if (code)
        return refuse("The file's size could not be read.");
    appendPart(fileHeaders(name, fileName, mimeType), std::filesystem::path(path), size);
    return true;
}

void AFStreamingMultipartFormData::appendPartWithInputStream(
    const Ref<plat::InputStream>& inputStream, const std::string& name, const std::string& fileName,
    uint64_t length, const std::string& mimeType) {
    appendPart(fileHeaders(name, fileName, mimeType), inputStream, length);
}

void AFStreamingMultipartFormData::appendPartWithFileData(const plat::Bytes& data,
                                                          const std::string& name,
                                                          const std::string& fileName,
                                                          const std::string& mimeType) {
    appendPartWithHeaders(fileHeaders(name, fileName, mimeType), data);
}

void AFStreamingMultipartFormData::appendPartWithFormData(const plat::Bytes& data,
                                                          const std::string& name) {
    appendPartWithHeaders({{"Content-Disposition", "form-data; name=\"" + name + "\""}}, data);
}

void AFStreamingMultipartFormData::appendPartWithHeaders(const AFHTTPBodyPart::Headers& headers,
                                                         const plat::Bytes& body) {
    appendPart(headers, body, body.size());
}

void AFStreamingMultipartFormData::appendPart(AFHTTPBodyPart::Headers headers,
                                              AFHTTPBodyPart::Body body, uint64_t length) {
    auto part = std::make_unique<AFHTTPBodyPart>();
    part->stringEncoding = stringEncoding_;
    part->headers = std::move(headers);
    part->body = std::move(body);
    part->bodyContentLength = length;
    bodyStream_->appendHTTPBodyPart(std::move(part));
}

void AFStreamingMultipartFormData::throttleBandwidthWithPacketSize(uint64_t numberOfBytes,
                                                                   double delay) {
    bodyStream_->numberOfBytesInPacket = numberOfBytes;
    bodyStream_->delay = delay;
}

plat::UrlRequest AFStreamingMultipartFormData::requestByFinalizingMultipartFormData() {
    if (bodyStream_->isEmpty())
        return request_;
    bodyStream_->setInitialAndFinalBoundaries();
    request_.setValueForHttpHeaderField(
        std::string("multipart/form-data; boundary=") + kAFMultipartFormBoundary, "Content-Type");
    request_.setValueForHttpHeaderField(std::to_string(bodyStream_->contentLength()),
                                        "Content-Length");
    request_.setHttpBodyStream(bodyStream_);
    return request_;
}
