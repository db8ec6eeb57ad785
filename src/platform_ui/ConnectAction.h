#pragma once
// ui::connectAction: a Qt signal (its sender a pointer or QPointer) calls a screen's action method
// (one that takes its sender, here none) for as long as the screen lives; the connection holds the
// screen weakly.
#include <QObject>
#include <memory>

namespace ui {

template <typename Sender, typename Signal, typename Screen, typename SenderArgument>
QMetaObject::Connection connectAction(const Sender& sender, Signal signal,
                                      std::weak_ptr<Screen> screen,
                                      void (Screen::*action)(SenderArgument)) {
    return QObject::connect(sender, signal, [screen = std::move(screen), action] {
        if (auto target = screen.lock())
            (target.get()->*action)(nullptr);
    });
}

}  // namespace ui
