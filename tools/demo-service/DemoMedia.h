#pragma once
// Media files of the demo's interactive pages, made from their ids:
// - "<name>.y4m": a YUV4MPEG2 video, 160 x 120 at 10 frames a second, 20 frames each of one flat
//   colour (demoClipColour), changing from frame to frame;
// - "<name>.wav": one second of a 440 Hz tone, 16-bit mono PCM at 22,050 samples a second;
// - "<name>_<w>x<h>": a drawn JPEG of that size (each side 1 to 4,096);
// - "hostile_cut.wav": only the tone's 44-byte header (it announces data that never comes);
//   "hostile_<anything else>": 4 KiB of random-looking bytes whatever the extension.
// Other ids are no media: the caller draws its usual picture.
// Content variant HostileMedia (addHostileMedia): media widgets over those broken files, 360
// views whose name pattern holds "%@%s%n" with lengths 0 and 1,000,000 and ids 0 to
// 2,000,000,000, links to "file:" and blank addresses, and a mail link whose parts hold "&",
// "=", "?" and "#".
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace demo {

struct DemoColour {
    int red = 0, green = 0, blue = 0;
};

// The bytes of a media file id; none for ids that are no media.
std::optional<std::string> demoInteractiveMedia(const std::string& fileId);
// The colour of a frame (0 to 19) of the demo's videos.
DemoColour demoClipColour(int frame);
inline constexpr int kDemoClipFrames = 20;
// Puts the hostile media descriptions on the second page of a metadata "Pages" dictionary.
void addHostileMedia(nlohmann::json& pages);

}  // namespace demo
