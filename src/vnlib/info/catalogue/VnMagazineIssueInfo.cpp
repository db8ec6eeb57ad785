#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

#include <typeinfo>

#include "platform/core/Property.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"
#include "vnlib/dev/util/VndLoadedDictionary.h"
#include "vnlib/domain/VnAssetFormat.h"
#include "vnlib/info/catalogue/VnDayDateFormats.h"
#include "vnlib/info/catalogue/VnPageInfo.h"
#include "vnlib/info/catalogue/VnPriceInfo.h"

PLAT_DEFINE_CLASS(VnMagazineIssueInfo, VnInfoWithCover, [](auto& c) {
    using C = VnMagazineIssueInfo;
    c.property("magazineName", "T@\"NSString\",C,N,VmagazineName_", &C::magazineName,
               &C::setMagazineName)
        .property("magazineNameSortingToken", "T@\"NSString\",R,C,N,VmagazineNameSortingToken_",
                  &C::magazineNameSortingToken)
        .property("issueName", "T@\"NSString\",C,N,VissueName_", &C::issueName, &C::setIssueName)
        .property("issueNameSortingToken", "T@\"NSString\",R,C,N,VissueNameSortingToken_",
                  &C::issueNameSortingToken)
        .property("headCode", "T@\"NSString\",C,N,VheadCode_", &C::headCode_)
        .property("modifiedDate", "T@\"NSDate\",C,N,VmodifiedDate_", &C::modifiedDate_)
        .property("pageCount", "Ti,N,VpageCount_", &C::pageCount_)
        .property("parentCode", "T@\"NSString\",C,N,VparentCode_", &C::parentCode,
                  &C::setParentCode)
        .property("prices", "T@\"NSArray\",C,N,Vprices_", &C::prices_)
        .property("pricesExpire", "T@\"NSDate\",C,N,VpricesExpire_",
                  &C::seldom<plat::Date, &C::Seldom::pricesExpire>,
                  &C::setSeldom<plat::Date, &C::Seldom::pricesExpire>)
        .property("issueDate", "T@\"NSDate\",C,N,VissueDate_", &C::issueDate, &C::setIssueDate)
        .property("issueDateSortingToken", "T@\"NSDate\",R,C,N", &C::issueDateSortingToken)
        .property("coverUrl", "T@\"NSString\",C,N,VcoverUrl_", &C::coverUrl_)
        .property("isPurchased", "Tc,N,VisPurchased_", &C::isPurchased_)
        .property("pageArray", "T@\"NSArray\",&,N,VpageArray_", &C::pageArray_)
        .property("bookKind", "Ti,N", &C::bookKind, &C::setBookKind)
        .property("type", "T@\"NSString\",C,N,Vtype_", &C::type_)
        .property("itemCode", "T@\"NSString\",C,N,VitemCode_", &C::itemCode_)
        .property("isFreeContent", "Tc,N,VisFreeContent_", &C::isFreeContent_)
        .property("printListPriceCurrency", "T@\"NSString\",C,N,VprintListPriceCurrency_",
                  &C::printListPriceCurrency, &C::setPrintListPriceCurrency)
        .property("printListPrice", "Td,N,VprintListPrice_", &C::printListPrice_)
        .property("revision", "Ti,N,Vrevision_", &C::revision_)
        .property("hiddenFromLibrary", "Tc,N,VhiddenFromLibrary_", &C::hiddenFromLibrary_)
        .property("sortIndex", "Ti,N,VsortIndex_", &C::sortIndex_)
        .property("finished", "Tc,N,Vfinished_", &C::finished_)
        .property("readed", "Tc,N,Vreaded_", &C::readed_)
        .property("author", "T@\"NSString\",C,N,Vauthor_", &C::author_)
        .property("category", "T@\"NSString\",C,N,Vcategory_", &C::category_)
        .property("isSample", "Tc,N,VisSample_", &C::isSample_)
        .property("publisher", "T@\"NSString\",C,N,Vpublisher_", &C::publisher_)
        .property("authorImage", "T@\"NSString\",C,N,VauthorImage_",
                  &C::seldom<std::string, &C::Seldom::authorImage>,
                  &C::setSeldom<std::string, &C::Seldom::authorImage>)
        .property("publisherImage", "T@\"NSString\",C,N,VpublisherImage_",
                  &C::seldom<std::string, &C::Seldom::publisherImage>,
                  &C::setSeldom<std::string, &C::Seldom::publisherImage>)
        .property("primaryCategoryImage", "T@\"NSString\",C,N,VprimaryCategoryImage_",
                  &C::seldom<std::string, &C::Seldom::primaryCategoryImage>,
                  &C::setSeldom<std::string, &C::Seldom::primaryCategoryImage>)
        .property("secondaryCategoryImage", "T@\"NSString\",C,N,VsecondaryCategoryImage_",
                  &C::seldom<std::string, &C::Seldom::secondaryCategoryImage>,
                  &C::setSeldom<std::string, &C::Seldom::secondaryCategoryImage>)
        .property("ISBN", "T@\"NSString\",C,N,VISBN_", &C::ISBN_)
        .property("fileSize", "Td,N,VfileSize_", &C::fileSize_)
        .property("primaryCategoryName", "T@\"NSString\",C,N,VprimaryCategoryName_",
                  &C::primaryCategoryName_)
        .property("secondaryCategoryName", "T@\"NSString\",C,N,VsecondaryCategoryName_",
                  &C::secondaryCategoryName_)
        .property("authorLink", "T@\"NSString\",C,N,VauthorLink_",
                  &C::seldom<std::string, &C::Seldom::authorLink>,
                  &C::setSeldom<std::string, &C::Seldom::authorLink>)
        .property("publisherLink", "T@\"NSString\",C,N,VpublisherLink_",
                  &C::seldom<std::string, &C::Seldom::publisherLink>,
                  &C::setSeldom<std::string, &C::Seldom::publisherLink>)
        .property("primaryCategoryLink", "T@\"NSString\",C,N,VprimaryCategoryLink_",
                  &C::seldom<std::string, &C::Seldom::primaryCategoryLink>,
                  &C::setSeldom<std::string, &C::Seldom::primaryCategoryLink>)
        .property("secondaryCategoryLink", "T@\"NSString\",C,N,VsecondaryCategoryLink_",
                  &C::seldom<std::string, &C::Seldom::secondaryCategoryLink>,
                  &C::setSeldom<std::string, &C::Seldom::secondaryCategoryLink>)
        .property("country", "T@\"NSString\",C,N,Vcountry_", &C::country_)
        .property("varnelSaleDate", "T@\"NSDate\",C,N,VvarnelSaleDate_", &C::varnelSaleDate_)
        .property("language", "T@\"NSString\",C,N,Vlanguage_", &C::language_)
        .property("supportInteractiveImage", "Ti,N,VsupportInteractiveImage_",
                  &C::supportInteractiveImage_)
        .property("supportInteractiveVideo", "Ti,N,VsupportInteractiveVideo_",
                  &C::supportInteractiveVideo_)
        .property("supportInteractiveAudio", "Ti,N,VsupportInteractiveAudio_",
                  &C::supportInteractiveAudio_)
        .property("interactiveSize", "Td,N,VinteractiveSize_", &C::interactiveSize_)
        .property("bestSellerPrimaryCateRank", "Ti,N,VbestSellerPrimaryCateRank_",
                  &C::bestSellerPrimaryCateRank_)
        .property("bestSellerSecondaryCateRank", "Ti,N,VbestSellerSecondaryCateRank_",
                  &C::bestSellerSecondaryCateRank_)
        .property("bestSellerRank", "Ti,N,VbestSellerRank_", &C::bestSellerRank_)
        .property("remainingIssues", "Ti,N,VremainingIssues_", &C::remainingIssues_)
        .property("totalIssues", "Ti,N,VtotalIssues_", &C::totalIssues_)
        .property("borrowDate", "T@\"NSString\",C,N,VborrowDate_",
                  &C::seldom<std::string, &C::Seldom::borrowDate>,
                  &C::setSeldom<std::string, &C::Seldom::borrowDate>)
        .property("dueDate", "T@\"NSString\",C,N,VdueDate_", &C::dueDate_)
        .property("subscriptionRequire", "Tc,N,VsubscriptionRequire_", &C::subscriptionRequire_)
        .property("available", "Tc,N,Vavailable_", &C::available_)
        .property("reserverCount", "Ti,N,VreserverCount_", &C::reserverCount_)
        .property("returnDate", "T@\"NSString\",C,N,VreturnDate_", &C::returnDate,
                  &C::setReturnDate)
        .property("returnDateValue", "T@\"NSDate\",C,N,VreturnDateValue_", &C::returnDateValue_)
        .property("bookStatus", "Ti,N,VbookStatus_", &C::bookStatus_)
        .property("isGetSample", "Tc,N,VisGetSample_", &C::isGetSample_)
        .property("readDirection", "Ti,N,VreadDirection_", &C::readDirection_)
        .property("asReadNow", "Tc,N,VasReadNow_", &C::asReadNow_)
        .property("summary", "T@\"NSString\",C,N,Vsummary_", &C::summary_)
        .property("defaultFormat", "Ti,R,N", &C::defaultFormat)
        .method("supportsContentFormat:", &C::supportsContentFormat)
        .method("issueFullDisplayName", &C::issueFullDisplayName)
        .method("coverPriceBaht", &C::coverPriceBaht);
})

