#pragma once
// plat::HttpUrlResponse: the head of an HTTP response: the URL it answers, the status code, the
// header fields (looked up without case), and what they tell of the body: its expected length
// (-1 when unknown), its MIME type and its text encoding name.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/net/HttpHeaderFields.h"
#include "platform/net/Url.h"

namespace plat {

class HttpUrlResponse {
  public:
    HttpUrlResponse() = default;
    // bodyDecoded: the connection removes a content coding, so the announced length is not the
    // length of the bytes delivered.
    HttpUrlResponse(Url url, int statusCode, HttpHeaderFields headerFields,
                    bool bodyDecoded = false);

    const Url& url() const { return url_; }
    int statusCode() const { return statusCode_; }
    const HttpHeaderFields& allHeaderFields() const { return headers_; }
    // The field's value; repeated fields are joined with ", ".
    std::optional<std::string> valueForHttpHeaderField(std::string_view name) const {
        return headers_.combined(name);
    }
    // "Content-Length" when it is a plain number, else -1.
    int64_t expectedContentLength() const { return expectedContentLength_; }
    // The lower-case "type/subtype" of "Content-Type"; empty when there is none.
    const std::string& mimeType() const { return mimeType_; }
    // The lower-case charset parameter of "Content-Type"; empty when there is none.
    const std::string& textEncodingName() const { return textEncodingName_; }

  private:
    Url url_;
    int statusCode_ = 0;
    HttpHeaderFields headers_;
    int64_t expectedContentLength_ = -1;
    std::string mimeType_;
    std::string textEncodingName_;
};

}  // namespace plat
