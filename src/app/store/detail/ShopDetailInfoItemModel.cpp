#include "app/store/detail/ShopDetailInfoItemModel.h"

#include <QDateTime>
#include <QLocale>

#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

namespace {

std::string text(const std::optional<std::string>& value) {
    return value.value_or("");
}

// A whole number in the decimal style, with grouping separators.
std::string grouped(int number) {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(number).toStdString();
}

bool present(const std::optional<std::string>& value) {
    return value && !value->empty();
}

}  // namespace

std::string overallRankText(int rank) {
    return rank >= 1 && rank <= 10000 ? "#" + grouped(rank) + " Overall" : "N/A";
}

std::string categoryText(const std::optional<std::string>& name, int rank, const char* missing) {
    if (!present(name))
        return missing;
    return (rank > 0 ? "#" + grouped(rank) + " in " : std::string()) + *name;
}

std::string availabilityText(const VnMagazineIssueInfo& item) {
    if (item.available_)
        return "จำนวนเล่มที่สามารถยืมได้ " + std::to_string(item.remainingIssues_) + " เล่ม";
    const std::string queue = item.reserverCount_ >= 1
                                  ? "จอง " + std::to_string(item.reserverCount_) + " คิว"
                                  : std::string("ยังไม่มีการจอง");
    std::string date = "-";
    if (item.returnDateValue_) {
        const auto seconds = static_cast<qint64>(item.returnDateValue_->seconds);
        date = QDateTime::fromSecsSinceEpoch(seconds).toString("dd/MM/yyyy").toStdString();
    }
    return "จำนวนเล่มเต็มแล้ว " + queue + " ได้ไม่เกินวันที่ " + date;
}

std::string formatText(const VnMagazineIssueInfo& item) {
    const char* name = "N/A";
    switch (item.defaultFormat()) {
        case 1:
            name = "PDF";
            break;
        case 2:
            name = "JPEG";
            break;
        case 3:
            name = "EPUB";
            break;
        default:
            break;
    }
    const bool interactive = item.supportInteractiveVideo_ != 0 ||
                             item.supportInteractiveImage_ != 0 ||
                             item.supportInteractiveAudio_ != 0;
    return std::string(name) + (interactive ? " + Interactive Content" : "");
}

void ShopDetailInfoItemModel::fillNames(const VnMagazineInfo* magazine,
                                        const VnMagazineIssueInfo& item, bool isBook) {
    magazineName =
        isBook ? text(item.magazineName()) : text(magazine ? magazine->name() : std::nullopt);
    issueName = isBook ? text(item.author_) : text(item.issueName());
    publisher = text(item.publisher_);
}

void ShopDetailInfoItemModel::reloadDetail(const VnMagazineIssueInfo& item) {
    rank = overallRankText(item.bestSellerRank_);
    publisher = present(item.publisher_) ? *item.publisher_ : "N/A";
    category = categoryText(item.primaryCategoryName_, item.bestSellerPrimaryCateRank_, "N/A");
    category2 = categoryText(item.secondaryCategoryName_, item.bestSellerSecondaryCateRank_, "");
    for (auto group : {InfoItemGroup::GetSample, InfoItemGroup::BuyNow, InfoItemGroup::View,
                       InfoItemGroup::Cancel, InfoItemGroup::Reserve, InfoItemGroup::Borrow,
                       InfoItemGroup::Free, InfoItemGroup::ReadNow})
        hide(group);
    if (item.remainingIssues_ < 1) {
        show(InfoItemGroup::Reserve);
        hide(InfoItemGroup::ReadNow);
    } else {
        show(InfoItemGroup::Borrow);
        show(InfoItemGroup::ReadNow);
    }
    show(InfoItemGroup::Preview, item.bookKind() != 1);
    show(InfoItemGroup::GetSample, item.bookKind() == 1);
    digitalPrice = availabilityText(item);
    subscription = item.subscriptionRequire_ ? "*เฉพาะสมาชิกเท่านั้น" : "";
    type = formatText(item);
}

void ShopDetailInfoItemModel::showHeld() {
    show(InfoItemGroup::Return);
    show(InfoItemGroup::View);
    for (auto group : {InfoItemGroup::Reserve, InfoItemGroup::Borrow, InfoItemGroup::Cancel,
                       InfoItemGroup::ReadNow, InfoItemGroup::GetSample, InfoItemGroup::Preview})
        hide(group);
    digitalPrice = "ยืมแล้ว";
}

void ShopDetailInfoItemModel::showNotHeld(bool isBook) {
    hide(InfoItemGroup::Return);
    hide(InfoItemGroup::View);
    show(InfoItemGroup::GetSample, isBook);
    show(InfoItemGroup::Preview, !isBook);
}

void ShopDetailInfoItemModel::showReserved() {
    hide(InfoItemGroup::Reserve);
    hide(InfoItemGroup::Borrow);
    show(InfoItemGroup::Cancel);
}