PLAT_DEFINE_CLASS(VnBookDetail, VnMagazineIssueInfo, PLAT_NO_METHODS)

PLAT_DEFINE_CLASS(VnMagazineIssueInfoGroup, plat::Object, [](auto& c) {
    c.property("groupName", "T@\"NSString\",C,N,VgroupName_", &VnMagazineIssueInfoGroup::groupName_)
        .property("magIssueInfos", "T@\"NSMutableArray\",&,N,VmagIssueInfos_",
                  &VnMagazineIssueInfoGroup::magIssueInfos_);
})

namespace {

std::optional<std::string> sortingTokenOf(const std::optional<std::string>& name) {
    if (!name)
        return std::nullopt;
    return nameSortingToken(*name);
}

// Whether both lists hold numbers only, the same ones of the same types in the same order.
bool sameNumbers(const plat::Array& a, const plat::Array& b) {
    if (a.count() != b.count() || a.count() > 8)
        return false;
    for (size_t i = 0; i < a.count(); ++i) {
        const plat::Value first = a.objectAtIndex(i), second = b.objectAtIndex(i);
        const plat::Number* x = first.number();
        const plat::Number* y = second.number();
        if (!x || !y || x->type() != y->type() || !x->equals(*y))
            return false;
    }
    return true;
}

// The content formats an item is offered in when the reply names none: one list for all, as it
// never changes.
const Ref<plat::Array>& defaultContentFormats() {
    static const Ref<plat::Array> formats =
        plat::Array::make({plat::Value(int32_t{VnAssetFormatTypeJPG})});
    return formats;
}

// No prices: one empty list for all.
const Ref<plat::Array>& noPrices() {
    static const Ref<plat::Array> none = plat::Array::make({});
    return none;
}

}  // namespace

