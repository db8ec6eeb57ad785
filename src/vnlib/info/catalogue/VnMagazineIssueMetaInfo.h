#pragma once
// Short references that the catalogue listings answer with before the full records are asked
// for: VnMagazineIssueMetaInfo (an item: code, hash, position and the length of the whole list;
// its code is read from "MagazineIssueCode" when the reply has it, else from "Code") and
// VnMagazineMetaInfo (a magazine title: code, hash and position).
#include "vnlib/info/VnInfo.h"

class VnMagazineIssueMetaInfo : public VnInfoWithHashString {
    PLAT_CLASS(VnMagazineIssueMetaInfo)
  public:
    int32_t sortIndex_ = 0;
    int32_t totalResultLength_ = 0;

    std::string coreCodeKeyName() const override { return "MagazineIssueCode"; }
};

class VnMagazineMetaInfo : public VnInfoWithHashString {
    PLAT_CLASS(VnMagazineMetaInfo)
  public:
    int32_t sortIndex_ = 0;
};
