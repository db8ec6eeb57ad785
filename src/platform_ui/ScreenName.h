#pragma once
// ui::ScreenName: where the resource registry finds a screen (storyboard, identifier; "" is a
// nib of its own). An area publishes the names of the screens it provides as constants in its
// public header; the provider registers under them and every user names the screen by them.
namespace ui {

struct ScreenName {
    const char* storyboard;
    const char* identifier;
};

}  // namespace ui
