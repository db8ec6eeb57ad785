#include "auxiliary/http/AFHTTPBodyPart.h"

#include <algorithm>
#include <cstring>

#include "external/AFHTTPRequestOperation.h"
#include "platform/net/TextEncoding.h"

std::string AFMultipartFormInitialBoundary() {
    return std::string("--") + kAFMultipartFormBoundary + kAFMultipartFormCRLF;
}

std::string AFMultipartFormEncapsulationBoundary() {
    return std::string(kAFMultipartFormCRLF) + "--" + kAFMultipartFormBoundary +
           kAFMultipartFormCRLF;
}

std::string AFMultipartFormFinalBoundary() {
    return std::string(kAFMultipartFormCRLF) + "--" + kAFMultipartFormBoundary + "--" +
           kAFMultipartFormCRLF;
}

AFHTTPBodyPart::AFHTTPBodyPart() {
    transitionToNextPhase();
}

AFHTTPBodyPart::~AFHTTPBodyPart() {
    if (inputStream_)
        inputStream_->close();
}

Ref<plat::InputStream> AFHTTPBodyPart::inputStream() {
    if (!inputStream_) {
        if (const auto* bytes = std::get_if<plat::Bytes>(&body)) {
            inputStream_ = plat::InputStream::inputStreamWithData(*bytes);
        } else if (const auto* path = std::get_if<std::filesystem::path>(&body)) {
            inputStream_ = plat::InputStream::inputStreamWithFileAtPath(*path);
        } else {
            inputStream_ = std::get<Ref<plat::InputStream>>(body);
        }
    }
    return inputStream_;
}

std::string AFHTTPBodyPart::encoded(const std::string& text) const {
    return plat::TextEncoding::encode(text, static_cast<plat::StringEncoding>(stringEncoding))
        .value_or(text);
}

std::string AFHTTPBodyPart::stringForHeaders() const {
    std::string text;
    for (const auto& [name, value] : headers)
        text += name + ": " + value + kAFMultipartFormCRLF;
    return encoded(text + kAFMultipartFormCRLF);
}

uint64_t AFHTTPBodyPart::contentLength() const {
    const std::string first = hasInitialBoundary ? AFMultipartFormInitialBoundary()
                                                 : AFMultipartFormEncapsulationBoundary();
    uint64_t length = encoded(first).size() + stringForHeaders().size() + bodyContentLength;
    if (hasFinalBoundary)
        length += encoded(AFMultipartFormFinalBoundary()).size();
    return length;
}

bool AFHTTPBodyPart::hasBytesAvailable() {
    if (error_)
        return false;
    if (phase_ == FinalBoundary)
        return true;
    const auto stream = inputStream();
    switch (stream ? stream->streamStatus() : plat::Stream::Status::Error) {
        case plat::Stream::Status::NotOpen:
        case plat::Stream::Status::Opening:
        case plat::Stream::Status::Open:
        case plat::Stream::Status::Reading:
        case plat::Stream::Status::Writing:
            return true;
        default:
            return false;
    }
}

void AFHTTPBodyPart::fail(Ref<plat::Error> error) {
    if (!error_)
        error_ = std::move(error);
    if (inputStream_)
        inputStream_->close();
}

int64_t AFHTTPBodyPart::read(uint8_t* buffer, size_t length) {
    if (error_)
        return -1;
    size_t total = 0;
    if (phase_ == EncapsulationBoundary) {
        const std::string text =
            encoded(hasInitialBoundary ? AFMultipartFormInitialBoundary()
                                       : AFMultipartFormEncapsulationBoundary());
        total += static_cast<size_t>(readData(text, buffer + total, length - total));
    }
    if (phase_ == Headers_)
        total += static_cast<size_t>(readData(stringForHeaders(), buffer + total, length - total));
    if (phase_ == BodyPhase) {
        const auto stream = inputStream();
        const uint64_t left = bodyContentLength - bodyDelivered_;
        const size_t room = static_cast<size_t>(std::min<uint64_t>(length - total, left));
        if (left > 0 && room > 0 && stream->hasBytesAvailable()) {
            const int64_t n = stream->read(buffer + total, room);
            if (n < 0) {
                // A failed read never counts as body bytes.
                fail(stream->streamError()
                         ? stream->streamError()
                         : plat::Error::withDescription(AFNetworkingErrorDomain, -1000,
                                                        "A part's body could not be read."));
                return -1;
            }
            total += static_cast<size_t>(n);
            bodyDelivered_ += static_cast<uint64_t>(n);
        }
        if (bodyDelivered_ == bodyContentLength) {
            transitionToNextPhase();
        } else if (!stream->hasBytesAvailable()) {
            fail(stream->streamError()
                     ? stream->streamError()
                     : plat::Error::withDescription(
                           AFNetworkingErrorDomain, -1000,
                           "A part's body ended after " + std::to_string(bodyDelivered_) +
                               " of the " + std::to_string(bodyContentLength) +
                               " bytes announced."));
            return -1;
        }
    }
    if (phase_ == FinalBoundary) {
        const std::string text = hasFinalBoundary ? encoded(AFMultipartFormFinalBoundary()) : "";
        total += static_cast<size_t>(readData(text, buffer + total, length - total));
    }
    return static_cast<int64_t>(total);
}

int64_t AFHTTPBodyPart::readData(const std::string& text, uint8_t* buffer, size_t length) {
    const size_t offset = static_cast<size_t>(std::min<uint64_t>(phaseReadOffset_, text.size()));
    const size_t n = std::min(text.size() - offset, length);
    if (n > 0)
        std::memcpy(buffer, text.data() + offset, n);
    phaseReadOffset_ += n;
    if (phaseReadOffset_ >= text.size())
        transitionToNextPhase();
    return static_cast<int64_t>(n);
}

bool AFHTTPBodyPart::transitionToNextPhase() {
    // On the reading thread: nothing here needs the main thread.
    switch (phase_) {
        case Initial:
            phase_ = EncapsulationBoundary;
            break;
        case EncapsulationBoundary:
            phase_ = Headers_;
            break;
        case Headers_: {
            const auto stream = inputStream();
            if (stream->streamStatus() == plat::Stream::Status::NotOpen && !stream->open()) {
                fail(stream->streamError()
                         ? stream->streamError()
                         : plat::Error::withDescription(AFNetworkingErrorDomain, -1000,
                                                        "A part's body could not be opened."));
            }
            phase_ = BodyPhase;
            break;
        }
        case BodyPhase:
            if (inputStream_)
                inputStream_->close();
            phase_ = FinalBoundary;
            break;
        case FinalBoundary:
            phase_ = EncapsulationBoundary;
            break;
    }
    phaseReadOffset_ = 0;
    return true;
}

std::unique_ptr<AFHTTPBodyPart> AFHTTPBodyPart::copy() const {
    if (std::holds_alternative<Ref<plat::InputStream>>(body))
        return nullptr;
    auto part = std::make_unique<AFHTTPBodyPart>();
    part->stringEncoding = stringEncoding;
    part->headers = headers;
    part->bodyContentLength = bodyContentLength;
    part->body = body;
    return part;
}
