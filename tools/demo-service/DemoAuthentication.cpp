#include "demo-service/DemoAuthentication.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace demo {
namespace {

std::string hexDigest(const EVP_MD* md, const std::string& text) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), out, &length, md, nullptr);
    static const char* kHex = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[out[i] >> 4];
        hex += kHex[out[i] & 15];
    }
    return hex;
}

std::string base64Of(const std::string& text) {
    std::string out(4 * ((text.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

// The name="value" and name=value pairs after "Digest ".
std::map<std::string, std::string> digestFields(const std::string& header) {
    std::map<std::string, std::string> fields;
    size_t i = header.find(' ');
    while (i != std::string::npos && i < header.size()) {
        while (i < header.size() && (header[i] == ' ' || header[i] == ','))
            ++i;
        const size_t equals = header.find('=', i);
        if (equals == std::string::npos)
            break;
        const std::string name = header.substr(i, equals - i);
        std::string value;
        i = equals + 1;
        if (i < header.size() && header[i] == '"') {
            ++i;
            while (i < header.size() && header[i] != '"') {
                if (header[i] == '\\' && i + 1 < header.size())
                    ++i;
                value += header[i++];
            }
            ++i;
        } else {
            const size_t end = std::min(header.find(',', i), header.size());
            value = header.substr(i, end - i);
            i = end;
        }
        fields[name] = value;
    }
    return fields;
}

struct NonceBook {
    std::mutex mutex;
    std::map<std::string, int> uses;  // issued nonces and the requests made with them
    std::string issue() {
        unsigned char bytes[12];
        RAND_bytes(bytes, sizeof bytes);
        std::string nonce = base64Of(std::string(reinterpret_cast<char*>(bytes), sizeof bytes));
        std::lock_guard lock(mutex);
        uses[nonce] = 0;
        return nonce;
    }
};

using RouteReply = DemoService::RouteReply;

RouteReply challenge(std::vector<std::string> values) {
    RouteReply reply;
    reply.status = 401;
    reply.body = "authentication needed";
    for (auto& value : values)
        reply.headers.emplace_back("WWW-Authenticate", std::move(value));
    return reply;
}

RouteReply hello() {
    RouteReply reply;
    reply.body = std::string("hello ") + kDemoAuthUser;
    return reply;
}

}  // namespace

void registerAuthenticationPaths(DemoService& service) {
    auto nonces = std::make_shared<NonceBook>();
    const std::string realm = kDemoAuthRealm;

    service.addRoute("/auth/basic/", [realm](const RecordedRequest& request) {
        const std::string expected =
            "Basic " + base64Of(std::string(kDemoAuthUser) + ":" + kDemoAuthPassword);
        if (request.header("Authorization") == expected)
            return std::optional(hello());
        return std::optional(challenge({"Basic realm=\"" + realm + "\", charset=\"UTF-8\""}));
    });

    // Digest: `algorithm` names the hash; `staleAfterOne` makes each nonce good for one request.
    auto digest = [nonces, realm](const EVP_MD* md, const std::string& algorithm,
                                  bool staleAfterOne, std::vector<std::string> others) {
        return [=](const RecordedRequest& request) -> std::optional<RouteReply> {
            auto offer = [&](bool stale) {
                std::vector<std::string> values = others;
                values.insert(values.begin(),
                              "Digest realm=\"" + realm + "\", qop=\"auth,auth-int\", algorithm=" +
                                  algorithm + ", nonce=\"" + nonces->issue() +
                                  "\", opaque=\"demo-opaque\"" + (stale ? ", stale=true" : ""));
                return challenge(values);
            };
            const std::string header = request.header("Authorization");
            if (header.rfind("Digest ", 0) != 0)
                return offer(false);
            auto fields = digestFields(header);
            int uses = -1;
            {
                std::lock_guard lock(nonces->mutex);
                auto it = nonces->uses.find(fields["nonce"]);
                if (it != nonces->uses.end())
                    uses = it->second++;
            }
            std::string uri = request.path + (request.query.empty() ? "" : "?" + request.query);
            const std::string ha1 =
                hexDigest(md, std::string(kDemoAuthUser) + ":" + realm + ":" + kDemoAuthPassword);
            const std::string ha2 = hexDigest(md, request.method + ":" + uri);
            const std::string expected =
                hexDigest(md, ha1 + ":" + fields["nonce"] + ":" + fields["nc"] + ":" +
                                  fields["cnonce"] + ":auth:" + ha2);
            const bool right = fields["username"] == kDemoAuthUser && fields["uri"] == uri &&
                               fields["qop"] == "auth" && fields["response"] == expected &&
                               fields["opaque"] == "demo-opaque";
            if (!right || uses < 0)
                return offer(false);
            if (staleAfterOne && uses > 0)
                return offer(true);
            return hello();
        };
    };
    service.addRoute("/auth/digest-md5/", digest(EVP_md5(), "MD5", false, {}));
    service.addRoute("/auth/digest-sha256/", digest(EVP_sha256(), "SHA-256", false,
                                                    {"Basic realm=\"" + realm + "\"",
                                                     "Digest realm=\"" + realm +
                                                         "\", qop=\"auth\", algorithm=MD5, "
                                                         "nonce=\"unused\""}));
    service.addRoute("/auth/digest-stale/", digest(EVP_md5(), "MD5", true, {}));
    service.addRoute("/auth/ntlm/", [](const RecordedRequest&) {
        return std::optional(challenge({"NTLM", "Negotiate"}));
    });
    service.addRoute("/auth/malformed/", [](const RecordedRequest&) {
        return std::optional(challenge({"Digest realm=\"x\", nonce=\"unterminated"}));
    });
}

}  // namespace demo
