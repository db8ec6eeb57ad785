#pragma once
// JKMemberWriter: how a dictionary that writes its own members (JKSelfWritingDictionary) hands
// them to the JSON writer. Compact text only: the writer asks such a dictionary for its members
// when it writes without options, and enumerates it like any other dictionary otherwise. The
// dictionary gives its members in its enumeration order, each either with the key's text made
// beforehand by renderedKey() and a value written as it is, or as a plain key and value pair
// written the general way; the text is the same as the enumeration's would be.
//
//   static const auto key = JKMemberWriter::renderedKey("Name");
//   bool writeMembers(JKMemberWriter& writer) const override {
//       return writer.textMember(*key, name_) && writer.member(otherKey, otherValue);
//   }
#include <optional>
#include <string>
#include <string_view>

#include "platform/core/Value.h"

class JKMemberWriter {
  public:
    JKMemberWriter() = default;
    JKMemberWriter(const JKMemberWriter&) = delete;
    JKMemberWriter& operator=(const JKMemberWriter&) = delete;
    virtual ~JKMemberWriter() = default;

    // The compact text of a member's key followed by its colon ("\"Key\":"); nothing for a key
    // the writer refuses (bytes that are not UTF-8).
    static std::optional<std::string> renderedKey(std::string_view key);

    // Each answers false once the writer has failed (the failure is recorded; stop writing).
    // A member of rendered key and text value (the text is checked as UTF-8).
    virtual bool textMember(std::string_view renderedKey, std::string_view text) = 0;
    // A member of rendered key and null value.
    virtual bool nullMember(std::string_view renderedKey) = 0;
    // A member of rendered key and any value.
    virtual bool valueMember(std::string_view renderedKey, const plat::Value& value) = 0;
    // A member written the general way (a key that is no string fails).
    virtual bool member(const plat::Value& key, const plat::Value& value) = 0;
};

// A dictionary that can give the compact writer its members itself, faster than by enumeration.
class JKSelfWritingDictionary {
  public:
    JKSelfWritingDictionary() = default;
    JKSelfWritingDictionary(const JKSelfWritingDictionary&) = default;
    JKSelfWritingDictionary& operator=(const JKSelfWritingDictionary&) = default;
    virtual ~JKSelfWritingDictionary() = default;

    // Gives every member, in enumeration order; answers false as soon as the writer does. Values
    // are written at once, so texts may be lent (as for enumerateKeysAndTransientObjects).
    virtual bool writeMembers(JKMemberWriter& writer) const = 0;
};
