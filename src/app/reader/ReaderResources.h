#pragma once
// The reader's registrations: the reader window under ("ReaderWindowStoryboard", "ReaderWindow")
// and the folders its placeholder page image "temp_hd_pdf" is looked for in.
namespace ui {
class ResourceRegistry;
}

void registerReaderResources(ui::ResourceRegistry& registry);
