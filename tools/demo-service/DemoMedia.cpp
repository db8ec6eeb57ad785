#include "demo-service/DemoMedia.h"

#include <QColor>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

#include "demo-service/DemoCovers.h"
#include "demo-service/DemoService.h"

namespace demo {

using Json = nlohmann::json;

namespace {

bool hasSuffix(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string clipVideo() {
    constexpr int kWidth = 160, kHeight = 120;
    std::string out = "YUV4MPEG2 W160 H120 F10:1 Ip A1:1 C420jpeg\n";
    for (int frame = 0; frame < kDemoClipFrames; ++frame) {
        const DemoColour c = demoClipColour(frame);
        // Full-range BT.601, as "C420jpeg" says.
        const double y = 0.299 * c.red + 0.587 * c.green + 0.114 * c.blue;
        const double u = 128 - 0.168736 * c.red - 0.331264 * c.green + 0.5 * c.blue;
        const double v = 128 + 0.5 * c.red - 0.418688 * c.green - 0.081312 * c.blue;
        auto byte = [](double value) {
            return static_cast<char>(std::lround(std::clamp(value, 0.0, 255.0)));
        };
        out += "FRAME\n";
        out.append(kWidth * kHeight, byte(y));
        out.append(kWidth * kHeight / 4, byte(u));
        out.append(kWidth * kHeight / 4, byte(v));
    }
    return out;
}

void appendLittleEndian(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

std::string toneHeader(uint32_t samples) {
    constexpr uint32_t kRate = 22050;
    std::string out = "RIFF";
    appendLittleEndian(out, 36 + samples * 2, 4);
    out += "WAVEfmt ";
    appendLittleEndian(out, 16, 4);
    appendLittleEndian(out, 1, 2);  // PCM
    appendLittleEndian(out, 1, 2);  // mono
    appendLittleEndian(out, kRate, 4);
    appendLittleEndian(out, kRate * 2, 4);
    appendLittleEndian(out, 2, 2);
    appendLittleEndian(out, 16, 2);
    out += "data";
    appendLittleEndian(out, samples * 2, 4);
    return out;
}

std::string tone() {
    constexpr uint32_t kSamples = 22050;
    std::string out = toneHeader(kSamples);
    for (uint32_t i = 0; i < kSamples; ++i) {
        const double value = 0.3 * 32767 * std::sin(2 * M_PI * 440 * i / 22050.0);
        appendLittleEndian(out, static_cast<uint32_t>(static_cast<int16_t>(std::lround(value))), 2);
    }
    return out;
}

// "<name>_<w>x<h>" with both sides in 1 to 4,096.
std::optional<std::pair<int, int>> sizeSuffix(const std::string& id) {
    const size_t underscore = id.rfind('_');
    const size_t x = id.rfind('x');
    if (underscore == std::string::npos || x == std::string::npos || x < underscore + 2 ||
        x + 1 >= id.size())
        return std::nullopt;
    auto number = [](const std::string& digits) -> int {
        if (digits.empty() || digits.size() > 4 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return 0;
        return std::stoi(digits);
    };
    const int width = number(id.substr(underscore + 1, x - underscore - 1));
    const int height = number(id.substr(x + 1));
    if (width < 1 || height < 1 || width > 4096 || height > 4096)
        return std::nullopt;
    return std::pair{width, height};
}

}  // namespace

DemoColour demoClipColour(int frame) {
    const QColor colour = QColor::fromHsv((frame * 18) % 360, 200, 220);
    return {colour.red(), colour.green(), colour.blue()};
}

std::optional<std::string> demoInteractiveMedia(const std::string& fileId) {
    if (fileId.rfind("hostile_", 0) == 0) {
        if (fileId == "hostile_cut.wav")
            return toneHeader(22050);
        const auto seed = static_cast<uint32_t>(std::hash<std::string>()(fileId));
        std::string bytes(4096, '\0');
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(DemoService::generatedByte(static_cast<int64_t>(i), seed));
        return bytes;
    }
    if (hasSuffix(fileId, ".y4m"))
        return clipVideo();
    if (hasSuffix(fileId, ".wav"))
        return tone();
    if (const auto size = sizeSuffix(fileId)) {
        std::string image = demoDrawnImage(fileId, size->first, size->second, false);
        if (!image.empty())
            return image;
    }
    return std::nullopt;
}

void addHostileMedia(Json& pages) {
    auto frame = [](int row) { return "{{40, " + std::to_string(40 + row * 60) + "}, {200, 40}}"; };
    const std::string pattern = "%@%s%n<Id>";
    pages["1"]["Widgets"] = Json::array(
        {{{"WidgetType", "EmbeddedVideo"}, {"Frame", frame(0)}, {"Id", "hostile_noise.y4m"}},
         {{"WidgetType", "PopupVideoButton"},
          {"Frame", frame(1)},
          {"VideoFileName", "hostile_noise.mp4"}},
         {{"WidgetType", "AudioPlayer"}, {"Frame", frame(2)}, {"AudioFileName", "hostile_cut.wav"}},
         {{"WidgetType", "AudioPlayer"},
          {"Frame", frame(3)},
          {"AudioFileName", "hostile_noise.wav"}},
         {{"WidgetType", "ImageView360"},
          {"Frame", frame(4)},
          {"ImageFormat", pattern},
          {"ImageIdStart", 0},
          {"ImageIdEnd", 2000000000},
          {"ImageIdLength", 0}},
         {{"WidgetType", "ImageView360"},
          {"Frame", frame(5)},
          {"ImageFormat", pattern},
          {"ImageIdStart", 0},
          {"ImageIdEnd", 2000000000},
          {"ImageIdLength", 1000000}},
         {{"WidgetType", "UrlLink"}, {"Frame", frame(6)}, {"TargetURL", "file:///etc/passwd"}},
         {{"WidgetType", "UrlLink"}, {"Frame", frame(7)}, {"TargetURL", ""}},
         {{"WidgetType", "UrlLink"}, {"Frame", frame(8)}, {"TargetURL", "   "}},
         {{"WidgetType", "EmailLink"},
          {"Frame", frame(9)},
          {"Recipient", "a&b=c?d#e@example.com"},
          {"Subject", "x&y=z?w#v"},
          {"Body", "1&2=3?4#5"}}});
}

}  // namespace demo
