#include "app/widgets/EmailLinkWidget.h"

#include <string_view>

#include "vnlib/dev/util/VndDictionaryAdditions.h"

PLAT_DEFINE_CLASS(EmailLinkWidget, LinkWidget, [](auto&) {})

void EmailLinkWidget::loadFromDictionary(const plat::Dictionary& description) {
    LinkWidget::loadFromDictionary(description);
    recipient_ = stringForKey(description, "Recipient");
    subject_ = stringForKey(description, "Subject");
    body_ = stringForKey(description, "Body");
}

void EmailLinkWidget::invokeButtonAction(const Ref<plat::Object>&) {
    openLink(mailLink());
}

std::string EmailLinkWidget::escapeMailPart(const std::string& text) {
    static constexpr std::string_view kEscaped = "\"<>\\^`{|}&=?#%";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f || kEscaped.find(c) != std::string_view::npos) {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0f];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string EmailLinkWidget::mailLink() const {
    return "mailto:" + escapeMailPart(recipient_.value_or("")) +
           "?SUBJECT=" + escapeMailPart(subject_.value_or("")) +
           "&BODY=" + escapeMailPart(body_.value_or(""));
}
