#include "platform/net/HttpMessage.h"

#include "platform/net/NetText.h"

namespace plat {
namespace {

using net_text::isTokenChar;

bool fail(std::string* reason, const char* text) {
    if (reason)
        *reason = text;
    return false;
}

}  // namespace

HttpMessage HttpMessage::request(std::string method, Url url, std::string version) {
    HttpMessage message;
    message.request_ = true;
    message.method_ = std::move(method);
    message.url_ = std::move(url);
    message.version_ = version == "HTTP/1.0" ? "HTTP/1.0" : "HTTP/1.1";
    message.complete_ = true;
    return message;
}

HttpMessage HttpMessage::emptyResponse() {
    return HttpMessage();
}

void HttpMessage::setHeaderFieldValue(std::string_view name, std::string_view value) {
    fields_.set(name, value);
}

std::string HttpMessage::canonicalFieldName(std::string_view name) {
    std::string out(name);
    bool startOfWord = true;
    for (char& c : out) {
        if (c >= 'a' && c <= 'z' && startOfWord)
            c = static_cast<char>(c - 32);
        else if (c >= 'A' && c <= 'Z' && !startOfWord)
            c = static_cast<char>(c + 32);
        startOfWord = c == '-';
    }
    return out;
}

bool HttpMessage::appendHeaderLine(std::string_view line, std::string* reason) {
    if (failed_ || request_)
        return fail(reason, "the message takes no more header lines");
    headBytes_ += line.size();
    if (headBytes_ > kMaxHeadBytes) {
        failed_ = true;
        return fail(reason, "the response head is longer than 64 KiB");
    }
    if (line.find('\0') != std::string_view::npos) {
        failed_ = true;
        return fail(reason, "a NUL byte in the response head");
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (line.find_first_of("\r\n") != std::string_view::npos) {
        failed_ = true;
        return fail(reason, "a bare CR or LF in the response head");
    }

    // A status line starts a head: the first one, or the next after an interim (1xx) head.
    if (statusLine_.empty() || (complete_ && statusCode_ >= 100 && statusCode_ < 200)) {
        const bool shape = line.size() >= 12 && line.substr(0, 5) == "HTTP/" &&
                           net_text::isDigit(line[5]) && line[6] == '.' &&
                           net_text::isDigit(line[7]) && line[8] == ' ' &&
                           net_text::isDigit(line[9]) && net_text::isDigit(line[10]) &&
                           net_text::isDigit(line[11]) && (line.size() == 12 || line[12] == ' ');
        if (!shape) {
            failed_ = true;
            return fail(reason, "a malformed status line");
        }
        statusLine_ = std::string(line);
        version_ = std::string(line.substr(0, 8));
        statusCode_ = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
        fields_ = HttpHeaderFields();
        raw_.clear();
        complete_ = false;
        return true;
    }
    if (complete_) {
        failed_ = true;
        return fail(reason, "a header line after the end of the head");
    }
    if (line.empty()) {
        complete_ = true;
        return true;
    }
    if (net_text::isSpaceOrTab(line.front())) {
        // An obsolete folded line continues the previous field.
        if (raw_.empty()) {
            failed_ = true;
            return fail(reason, "a continuation line before any header field");
        }
        raw_.back().second += " " + std::string(net_text::trim(line));
    } else {
        if (raw_.size() >= kMaxFields) {
            failed_ = true;
            return fail(reason, "more than 1,000 header fields");
        }
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            failed_ = true;
            return fail(reason, "a header line without a field name and colon");
        }
        const std::string_view name = line.substr(0, colon);
        for (char c : name) {
            if (!isTokenChar(c)) {
                failed_ = true;
                return fail(reason, "a header field name that is not a token");
            }
        }
        raw_.emplace_back(canonicalFieldName(name),
                          std::string(net_text::trim(line.substr(colon + 1))));
        if (raw_.back().first == "Content-Length" &&
            !net_text::isUsableContentLength(raw_.back().second)) {
            failed_ = true;
            return fail(reason, "an invalid or overflowing Content-Length");
        }
    }
    // The joined view is rebuilt for the field just touched.
    const std::string& name = raw_.back().first;
    std::string joined;
    bool first = true;
    for (const auto& [fieldName, value] : raw_) {
        if (fieldName != name)
            continue;
        joined += first ? value : ", " + value;
        first = false;
    }
    fields_.set(name, joined);
    return true;
}

}  // namespace plat