VnMagazineIssueInfo::VnMagazineIssueInfo()
    : prices_(noPrices()),
      printListPriceCurrency_("THB"),
      supportedFormats_(defaultContentFormats()) {}

std::optional<std::string> VnMagazineIssueInfo::magazineNameSortingToken() const {
    return sortingTokenOf(magazineName_);
}

std::optional<std::string> VnMagazineIssueInfo::issueNameSortingToken() const {
    return sortingTokenOf(issueName_);
}

void VnMagazineIssueInfo::setParentCode(std::optional<std::string> code) {
    parentCode_.reset();
    if (code && !code->empty())
        parentCode_ = std::move(code);
    issueDateSortingToken_.reset();
}

void VnMagazineIssueInfo::setIssueDate(std::optional<plat::Date> date) {
    issueDate_ = date;
    issueDateSortingToken_.reset();
}

std::optional<plat::Date> VnMagazineIssueInfo::issueDateSortingToken() const {
    if (!issueDateSortingToken_ && issueDate_) {
        issueDateSortingToken_ = parentCode_ ? *issueDate_ : plat::Date{issueDate_->seconds + 60};
    }
    return issueDateSortingToken_;
}

int32_t VnMagazineIssueInfo::bookKind() const {
    return type_ == "Magazine" ? 0 : 1;
}

std::optional<std::string> VnMagazineIssueInfo::printListPriceCurrency() const {
    if (!printListPriceCurrency_ || printListPriceCurrency_->empty())
        return "THB";
    return printListPriceCurrency_;
}

void VnMagazineIssueInfo::setReturnDate(std::optional<std::string> text) {
    setSeldom<std::string, &Seldom::returnDate>(std::move(text));
    returnDateValue_ = vnDateFromCompactDayText(returnDate());
}

