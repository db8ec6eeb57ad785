#pragma once
// The reader's registrations: the reader window under ReaderScreens::kReaderWindow and the
// folders its placeholder page image "temp_hd_pdf" is looked for in.
#include "app/services/ReaderScreens.h"

namespace ui {
class ResourceRegistry;
}

void registerReaderResources(ui::ResourceRegistry& registry);
