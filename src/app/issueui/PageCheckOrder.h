#pragma once
// PageCheckOrder: the page checks of one opened issue that wait for their turn on its checking
// queue, and the order they are taken in: the pages put first (the pages the member is shown,
// then those beside them) before the others, which keep the order they were asked for in. The
// main thread adds checks and says which pages come first; the checking queue's worker takes the
// next check when its turn comes. Every check added is taken once.
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <vector>

class PageCheckOrder {
  public:
    struct Check {
        int32_t sourcePageIndex = -1;
        std::filesystem::path file;
        // The notice that waits for the check.
        uint64_t notice = 0;
    };

    void add(Check check);
    // The pages whose checks come before the others, the first of them first; replaces the pages
    // put first before.
    void putFirst(std::vector<int32_t> sourcePageIndices);
    // Takes the next check out; nothing when none waits.
    std::optional<Check> takeNext();

  private:
    std::mutex mutex_;
    std::deque<Check> waiting_;
    std::vector<int32_t> first_;
};