bool VnMagazineIssueInfo::supportsContentFormat(int32_t format) const {
    // Entries count as numbers only: a text entry such as "3" never matches.
    bool found = false;
    supportedFormats_->enumerate([&](const plat::Value& entry) {
        found = entry.isNumber() && entry.number()->equals(plat::Number::fromInt64(format, 'i'));
        return !found;
    });
    return found;
}

int32_t VnMagazineIssueInfo::defaultFormat() const {
    if (supportsContentFormat(VnAssetFormatTypeEPUB))
        return VnAssetFormatTypeEPUB;
    return VnAssetFormatTypeJPG;
}

std::optional<std::string> VnMagazineIssueInfo::issueFullDisplayName() const {
    if (bookKind() == 0 && magazineName_ && !magazineName_->empty()) {
        return *magazineName_ + " | " + issueName_.value_or("");
    }
    return issueName_;
}

const plat::Class* VnMagazineIssueInfo::_classForPropertyDeserialization(
    const std::string& name) const {
    if (name == "pageArray")
        return &VnPageInfo::classObject();
    if (name == "prices")
        return &VnPriceInfo::classObject();
    return VnInfoWithCover::_classForPropertyDeserialization(name);
}

std::vector<std::string> VnMagazineIssueInfo::coreSerializationExcludedPropertyNames() const {
    auto names = VnInfoWithCover::coreSerializationExcludedPropertyNames();
    names.insert(names.end(),
                 {"magazineNameSortingToken", "hiddenFromLibrary", "issueDateSortingToken",
                  "issueNameSortingToken", "isSample", "pageArray", "defaultFormat"});
    return names;
}

std::vector<std::string> VnMagazineIssueInfo::_propertyNameSetForCustomWrite() const {
    auto names = VnInfoWithCover::_propertyNameSetForCustomWrite();
    names.insert(names.end(), {"issueDate", "varnelSaleDate"});
    return names;
}

void VnMagazineIssueInfo::setSerializedValue(const plat::Value& value, const std::string& key) {
    if (key != "issueDate" && key != "varnelSaleDate") {
        VnInfoWithCover::setSerializedValue(value, key);
        return;
    }
    // Null, a text that is not such a day, or a value that is no text at all clear the date.
    std::optional<plat::Date> date;
    if (value.isString())
        date = vnSlashedDayFormatter().dateFromString(value.stringView());
    if (key == "issueDate") {
        setIssueDate(date);
    } else {
        varnelSaleDate_ = date;
    }
}

plat::Value VnMagazineIssueInfo::serializedValueForProperty(const std::string& name,
                                                            const plat::PropertyEntry* property,
                                                            bool transient) const {
    const std::string_view asked = name;  // compared by length first
    if (asked == "issueDate" || asked == "varnelSaleDate") {
        const auto& date = asked == "issueDate" ? issueDate_ : varnelSaleDate_;
        if (!date)
            return plat::Value();
        return plat::Value(vnSlashedDayFormatter().stringFromDate(*date));
    }
    return VnInfoWithCover::serializedValueForProperty(name, property, transient);
}

void VnMagazineIssueInfo::additionalLoadFromDictionary(const Ref<plat::Dictionary>& dictionary) {
    VnInfoWithCover::additionalLoadFromDictionary(dictionary);
    static const plat::Value formatsKey("SupportedMediaFormats");
    if (auto formats = dictionary->objectForKey(formatsKey).array()) {
        // The record's copy of its reply holds the same list, detached already: share it.
        // (A type compare: no class derives from that one, and most records keep another kind.)
        const auto& persistent = persistentDictionary();
        const auto* kept = persistent && typeid(*persistent) == typeid(VndLoadedDictionary)
                               ? static_cast<const VndLoadedDictionary*>(persistent.get())
                               : nullptr;
        auto shared = kept ? kept->objectForKey(formatsKey).array() : nullptr;
        // Else the list of the thread's previous record, when it holds the same numbers.
        thread_local Ref<plat::Array> previous;
        if (!shared && previous && sameNumbers(*previous, *formats))
            shared = previous;
        supportedFormats_ = shared ? shared : detachedCopy(plat::Value(formats)).array();
        if (!kept)
            previous = supportedFormats_;
    }
    if (supportedFormats_->count() == 0)
        supportedFormats_ = defaultContentFormats();
    // "ReturnDateValue" is loaded after "ReturnDate": a null or unreadable value there must not
    // lose the day that the return date text gives.
    if (!returnDateValue_)
        returnDateValue_ = vnDateFromCompactDayText(returnDate());
}
