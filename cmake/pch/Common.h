// The headers most of our sources include, compiled once for each target that has several
// sources. Our core headers and Qt's widget headers come in only where the target can see them.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#if __has_include("platform/core/Object.h")
#include "platform/core/Collections.h"
#include "platform/core/Error.h"
#include "platform/core/Exception.h"
#include "platform/core/Log.h"
#include "platform/core/Object.h"
#include "platform/core/Property.h"
#include "platform/core/Value.h"
#include "platform/runloop/RunLoop.h"
#endif

#if __has_include(<QWidget>)
#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#endif
