#pragma once
// EmailLinkWidget: a page area that starts a mail message to "Recipient" with "Subject" and
// "Body" through the system's mail program. Each part is percent-escaped in UTF-8, the
// characters that would end it early ("&", "=", "?", "#", "%") included; an absent part is empty.
#include "app/widgets/LinkWidget.h"

class EmailLinkWidget : public LinkWidget {
    PLAT_CLASS(EmailLinkWidget)
  public:
    void loadFromDictionary(const plat::Dictionary& description) override;
    void invokeButtonAction(const Ref<plat::Object>& sender) override;

    // "mailto:<recipient>?SUBJECT=<subject>&BODY=<body>", each part escaped.
    std::string mailLink() const;
    // A mail link part escaped: blanks, controls, bytes outside ASCII, the characters no address
    // may hold and the query's own delimiters become %XX of their UTF-8 bytes.
    static std::string escapeMailPart(const std::string& text);

  private:
    std::optional<std::string> recipient_;
    std::optional<std::string> subject_;
    std::optional<std::string> body_;
};
