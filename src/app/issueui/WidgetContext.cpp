#include "app/issueui/WidgetContext.h"

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

PLAT_DEFINE_CLASS(WidgetContext, plat::Object, PLAT_NO_METHODS)

Ref<WidgetContext> WidgetContext::defaultContext() {
    static const Ref<WidgetContext> context = std::make_shared<WidgetContext>();
    return context;
}

namespace {

// The number at the start of the text, as a 32-bit float; 0 when none or when not finite.
double readFloat(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    float value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)end;
    if (error != std::errc() || !std::isfinite(value))
        return 0;
    return value;
}

}  // namespace

QRectF WidgetContext::rectFromString(std::string_view text) {
    std::string cleaned;
    cleaned.reserve(text.size());
    for (char c : text) {
        if (c != '{' && c != '}' && c != ' ')
            cleaned.push_back(c);
    }
    double parts[4] = {0, 0, 0, 0};
    size_t index = 0;
    size_t start = 0;
    while (index < 4 && start <= cleaned.size()) {
        const size_t comma = cleaned.find(',', start);
        const size_t end = comma == std::string::npos ? cleaned.size() : comma;
        parts[index++] = readFloat(std::string_view(cleaned).substr(start, end - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return QRectF(parts[0], parts[1], parts[2], parts[3]);
}

void WidgetContext::lockScroll() {
    if (lockCount_ == 0) {
        if (auto reader = mainReader())
            reader->lockScroll();
    }
    ++lockCount_;
}

void WidgetContext::unlockScroll() {
    if (lockCount_ == 0)
        return;
    if (--lockCount_ == 0) {
        if (auto reader = mainReader())
            reader->unlockScroll();
    }
}
