#include "platform/net/HttpUrlResponse.h"

#include "platform/net/NetText.h"

namespace plat {
namespace {

int64_t parseContentLength(std::string_view text) {
    text = net_text::trim(text);
    if (text.empty() || text.size() > 18)
        return -1;
    int64_t length = 0;
    for (char c : text) {
        if (!net_text::isDigit(c))
            return -1;
        length = length * 10 + (c - '0');
    }
    return length;
}

}  // namespace

HttpUrlResponse::HttpUrlResponse(Url url, int statusCode, HttpHeaderFields headerFields,
                                 bool bodyDecoded)
    : url_(std::move(url)), statusCode_(statusCode), headers_(std::move(headerFields)) {
    if (!bodyDecoded) {
        // Differing repeated lengths make the length unknown.
        const auto lengths = headers_.values("Content-Length");
        if (!lengths.empty()) {
            expectedContentLength_ = parseContentLength(lengths.front());
            for (const auto& other : lengths) {
                if (parseContentLength(other) != expectedContentLength_) {
                    expectedContentLength_ = -1;
                }
            }
        }
    }
    if (auto type = headers_.first("Content-Type")) {
        std::string_view rest(*type);
        size_t semicolon = rest.find(';');
        mimeType_ = net_text::asciiLowercase(net_text::trim(rest.substr(0, semicolon)));
        while (semicolon != std::string_view::npos) {
            rest = rest.substr(semicolon + 1);
            semicolon = rest.find(';');
            const std::string_view parameter = net_text::trim(rest.substr(0, semicolon));
            const size_t eq = parameter.find('=');
            if (eq == std::string_view::npos ||
                !net_text::equalsIgnoringCase(net_text::trim(parameter.substr(0, eq)), "charset")) {
                continue;
            }
            std::string_view value = net_text::trim(parameter.substr(eq + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
                value = value.substr(1, value.size() - 2);
            }
            textEncodingName_ = net_text::asciiLowercase(value);
            break;
        }
    }
}

}  // namespace plat
