#pragma once
// MainWindow: what other areas ask of the program's main window: where it is (even while it is
// hidden behind the reader), and to hide and show it again. The shell offers it.
#include <QRect>
#include <optional>

class MainWindow {
  public:
    static constexpr const char* kSeamName = "MainWindow";
    virtual ~MainWindow() = default;

    // The window's frame on the screen; none before its window is loaded.
    virtual std::optional<QRect> frame() const = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
};
