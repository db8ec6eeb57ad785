#include "platform/net/PublicSuffix.h"

#include <libpsl.h>

#include <memory>
#include <string>

namespace plat::public_suffix {
namespace {

struct PslDeleter {
    void operator()(psl_ctx_t* context) const { psl_free(context); }
};

// The newest of the library's built-in list and the system's list file; loaded on first use and
// never changed afterwards.
const psl_ctx_t* context() {
    static const std::unique_ptr<psl_ctx_t, PslDeleter> latest(psl_latest(nullptr));
    return latest ? latest.get() : psl_builtin();
}

}  // namespace

bool isPublicSuffix(std::string_view domain) {
    if (domain.find('.') == std::string_view::npos)
        return true;
    const psl_ctx_t* list = context();
    if (!list)
        return false;
    const std::string text(domain);
    return psl_is_public_suffix(list, text.c_str()) != 0;
}

}  // namespace plat::public_suffix
