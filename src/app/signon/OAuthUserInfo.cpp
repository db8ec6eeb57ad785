#include "app/signon/OAuthUserInfo.h"

#include <array>

#include "app/signon/OAuthRecordReading.h"
#include "platform/core/Property.h"

namespace {

using Text = OAuthUserInfo::Text;
using TextMember = Text OAuthUserInfo::*;
using DateMember = std::optional<plat::Date> OAuthUserInfo::*;
enum class Kind { Text, Day, TimeStamp };

// The profile's fields in property order: property name, reply key, how it is read.
struct Field {
    const char* property;
    const char* key;
    Kind kind;
    TextMember text;
    DateMember date;
};
constexpr Field text(const char* property, const char* key, TextMember member) {
    return {property, key, Kind::Text, member, nullptr};
}
constexpr Field date(const char* property, const char* key, Kind kind, DateMember member) {
    return {property, key, kind, nullptr, member};
}

using U = OAuthUserInfo;
constexpr std::array<Field, 48> kFields = {{
    text("memberID", "MemberID", &U::memberID_),
    text("title", "Title", &U::title_),
    text("name", "Name", &U::name_),
    text("lastname", "LastName", &U::lastname_),
    text("gender", "Gender", &U::gender_),
    text("nationality", "Nationality", &U::nationality_),
    text("personalid", "Personalid", &U::personalid_),
    date("birthDate", "Birthdate", Kind::Day, &U::birthDate_),
    text("age", "Age", &U::age_),
    text("addressCard", "AddressCard", &U::addressCard_),
    text("villageCard", "VillageCard", &U::villageCard_),
    text("streetCard", "StreetCard", &U::streetCard_),
    text("soiCard", "SoiCard", &U::soiCard_),
    text("mooCard", "MooCard", &U::mooCard_),
    text("provinceCardID", "ProvinceCardID", &U::provinceCardID_),
    text("provinceCardName", "ProvinceCardName", &U::provinceCardName_),
    text("districtCardID", "DistrictCardID", &U::districtCardID_),
    text("districtCardName", "DistrictCardName", &U::districtCardName_),
    text("subdistrictCardID", "SubdistrictCardID", &U::subdistrictCardID_),
    text("subdistrictCardName", "SubdistrictCardName", &U::subdistrictCardName_),
    text("postalcodeCard", "PostalcodeCard", &U::postalcodeCard_),
    text("addressPresent", "AddressPresent", &U::addressPresent_),
    text("villagePresent", "VillagePresent", &U::villagePresent_),
    text("streetPresent", "StreetPresent", &U::streetPresent_),
    text("soiPresent", "SoiPresent", &U::soiPresent_),
    text("mooPresent", "MooPresent", &U::mooPresent_),
    text("provincePresentID", "ProvincePresentID", &U::provincePresentID_),
    text("provincePresentName", "ProvincePresentName", &U::provincePresentName_),
    text("districtPresentID", "DistrictPresentID", &U::districtPresentID_),
    text("districtPresentName", "DistrictPresentName", &U::districtPresentName_),
    text("subdistrictPresentID", "SubdistrictPresentID", &U::subdistrictPresentID_),
    text("subdistrictPresentName", "SubdistrictPresentName", &U::subdistrictPresentName_),
    text("postalcodePresent", "PostalcodePresent", &U::postalcodePresent_),
    text("username", "Username", &U::username_),
    text("email", "Email", &U::email_),
    text("mobile", "Mobile", &U::mobile_),
    text("telephone", "Telephone", &U::telephone_),
    text("note", "Note", &U::note_),
    text("profilePicture", "ProfilePicture", &U::profilePicture_),
    text("hDMemberID", "HDMemberID", &U::hDMemberID_),
    date("createDate", "CreateDate", Kind::TimeStamp, &U::createDate_),
    date("modifiedDate", "ModifiedDate", Kind::TimeStamp, &U::modifiedDate_),
    date("registerDate", "RegisterDate", Kind::TimeStamp, &U::registerDate_),
    text("memberTypeID", "MemberTypeID", &U::memberTypeID_),
    text("memberTypeName", "MemberTypeName", &U::memberTypeName_),
    text("memberGroupID", "MemberGroupID", &U::memberGroupID_),
    text("memberGroupName", "MemberGroupName", &U::memberGroupName_),
    text("memberParentID", "MemberParentID", &U::memberParentID_),
}};

}  // namespace

PLAT_DEFINE_CLASS(OAuthUserInfo, VnInfoBase, [](auto& c) {
    for (const Field& field : kFields) {
        const std::string ivar = std::string(",&,N,V") + field.property + "_";
        if (field.text)
            c.property(field.property, "T@\"NSString\"" + ivar, field.text);
        else
            c.property(field.property, "T@\"NSDate\"" + ivar, field.date);
    }
    c.property("memberParentGroup", "T@\"NSArray\",&,N,VmemberParentGroup_",
               &OAuthUserInfo::memberParentGroup_)
        .property("memberPermission", "T@\"NSArray\",&,N,VmemberPermission_",
                  &OAuthUserInfo::memberPermission_)
        .property("memberShip", "T@\"NSArray\",&,N,VmemberShip_", &OAuthUserInfo::memberShip_);
})

OAuthUserInfo::OAuthUserInfo()
    : memberParentGroup_(plat::Array::make(std::vector<plat::Value>{})),
      memberPermission_(plat::Array::make(std::vector<plat::Value>{})),
      memberShip_(plat::Array::make(std::vector<plat::Value>{})) {}

void OAuthUserInfo::initWithDictionary(const Ref<plat::Dictionary>& dictionary) {
    // Both patterns read in GMT whatever the user's locale and zone.
    const plat::DateFormatter day("yyyy-MM-dd", plat::TimeZone::utc());
    const plat::DateFormatter timeStamp("yyyy-MM-dd HH:mm:ss", plat::TimeZone::utc());
    const plat::Dictionary* d = dictionary.get();
    for (const Field& field : kFields) {
        if (field.kind == Kind::Text)
            this->*field.text = oauth_records::text(d, field.key);
        else
            this->*field.date =
                oauth_records::date(d, field.key, field.kind == Kind::Day ? day : timeStamp);
    }
}
