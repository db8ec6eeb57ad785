#include "demo-service/DemoImages.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "demo-service/DemoCovers.h"

namespace demo {
namespace {

using RouteReply = DemoService::RouteReply;

uint32_t crc32(const std::string& bytes) {
    return static_cast<uint32_t>(
        ::crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

void appendBigEndian(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

// A PNG signature and IHDR chunk announcing the size, and nothing else.
std::string pngHeaderOnly(uint32_t width, uint32_t height) {
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string chunk = "IHDR";
    appendBigEndian(chunk, width);
    appendBigEndian(chunk, height);
    chunk += std::string("\x08\x06\x00\x00\x00", 5);  // 8-bit RGBA, no interlace
    appendBigEndian(png, 13);
    png += chunk;
    appendBigEndian(png, crc32(chunk));
    return png;
}

struct DrawnImages {
    std::mutex mutex;
    std::map<std::string, std::string> bytes;

    std::string get(const std::string& name, int size, bool png) {
        const std::string key = name + (png ? ".png/" : ".jpg/") + std::to_string(size);
        std::lock_guard lock(mutex);
        auto it = bytes.find(key);
        if (it == bytes.end())
            it = bytes.emplace(key, demoDrawnImage(name, size, size, png)).first;
        return it->second;
    }
};

RouteReply reply(int status, std::string contentType, std::string body, const std::string& path) {
    RouteReply answer;
    answer.status = status;
    answer.contentType = std::move(contentType);
    answer.body = std::move(body);
    answer.headers.emplace_back("ETag", "\"" + path + "\"");
    return answer;
}

// "<name>" of "<dir>/<name>.<ext>" (the extension dropped).
std::string stem(const std::string& rest) {
    const size_t dot = rest.rfind('.');
    return dot == std::string::npos ? rest : rest.substr(0, dot);
}

int sizeFromQuery(const std::string& query) {
    const size_t at = query.find("size=");
    if (at == std::string::npos)
        return 48;
    const int size = std::atoi(query.c_str() + at + 5);
    return std::clamp(size, 1, 512);
}

}  // namespace

void registerImagePaths(DemoService& service) {
    auto drawn = std::make_shared<DrawnImages>();
    service.addRoute(
        "/images/", [drawn](const RecordedRequest& request) -> std::optional<RouteReply> {
            const std::string& path = request.path;
            const std::string rest = path.substr(std::string("/images/").size());
            const size_t slash = rest.find('/');
            if (slash == std::string::npos)
                return reply(404, "text/plain", "no such picture", path);
            const std::string kind = rest.substr(0, slash);
            std::string name = rest.substr(slash + 1);
            const int size = sizeFromQuery(request.query);
            if (kind == "png")
                return reply(200, "image/png", drawn->get(stem(name), size, true), path);
            if (kind == "jpeg")
                return reply(200, "image/jpeg", drawn->get(stem(name), size, false), path);
            if (kind == "webp")
                return reply(200, "image/webp",
                             "RIFF" + std::string(4, '\x1a') + "WEBPVP8L" + std::string(13, '\x2f'),
                             path);
            if (kind == "wrong-type")
                return reply(200, "text/plain", drawn->get(stem(name), size, true), path);
            if (kind == "empty")
                return reply(200, "image/png", "", path);
            if (kind == "slow") {
                const size_t next = name.find('/');
                const int ms = std::clamp(std::atoi(name.c_str()), 0, 5000);
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                name = next == std::string::npos ? name : name.substr(next + 1);
                return reply(200, "image/png", drawn->get(stem(name), size, true), path);
            }
            if (kind == "hostile") {
                if (name == "truncated.png") {
                    const std::string whole = drawn->get("truncated", 64, true);
                    return reply(200, "image/png", whole.substr(0, whole.size() / 2), path);
                }
                if (name == "truncated.jpg") {
                    const std::string whole = drawn->get("truncated", 64, false);
                    return reply(200, "image/jpeg", whole.substr(0, whole.size() / 2), path);
                }
                if (name == "huge.png")
                    return reply(200, "image/png", pngHeaderOnly(100000, 100000), path);
                if (name == "zero.png")
                    return reply(200, "image/png", std::string(4096, '\0'), path);
            }
            return reply(404, "text/plain", "no such picture", path);
        });
}

}  // namespace demo
