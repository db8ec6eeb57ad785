#include "platform_ui/RunLoopBridge.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <cmath>

#include "platform/runloop/RunLoop.h"

namespace ui {

RunLoopBridge& RunLoopBridge::install() {
    static RunLoopBridge bridge;
    return bridge;
}

RunLoopBridge::RunLoopBridge() : modes_{plat::kDefaultRunLoopMode} {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { pass(); });
    plat::RunLoop::main().setWakeUpHandler([this] { wake(); });
    wake();
}

RunLoopBridge::~RunLoopBridge() {
    plat::RunLoop::main().setWakeUpHandler({});
}

void RunLoopBridge::wake() {
    // One queued pass at a time, from any thread.
    if (posted_.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            posted_ = false;
            pass();
        },
        Qt::QueuedConnection);
}

void RunLoopBridge::pass() {
    // A copy: a modal loop opened by the work may push another mode meanwhile.
    const std::string current = mode();
    plat::RunLoop::main().runPending(current);
    armTimer();
}

void RunLoopBridge::armTimer() {
    plat::RunLoop& loop = plat::RunLoop::main();
    const std::string current = mode();
    const double deadline = loop.nextDeadline(current);
    if (!std::isfinite(deadline)) {
        timer_.stop();
        return;
    }
    const double ms = std::max(0.0, (deadline - loop.now()) * 1000.0);
    timer_.start(static_cast<int>(std::min(ms, 24.0 * 3600 * 1000) + 0.999));
}

RunLoopBridge::ModalScope::ModalScope() {
    RunLoopBridge& bridge = install();
    bridge.modes_.push_back(plat::kModalPanelRunLoopMode);
    bridge.wake();
}

RunLoopBridge::ModalScope::~ModalScope() {
    RunLoopBridge& bridge = install();
    if (bridge.modes_.size() > 1)
        bridge.modes_.pop_back();
    // Default-mode work that waited may run now.
    bridge.wake();
}

}  // namespace ui
