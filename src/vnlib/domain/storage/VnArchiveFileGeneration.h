#pragma once
// VnArchiveFileGeneration: counts the times an archive's item was returned (its files taken away
// as a whole, or left as they are to another member of the home who holds the item), for writers
// on other threads that must not write into the folder after the return. A
// writer notes the generation when its work begins (an issue's opening) and writes through
// writeUnlessTakenAwaySince(); taking the files away advances the generation first, and waits for
// a write under way, so a write lands either before the files are taken (and goes with them) or
// not at all. Work begun on the taking thread (an opening's downloads) is told at once, through
// whenTakenAway(), so that it stops before the files go.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class VnArchiveFileGeneration {
  public:
    uint64_t current() const;
    // Whether the files were taken away since the generation `seen`.
    bool takenAwaySince(uint64_t seen) const { return current() != seen; }
    // Before the files are taken away; then runs, on this thread, what waits for it.
    void advance();
    // Runs `write` unless the files were taken away since the generation `seen`; whether it ran.
    bool writeUnlessTakenAwaySince(uint64_t seen, const std::function<void()>& write);
    // `then` runs once, at the next advance, while `owner` still lives.
    void whenTakenAway(std::weak_ptr<const void> owner, std::function<void()> then);

  private:
    mutable std::mutex mutex_;
    uint64_t generation_ = 0;
    std::vector<std::pair<std::weak_ptr<const void>, std::function<void()>>> waiting_;
};
