#pragma once
// VnArchiveFileGeneration: counts the times an archive's files were taken away as a whole (its
// item returned), for writers on other threads that must not write into the emptied folder. A
// writer notes the generation when its work begins (an issue's opening) and writes through
// writeUnlessTakenAwaySince(); taking the files away advances the generation first, and waits for
// a write under way, so a write lands either before the files are taken (and goes with them) or
// not at all.
#include <cstdint>
#include <functional>
#include <mutex>

class VnArchiveFileGeneration {
  public:
    uint64_t current() const;
    // Before the files are taken away.
    void advance();
    // Runs `write` unless the files were taken away since the generation `seen`; whether it ran.
    bool writeUnlessTakenAwaySince(uint64_t seen, const std::function<void()>& write);

  private:
    mutable std::mutex mutex_;
    uint64_t generation_ = 0;
};
