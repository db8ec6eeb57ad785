#pragma once
// The name the reader window is registered under (app/reader/ReaderResources.cpp): the storyboard
// "ReaderWindowStoryboard", identifier "ReaderWindow". Here, below every area, so that the
// application delegate and the library screen make it without reaching into the reader.
#include "platform_ui/ScreenName.h"

namespace ReaderScreens {
inline constexpr ui::ScreenName kReaderWindow{"ReaderWindowStoryboard", "ReaderWindow"};
}  // namespace ReaderScreens
