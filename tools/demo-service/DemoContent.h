#pragma once
// Content files of the demo catalogue's items: "/content/<code>/<TYPE>_<id>.<format>".
// - "PAGE" PDF: a one-page PDF 1.4 document (a coloured box, the code and the page number in
//   Helvetica) padded to some 40 KB so that transfers take a while;
// - "PAGEPREVIEW", "COVER" and "INTERACTIVE" JPG: drawn JPEGs (240x320 previews); interactive
//   media ids (videos, sounds, pictures of a given size) as DemoMedia.h makes them;
// - "XML_0.xml": the item's rendering metadata, a property list (see demoRenderingMetadata);
// - "PAGE" EPUB ("PAGE_0.epub"): a zip holding "book.epub", a small EPUB;
// - anything else: deterministic bytes.
// The same path always gives the same bytes.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "demo-service/SampleCatalogue.h"

namespace demo {

std::string demoContentPath(const std::string& code, const std::string& type,
                            const std::string& format, const std::string& fileId);

// The bytes and content type of a content path that does not need the catalogue (any path but
// the metadata); none for paths outside "/content/".
std::optional<std::pair<std::string, std::string>> demoContent(const std::string& path);

// One page of PDF 1.4 showing `code` and `pageNumber`, with `padding` extra bytes in an
// unreferenced stream. Every cross-reference offset is the object's true position.
std::string demoPdfPage(const std::string& code, int pageNumber, size_t padding);

// The rendering metadata of an item in its content variant: pages named "P1", "P2", ... with
// insets and alignments; widgets: a page link on page 2, a slide show on page 3, an image
// widget naming "img<index>" on every sixth page, and the widget showcase (DemoWidgets.h).
// Hostile variants break it on purpose.
std::string demoRenderingMetadata(const SampleItem& item);

}  // namespace demo
