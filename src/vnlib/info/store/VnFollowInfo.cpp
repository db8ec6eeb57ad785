#include "vnlib/info/store/VnFollowInfo.h"

#include <algorithm>
#include <limits>

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnFollowInfo, VnInfo, [](auto& c) {
    c.property("Id", "Ti,N,VId_", &VnFollowInfo::Id_)
        .property("name", "T@\"NSString\",C,N,Vname_", &VnFollowInfo::name_)
        .property("type", "Ti,N,Vtype_", &VnFollowInfo::type_);
})

namespace {

// The integer a text begins with: leading blanks, an optional sign and digits; 0 without digits,
// kept within the 32-bit range.
int32_t leadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(kLimit, value * 10 + (text[i] - '0'));
    }
    value = negative ? -value : std::min(value, kLimit - 1);
    return static_cast<int32_t>(value);
}

// The length in bytes of the white-space or line-end character at a position (0 for any other
// character): ASCII blanks and controls 9-13, and the Unicode spaces and separators.
size_t spaceAt(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    if (b(i) == ' ' || (b(i) >= 0x09 && b(i) <= 0x0D))
        return 1;
    if (i + 1 < s.size() && b(i) == 0xC2 && (b(i + 1) == 0x85 || b(i + 1) == 0xA0))
        return 2;
    if (i + 2 < s.size()) {
        const uint32_t cp = ((b(i) & 0x0Fu) << 12) | ((b(i + 1) & 0x3Fu) << 6) | (b(i + 2) & 0x3Fu);
        if ((b(i) & 0xF0) == 0xE0 &&
            (cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 ||
             cp == 0x202F || cp == 0x205F || cp == 0x3000)) {
            return 3;
        }
    }
    return 0;
}

std::string trimmed(std::string_view s) {
    size_t start = 0;
    while (start < s.size()) {
        const size_t n = spaceAt(s, start);
        if (!n)
            break;
        start += n;
    }
    size_t end = s.size();
    while (end > start) {
        // Try the one-, two- and three-byte forms that could end here.
        size_t n = 0;
        for (size_t len = 1; len <= 3 && len <= end - start && !n; ++len) {
            if (spaceAt(s.substr(0, end), end - len) == len)
                n = len;
        }
        if (!n)
            break;
        end -= n;
    }
    return std::string(s.substr(start, end - start));
}

}  // namespace

Ref<VnFollowInfo> VnFollowInfo::infoWithId(int32_t followId, std::optional<std::string> name,
                                           int32_t type) {
    auto info = std::make_shared<VnFollowInfo>();
    info->Id_ = followId;
    info->name_ = std::move(name);
    info->type_ = type;
    info->setCode(std::to_string(followId) + ".code");
    return info;
}

Ref<VnFollowInfo> VnFollowInfo::buildFollowInfoWithLink(const std::optional<std::string>& link,
                                                        std::optional<std::string> name,
                                                        int32_t type) {
    int32_t followId = 0;
    if (link)
        followId = leadingInteger(std::string_view(*link).substr(0, link->find('.')));
    if (name && (type == VnFollowTypeBookCategory || type == VnFollowTypeMagazineCategory))
        name = categoryKeyForName(*name);
    return infoWithId(followId, std::move(name), type);
}

std::string VnFollowInfo::categoryKeyForName(std::string_view name) {
    const size_t slash = name.rfind('/');
    return trimmed(slash == std::string::npos ? name : name.substr(slash + 1));
}
