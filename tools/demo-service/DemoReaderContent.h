#pragma once
// Switches of an item's content for the reader's tests, set on its SampleItem:
// - damagedPages: source page 2 is an HTML page served with 200, page 3 a PDF cut before its
//   "%%EOF", page 4 garbage between a PDF header and trailer, page 5 a PDF whose media box is
//   1 x 1 point;
// - withoutPageNames: the rendering metadata names no page;
// - pageBytes: every page file padded to about that many bytes.
#include <optional>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "demo-service/SampleCatalogue.h"

namespace demo {

// The bytes and content type of a page file of an item with a switch on; none otherwise.
std::optional<std::pair<std::string, std::string>> demoReaderPage(const SampleItem& item,
                                                                  const std::string& path);

// Takes the page names out of the item's rendering metadata when it asks so.
void applyReaderSwitches(const SampleItem& item, nlohmann::json& metadata);

}  // namespace demo
