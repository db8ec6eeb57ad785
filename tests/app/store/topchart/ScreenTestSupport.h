#pragma once
// What the store page tests share: a QApplication on the offscreen platform for a process that
// has none (made before the first test, with the program's pictures), and doubles of a page's
// neighbours made under their registry names (a test object answering the given messages and
// recording them) together with a link router double.
#include <any>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/DynamicObject.h"

namespace screen_test {

using testing_support::DynamicObject;

// Doubles registered under names until destroyed (the names are then unregistered).
class Doubles {
  public:
    Doubles() = default;
    Doubles(const Doubles&) = delete;
    Doubles& operator=(const Doubles&) = delete;
    ~Doubles();

    // Every object made under the name answers the selectors; made(name) lists them.
    void add(const std::string& storyboard, const std::string& identifier,
             std::vector<std::string> answers);
    std::vector<Ref<DynamicObject>>& made(const std::string& identifier) {
        return made_[identifier];
    }
    // The router ("", "UriDirect"): "code:book:<c>", "code:magazine:<c>", "code:issue:<c>",
    // "code:list:<c>" and "code:featured:<c>" answer at once as code-only links of that kind,
    // "https:..." as an opened web link; anything else gets no answer. Whether the delegate
    // answers is asked first. overlayWhileRouting records `overlayShown()` at each link.
    void addRouter(std::function<bool()> overlayShown);
    std::vector<bool> overlayWhileRouting;

  private:
    std::vector<std::pair<std::string, std::string>> names_;
    std::map<std::string, std::vector<Ref<DynamicObject>>> made_;
    WeakRef<plat::Object> routerDelegate_;
};

}  // namespace screen_test
