#pragma once
// plat::Error: a failure as a value: domain, code and user info. Failures travel as errors, never
// as exceptions.
#include <string>

#include "platform/core/Collections.h"

namespace plat {

inline constexpr const char* NSLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char* NSURLErrorDomain = "NSURLErrorDomain";

class Error : public Object {
    PLAT_CLASS(Error)
  public:
    Error(std::string domain, int64_t code, Ref<Dictionary> userInfo = nullptr);
    static Ref<Error> make(std::string domain, int64_t code, Ref<Dictionary> userInfo = nullptr) {
        return std::make_shared<Error>(std::move(domain), code, std::move(userInfo));
    }
    // An error whose user info holds only the localized description.
    static Ref<Error> withDescription(std::string domain, int64_t code, std::string description);

    const std::string& domain() const { return domain_; }
    int64_t code() const { return code_; }
    const Ref<Dictionary>& userInfo() const { return userInfo_; }
    // The user info's localized description, else "The operation couldn't be completed. (<domain>
    // error <code>.)".
    std::string localizedDescription() const;
    std::string description() const override;

  private:
    std::string domain_;
    int64_t code_;
    Ref<Dictionary> userInfo_;
};

}  // namespace plat
