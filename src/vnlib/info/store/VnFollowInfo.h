#pragma once
// VnFollowInfo: something the user follows (a book category, a magazine category, an author or a
// publisher), with the follow type numbers shared by the follow calls.
#include <optional>
#include <string>
#include <string_view>

#include "vnlib/info/VnInfo.h"

// Follow types.
enum VnFollowType : int32_t {
    VnFollowTypeNone = 0,
    VnFollowTypeBookCategory = 1,
    VnFollowTypeMagazineCategory = 2,
    VnFollowTypeAuthor = 3,
    VnFollowTypePublisher = 4,
};

class VnFollowInfo : public VnInfo {
    PLAT_CLASS(VnFollowInfo)
  public:
    int32_t Id_ = 0;  // id of the followed author, publisher or category
    std::optional<std::string> name_;
    int32_t type_ = VnFollowTypeNone;

    // A record with that id, name and type, and the code "<id>.code".
    static Ref<VnFollowInfo> infoWithId(int32_t followId, std::optional<std::string> name,
                                        int32_t type);
    // The id is the number that the link's text begins with before its first "." (0 when there
    // is none). For the two category types the name is cut to its last "/"-separated part,
    // without surrounding white space and line ends.
    static Ref<VnFollowInfo> buildFollowInfoWithLink(const std::optional<std::string>& link,
                                                     std::optional<std::string> name, int32_t type);
    // A category's key: the last "/"-separated part, without surrounding white space and line
    // ends.
    static std::string categoryKeyForName(std::string_view name);
};
