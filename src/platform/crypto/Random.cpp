#include "platform/crypto/Random.h"

#include <openssl/rand.h>
#include <sys/random.h>

#include <cerrno>
#include <climits>

#include "platform/core/Exception.h"

namespace plat {

void Random::fill(std::span<uint8_t> out) {
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = getrandom(out.data() + done, out.size() - done, 0);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    if (done == out.size())
        return;
    // The kernel call is unavailable (old kernel, seccomp); OpenSSL seeds itself another way.
    uint8_t* rest = out.data() + done;
    size_t remaining = out.size() - done;
    while (remaining > 0) {
        const int chunk = remaining > INT_MAX ? INT_MAX : static_cast<int>(remaining);
        if (RAND_bytes(rest, chunk) != 1) {
            raise(NSInternalInconsistencyException, "No source of random numbers is available");
        }
        rest += chunk;
        remaining -= static_cast<size_t>(chunk);
    }
}

uint32_t Random::uint32() {
    uint8_t b[4];
    fill(b);
    return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
           static_cast<uint32_t>(b[2]) << 8 | b[3];
}

}  // namespace plat
