// Feeds arbitrary bytes to the parsers of what servers and scripts send the HTTP layer: response
// head lines, authentication challenges (also through a whole 401 head), and proxy lists
// answered by auto-configuration scripts. None may crash; a parsed head keeps its limits.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/net/HttpAuthentication.h"
#include "platform/net/HttpMessage.h"
#include "platform/net/ProxySettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    auto response = plat::HttpMessage::emptyResponse();
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size() - 1);
        std::string reason;
        if (!response.appendHeaderLine(text.substr(start, end - start + 1), &reason))
            break;
        start = end + 1;
    }
    if (response.rawFields().size() > plat::HttpMessage::kMaxFields)
        __builtin_trap();
    if (response.isFinalHeadComplete())
        plat::HttpAuthentication::fromResponse(response);

    plat::parseHttpChallenges(text);
    auto challenged = plat::HttpMessage::emptyResponse();
    challenged.appendHeaderLine("HTTP/1.1 401 Unauthorized\r\n", nullptr);
    challenged.appendHeaderLine("WWW-Authenticate: " + std::string(text.substr(0, 4096)) + "\r\n",
                                nullptr);
    challenged.appendHeaderLine("\r\n", nullptr);
    if (auto authentication = plat::HttpAuthentication::fromResponse(challenged)) {
        auto request = plat::HttpMessage::request("GET", *plat::Url::parse("http://h/p?q"));
        authentication->applyCredentials(request, {"user", "password", {}});
    }

    plat::ProxySettings::parsePacResult(text, *plat::Url::parse("https://h/"));
    return 0;
}
