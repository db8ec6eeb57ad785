#include "vnlib/service/auth/VnUserAuthenticationInfo.h"

#include "platform/core/Property.h"
#include "vnlib/service/auth/DataSupport.h"

PLAT_DEFINE_CLASS(VnUserAuthenticationInfo, VnClientServiceParams, [](auto& c) {
    c.property("username", "T@\"NSString\",R,C,N,Vusername_", &VnUserAuthenticationInfo::username)
        .property("hashedPassword", "T@\"NSString\",R,C,N,VhashedPassword_",
                  &VnUserAuthenticationInfo::hashedPassword)
        .property("adminUsername", "T@\"NSString\",R,C,N,VadminUsername_",
                  &VnUserAuthenticationInfo::adminUsername)
        .property("authorizationCode", "T@\"NSString\",R,C,N,VauthorizationCode_",
                  &VnUserAuthenticationInfo::authorizationCode)
        .property("isDefaultUser", "Tc,R,N", &VnUserAuthenticationInfo::isDefaultUser)
        .property("authenticationMethod", "Ti,R,N,VauthenticationMethod_",
                  &VnUserAuthenticationInfo::authenticationMethod)
        .property("salt", "T@\"NSString\",R,C,N,Vsalt_", &VnUserAuthenticationInfo::salt)
        .property("token", "T@\"NSString\",R,C,N", &VnUserAuthenticationInfo::token);
})

namespace {

// The lower-case letter of an upper-case code point of the covered scripts; the code point
// itself otherwise.
char32_t lowerCodePoint(char32_t c) {
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c < 0xC0)
        return c;
    if (c <= 0xDE)
        return c == 0xD7 ? c : c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        if (c == 0x178)
            return 0xFF;
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpper)
            return (c % 2 == 1) ? c + 1 : c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c == 0x386)
        return 0x3AC;
    if (c >= 0x388 && c <= 0x38A)
        return c + 37;
    if (c == 0x38C)
        return 0x3CC;
    if (c == 0x38E || c == 0x38F)
        return c + 63;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    if (c >= 0x410 && c <= 0x42F)
        return c + 32;
    return c;
}

// Every letter that is mapped lies below U+0800: one or two bytes.
void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string lowerHex(std::string text) {
    for (char& ch : text) {
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch + 32);
    }
    return text;
}

}  // namespace

std::string VnLowercaseUserName(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lowerCodePoint(lead));
            ++i;
            continue;
        }
        // Two-byte sequences hold every letter that is mapped; anything else is copied as it is.
        if ((lead & 0xE0) == 0xC0 && i + 1 < text.size() &&
            (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            const char32_t c = (static_cast<char32_t>(lead & 0x1F) << 6) |
                               (static_cast<unsigned char>(text[i + 1]) & 0x3F);
            appendUtf8(out, c >= 0x80 ? lowerCodePoint(c) : c);
            i += 2;
            continue;
        }
        out += text[i];
        ++i;
    }
    return out;
}

// ---- Construction ---------------------------------------------------------------------------

void VnUserAuthenticationInfo::initWithUserNamePassword(std::string userName,
                                                        std::string_view password) {
    hashedPassword_ = hashPassword(password, userName);
    username_ = std::move(userName);
}

void VnUserAuthenticationInfo::initWithUserNameAuthorizationCode(std::string userName,
                                                                 std::string authorizationCode) {
    username_ = std::move(userName);
    hashedPassword_.clear();
    authorizationCode_ = std::move(authorizationCode);
}

void VnUserAuthenticationInfo::initWithUserNameHashedPassword(std::string userName,
                                                              std::string hashedPassword) {
    username_ = std::move(userName);
    hashedPassword_ = std::move(hashedPassword);
}

void VnUserAuthenticationInfo::initWithUserName(std::string userName, std::string_view password,
                                                std::optional<std::string> adminUsername) {
    const bool byAdmin = adminUsername && !adminUsername->empty();
    hashedPassword_ = hashPassword(password, byAdmin ? *adminUsername : userName);
    username_ = std::move(userName);
    adminUsername_ = std::move(adminUsername);
}

