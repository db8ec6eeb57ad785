#pragma once
// The reader's registrations: the reader window under ("ReaderWindowStoryboard", "ReaderWindow")
// and the folders its placeholder page image "temp_hd_pdf" is looked for in.
#include "platform_ui/ScreenName.h"

namespace ui {
class ResourceRegistry;
}

namespace ReaderScreens {
inline constexpr ui::ScreenName kReaderWindow{"ReaderWindowStoryboard", "ReaderWindow"};
}  // namespace ReaderScreens

void registerReaderResources(ui::ResourceRegistry& registry);
