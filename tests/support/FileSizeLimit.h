#pragma once
// A file-size limit for one scope, as a full disk would stop writes: writes beyond it fail with
// EFBIG instead of raising SIGXFSZ.
#include <sys/resource.h>

#include <csignal>

namespace testing_support {

class ScopedFileSizeLimit {
  public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old_;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~ScopedFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

  private:
    struct rlimit old_ {};
    void (*previous_)(int) = nullptr;
};

}  // namespace testing_support
