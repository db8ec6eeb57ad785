#pragma once
// Small record bases: VnInfo (a record with a code read from "Code"), VnInfoWithHashString (adds
// the lower-cased content hash kept under "Hash") and VnRevisionedInfo (adds a revision).
#include "vnlib/info/VnInfoBase.h"

class VnInfo : public VnInfoBase {
    PLAT_CLASS(VnInfo)
  public:
    const std::optional<std::string>& code() const { return code_; }
    void setCode(std::optional<std::string> code) { code_ = std::move(code); }
    // The key the code is read from after the generic load (a class hook: the same answer for
    // every record of a class).
    virtual std::string coreCodeKeyName() const { return "Code"; }
    void initWithDictionary(const Ref<plat::Dictionary>& dictionary) override;
    // Whether the dictionary the record was loaded from held text under its code's key (or,
    // lacking that key, under "Code"); true for a record not loaded from a dictionary. A number
    // or a truth value there gives the record a code, but is none.
    bool codeCameAsText() const { return codeCameAsText_; }

  private:
    const plat::Value& codeKey() const;

    std::optional<std::string> code_;
    bool codeCameAsText_ = true;
};

class VnInfoWithHashString : public VnInfo {
    PLAT_CLASS(VnInfoWithHashString)
  public:
    const std::optional<std::string>& hashString() const { return hashString_; }
    // Stored lower-cased.
    void setHashString(std::optional<std::string> hash);
    std::string description() const override;
    std::string _dictionaryKeyNameWithPropertyName(const std::string& name) const override;
    std::string _propertyNameByDictionaryKeyName(const std::string& key) const override;

  private:
    std::optional<std::string> hashString_;
};

class VnRevisionedInfo : public VnInfo {
    PLAT_CLASS(VnRevisionedInfo)
  public:
    int32_t revision() const { return revision_; }
    void setRevision(int32_t revision) { revision_ = revision; }
    // 0 when equal, 1 when the other's revision is greater, -1 when smaller. The other record
    // must be of exactly the same class.
    int compareRevision(const VnRevisionedInfo& other) const;

  private:
    int32_t revision_ = 0;
};
