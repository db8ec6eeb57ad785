#pragma once
// plat::HttpMessage: the head of an HTTP request or response as the request engine sees it.
// - A request: method, URL, version ("HTTP/1.1" or "HTTP/1.0"), header fields set by name (a
//   later value replaces an earlier one) and an optional body.
// - A response: built line by line from the wire (appendHeaderLine), checked as it grows: a
//   status line "HTTP/<d>.<d> <3 digits>[ reason]", fields "Name: value" with a token name and
//   no NUL, at most kMaxHeadBytes and kMaxFields in all. Interim (1xx) heads are dropped when the
//   next starts. Field names are canonicalised ("ETag" -> "Etag", "content-length" ->
//   "Content-Length"); repeated fields are joined with ", " (lookups ignore case), and the raw list
//   is kept for Set-Cookie.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Value.h"
#include "platform/net/HttpHeaderFields.h"
#include "platform/net/Url.h"

namespace plat {

class HttpAuthentication;

class HttpMessage {
  public:
    static constexpr size_t kMaxHeadBytes = 64 * 1024;
    static constexpr size_t kMaxFields = 1000;

    static HttpMessage request(std::string method, Url url, std::string version = "HTTP/1.1");
    static HttpMessage emptyResponse();

    bool isRequest() const { return request_; }
    const std::string& method() const { return method_; }
    const Url& url() const { return url_; }
    void setUrl(Url url) { url_ = std::move(url); }
    const std::string& version() const { return version_; }
    int statusCode() const { return statusCode_; }
    // The whole first line of a response, without its line end.
    const std::string& statusLine() const { return statusLine_; }
    bool isHeaderComplete() const { return complete_; }

    // Requests: sets (or, with an empty value, still sets) a field.
    void setHeaderFieldValue(std::string_view name, std::string_view value);
    std::optional<std::string> headerFieldValue(std::string_view name) const {
        return fields_.first(name);
    }
    const HttpHeaderFields& allHeaderFields() const { return fields_; }
    // Every field as received, repeats apart, in order (responses).
    const std::vector<HttpHeaderFields::Field>& rawFields() const { return raw_; }

    const Bytes& body() const { return body_; }
    void setBody(Bytes body) { body_ = std::move(body); }

    // Responses: one line of the head, with or without its CR LF; an empty line ends the head.
    // False, with a reason, when the line breaks the rules above; the message is then unusable.
    bool appendHeaderLine(std::string_view line, std::string* reason);
    // A final (not 1xx) head ended.
    bool isFinalHeadComplete() const {
        return complete_ && (statusCode_ < 100 || statusCode_ >= 200);
    }

    // The authentication object whose credentials this request carries (server or proxy), so
    // that the read stream can tell it whether they were accepted.
    void setAppliedAuthentication(std::weak_ptr<HttpAuthentication> authentication, bool proxy) {
        (proxy ? proxyAuthentication_ : authentication_) = std::move(authentication);
    }
    std::shared_ptr<HttpAuthentication> appliedAuthentication(bool proxy) const {
        return (proxy ? proxyAuthentication_ : authentication_).lock();
    }

    // "ETag" -> "Etag", "x-api-key" -> "X-Api-Key".
    static std::string canonicalFieldName(std::string_view name);

  private:
    HttpMessage() = default;

    bool request_ = false;
    std::string method_;
    Url url_;
    std::string version_ = "HTTP/1.1";
    int statusCode_ = 0;
    std::string statusLine_;
    HttpHeaderFields fields_;
    std::vector<HttpHeaderFields::Field> raw_;
    Bytes body_;
    std::weak_ptr<HttpAuthentication> authentication_, proxyAuthentication_;
    bool complete_ = false;
    bool failed_ = false;
    size_t headBytes_ = 0;
};

}  // namespace plat
