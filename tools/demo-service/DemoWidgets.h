#pragma once
// Interactive page widgets of the demo catalogue, in the description format of issue metadata
// ("WidgetType", "Frame" and each kind's keys).
// - The showcase (MG01-2403 and BK0003): every widget type on pages 2 to 6: page links by number
//   and by name, web and mail links, a link of the program's own scheme, a picture with a link
//   inside, a scroller of three pictures shown as its sub-widgets, a 360-degree view over
//   "spin_01.jpg" to "spin_12.jpg", slideshows of both styles, an embedded video, a popup video
//   and an audio player, a highlighter, an inline scroller, attached widgets and a button with
//   every key.
// - Hostile descriptions (content variant HostileWidgets): wrong types, odd frames, deep nesting,
//   refused id series and file names that name other folders.
// The media files the widgets name are made in DemoMedia.h.
#include <string>

#include <nlohmann/json.hpp>

namespace demo {

bool hasWidgetShowcase(const std::string& code);
// The showcase widgets of a page (an empty list for pages without any).
nlohmann::json showcaseWidgets(int pageIndex);
// Puts the hostile descriptions into a metadata "Pages" dictionary.
void addHostileWidgets(nlohmann::json& pages);

}  // namespace demo