void VnUserAuthenticationInfo::setMethodAndSalt(int32_t authenticationMethod,
                                                std::optional<std::string> salt) {
    authenticationMethod_ = authenticationMethod;
    salt_ = std::move(salt);
    optionalParams()->setObject(plat::Value(authenticationMethod), plat::Value("mode"));
}

Ref<VnUserAuthenticationInfo> VnUserAuthenticationInfo::infoWithUserNameHashedPassword(
    std::string userName, std::string hashedPassword) {
    auto info = std::make_shared<VnUserAuthenticationInfo>();
    info->initWithUserNameHashedPassword(std::move(userName), std::move(hashedPassword));
    return info;
}

Ref<VnUserAuthenticationInfo> VnUserAuthenticationInfo::infoWithUserNameHashedPassword(
    std::string userName, std::string hashedPassword, int32_t authenticationMethod,
    std::optional<std::string> salt) {
    auto info = infoWithUserNameHashedPassword(std::move(userName), std::move(hashedPassword));
    info->setMethodAndSalt(authenticationMethod, std::move(salt));
    return info;
}

Ref<VnUserAuthenticationInfo> VnUserAuthenticationInfo::infoWithUserNamePassword(
    std::string userName, std::string_view password) {
    auto info = std::make_shared<VnUserAuthenticationInfo>();
    info->initWithUserNamePassword(std::move(userName), password);
    return info;
}

Ref<VnUserAuthenticationInfo> VnUserAuthenticationInfo::infoWithUserNamePassword(
    std::string userName, std::string_view password, int32_t authenticationMethod,
    std::optional<std::string> salt) {
    std::string hash = hashPassword(password, userName, salt.value_or(""), authenticationMethod);
    return infoWithUserNameHashedPassword(std::move(userName), std::move(hash),
                                          authenticationMethod, std::move(salt));
}

Ref<VnUserAuthenticationInfo> VnUserAuthenticationInfo::infoWithDeviceId(
    const std::optional<std::string>& deviceId) {
    if (!deviceId)
        plat::assertionFailed("deviceId", __FILE__, __LINE__);
    const std::string lowered = VnLowercaseUserName(*deviceId);
    std::string userName = VnLowercaseUserName(*deviceId + VnDeviceUserNameSuffix);
    const std::string password =
        DataSupport::SHA256HashBase64(lowered + "|" + VnDeviceAccountMarker);
    return infoWithUserNamePassword(std::move(userName), password);
}

// ---- Hash forms -----------------------------------------------------------------------------

std::string VnUserAuthenticationInfo::hashPassword(std::string_view password,
                                                   std::string_view userName) {
    std::string text(password);
    text += '|';
    text += VnLowercaseUserName(userName);
    return DataSupport::SHA256HashBase64(text);
}

std::string VnUserAuthenticationInfo::vtcHashPassword(std::string_view password, std::string_view,
                                                      std::string_view) {
    return lowerHex(DataSupport::MD5Hash(password));
}

std::string VnUserAuthenticationInfo::hashPassword(std::string_view password,
                                                   std::string_view userName, std::string_view salt,
                                                   int32_t authenticationMethod) {
    return authenticationMethod == kMD5Method ? vtcHashPassword(password, userName, salt)
                                              : hashPassword(password, userName);
}

std::string VnUserAuthenticationInfo::tokenHashedPassword(std::string_view text) const {
    std::string joined = hashedPassword_;
    joined += '|';
    joined += text;
    return DataSupport::SHA256HashBase64(joined);
}

std::string VnUserAuthenticationInfo::vtcHashPasswordWithSalt(std::string_view salt) const {
    std::string joined = username_ + hashedPassword_;
    joined += salt;
    return lowerHex(DataSupport::MD5Hash(joined));
}

std::string VnUserAuthenticationInfo::hashPasswordWithSalt(std::string_view salt) const {
    return authenticationMethod_ == kMD5Method ? vtcHashPasswordWithSalt(salt)
                                               : tokenHashedPassword(salt);
}

bool VnUserAuthenticationInfo::isDefaultUser() const {
    const std::string_view suffix = VnDeviceUserNameSuffix;
    return username_.size() >= suffix.size() &&
           username_.compare(username_.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string VnUserAuthenticationInfo::description() const {
    return "<" + className() + " username: " + username_ +
           ", authenticationMethod: " + std::to_string(authenticationMethod_) + ">";
}
