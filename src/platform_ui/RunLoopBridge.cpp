#include "platform_ui/RunLoopBridge.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <chrono>
#include <cmath>
#include <limits>

#include "platform/runloop/RunLoop.h"

namespace ui {
namespace {

// How long one pass runs work that keeps coming before Qt's events get their turn.
constexpr std::chrono::microseconds kSlice{1000};
// At most as many passes as the run loop's own runPending makes at a time.
constexpr size_t kMaxPassesPerSlice = 100;
const QEvent::Type kContinueEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

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
    plat::RunLoop& loop = plat::RunLoop::main();
    const auto start = std::chrono::steady_clock::now();
    // One pass at a time, never waiting (nothing here stops the main loop: runMode's honouring
    // of stop() does not come into it).
    const auto onePass = [&] {
        return loop.runMode(current, -std::numeric_limits<double>::infinity()) ==
               plat::RunLoop::RunResult::HandledSource;
    };
    for (size_t passes = 1; onePass(); ++passes) {
        if (passes >= kMaxPassesPerSlice || std::chrono::steady_clock::now() - start >= kSlice) {
            continueLater();
            return;
        }
    }
    armTimer();
}

void RunLoopBridge::continueLater() {
    if (continuing_)
        return;
    continuing_ = true;
    // Low priority: posted events already waiting (a render's result, a repaint) go first.
    QCoreApplication::postEvent(this, new QEvent(kContinueEvent), Qt::LowEventPriority);
}

bool RunLoopBridge::event(QEvent* event) {
    if (event->type() != kContinueEvent)
        return QObject::event(event);
    continuing_ = false;
    pass();
    return true;
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
