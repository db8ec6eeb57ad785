#include "demo-service/DemoHttpClientRoutes.h"

#include <cctype>
#include <map>
#include <memory>
#include <mutex>

#include <nlohmann/json.hpp>

namespace demo {
namespace {

using RouteReply = DemoService::RouteReply;

std::string percentDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else if (text[i] == '+') {
            out += ' ';
        } else {
            out += text[i];
        }
    }
    return out;
}

std::map<std::string, std::string> queryParameters(const std::string& query) {
    std::map<std::string, std::string> parameters;
    size_t start = 0;
    while (start <= query.size()) {
        const size_t amp = std::min(query.find('&', start), query.size());
        const std::string item = query.substr(start, amp - start);
        const size_t equals = item.find('=');
        if (!item.empty()) {
            parameters[percentDecode(item.substr(0, equals))] =
                equals == std::string::npos ? "" : percentDecode(item.substr(equals + 1));
        }
        start = amp + 1;
    }
    return parameters;
}

RouteReply clientJsonReply(int status, const nlohmann::json& body) {
    RouteReply reply;
    reply.status = status;
    reply.contentType = "application/json";
    reply.body = body.dump();
    return reply;
}

struct Shortener {
    std::mutex mutex;
    std::map<std::string, std::string> longUrls;  // code -> long URL
};

}  // namespace

void registerHttpClientRoutes(DemoService& service) {
    service.addRoute("/echo", [](const RecordedRequest& request) -> std::optional<RouteReply> {
        RouteReply reply;
        reply.contentType = request.header("Content-Type").empty() ? "application/octet-stream"
                                                                   : request.header("Content-Type");
        reply.body = request.body;
        nlohmann::json headers = nlohmann::json::object();
        for (const auto& [name, value] : request.headers) {
            std::string lower = name;
            for (char& c : lower)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            headers[lower] = value;
        }
        reply.headers.emplace_back("X-Echo-Method", request.method);
        reply.headers.emplace_back("X-Echo-Query", request.query);
        reply.headers.emplace_back("X-Echo-Headers", headers.dump());
        return reply;
    });
    service.addRoute("/reply", [](const RecordedRequest& request) -> std::optional<RouteReply> {
        auto parameters = queryParameters(request.query);
        RouteReply reply;
        reply.status = parameters.count("status") ? std::atoi(parameters["status"].c_str()) : 200;
        if (reply.status < 100 || reply.status > 599)
            reply.status = 200;
        reply.contentType = parameters.count("type") ? parameters["type"] : "";
        reply.body = parameters["body"];
        return reply;
    });
    service.addRoute("/cached/", [](const RecordedRequest& request) -> std::optional<RouteReply> {
        auto parameters = queryParameters(request.query);
        RouteReply reply;
        reply.contentType = "text/plain";
        reply.status = parameters.count("status") ? std::atoi(parameters["status"].c_str()) : 200;
        if (reply.status < 100 || reply.status > 599)
            reply.status = 200;
        const std::string etag = parameters.count("etag") ? parameters["etag"] : "\"v1\"";
        const std::string modified =
            parameters.count("lm") ? parameters["lm"] : "Sat, 05 Dec 2026 10:00:00 GMT";
        reply.headers.emplace_back("ETag", etag);
        reply.headers.emplace_back("Last-Modified", modified);
        for (const auto& [key, name] :
             {std::pair{"cc", "Cache-Control"}, std::pair{"expires", "Expires"},
              std::pair{"pragma", "Pragma"}}) {
            if (parameters.count(key))
                reply.headers.emplace_back(name, parameters[key]);
        }
        if (request.header("If-None-Match") == etag ||
            request.header("If-Modified-Since") == modified) {
            reply.status = 304;
            return reply;
        }
        reply.body = parameters.count("body") ? parameters["body"] : "cached " + request.path;
        return reply;
    });
    service.addRoute("/discard", [](const RecordedRequest& request) -> std::optional<RouteReply> {
        return clientJsonReply(200, {{"received", request.body.size()}});
    });
    auto shortener = std::make_shared<Shortener>();
    service.addRoute(
        "/bitly/", [shortener](const RecordedRequest& request) -> std::optional<RouteReply> {
            auto parameters = queryParameters(request.query);
            if (parameters["version"] != "2.0.1" || parameters["apiKey"].empty())
                return clientJsonReply(200, {{"statusCode", "INVALID_APIKEY"}});
            if (parameters["login"] == "status-302") {
                RouteReply moved = clientJsonReply(302, {{"statusCode", "OK"}});
                moved.headers.emplace_back("Location", "/elsewhere");
                return moved;
            }
            if (parameters["login"] == "status-500")
                return clientJsonReply(500, {{"statusCode", "OK"}});
            std::lock_guard lock(shortener->mutex);
            if (request.path == "/bitly/shorten") {
                // The key is the long URL as the client escaped it once (the query is decoded
                // here).
                const std::string escapedOnce = parameters["longUrl"];
                const std::string code = "v" + std::to_string(shortener->longUrls.size() + 1);
                shortener->longUrls[code] = percentDecode(escapedOnce);
                return clientJsonReply(
                    200, {{"statusCode", "OK"},
                          {"results", {{escapedOnce, {{"shortUrl", "http://vn.el/" + code}}}}}});
            }
            if (request.path == "/bitly/expand") {
                const std::string shortUrl = parameters["shortUrl"];
                const std::string code = shortUrl.substr(shortUrl.rfind('/') + 1);
                const auto it = shortener->longUrls.find(code);
                if (it == shortener->longUrls.end())
                    return clientJsonReply(
                        200, {{"statusCode", "OK"}, {"results", nlohmann::json::object()}});
                return clientJsonReply(
                    200, {{"statusCode", "OK"}, {"results", {{code, {{"longUrl", it->second}}}}}});
            }
            return std::nullopt;
        });
}

}  // namespace demo
