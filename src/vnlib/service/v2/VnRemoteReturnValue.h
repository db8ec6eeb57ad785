#pragma once
// Return values of version-2 calls. VnRemoteReturnValue and its subclasses read their keys by
// hand (typed getters: a default only for a missing key); the VnInfoBase ones are ordinary records.
#include <optional>
#include <string>

#include "vnlib/info/VnInfoBase.h"

class VnRemoteReturnValue : public plat::Object {
    PLAT_CLASS(VnRemoteReturnValue)
  public:
    void initWithDictionary(const Ref<plat::Dictionary>& dictionary) {
        if (dictionary)
            loadFromDictionary(*dictionary);
    }
    virtual void loadFromDictionary(const plat::Dictionary&) {}
    std::string description() const override;
};

class VnCommonBoolReturnValue : public VnRemoteReturnValue {
    PLAT_CLASS(VnCommonBoolReturnValue)
  public:
    VnCommonBoolReturnValue() = default;
    // A success whose message and Thai message are both the text.
    VnCommonBoolReturnValue(std::string message, int32_t resultCode);
    static Ref<VnCommonBoolReturnValue> successWithMessage(std::string message, int32_t resultCode);

    void loadFromDictionary(const plat::Dictionary& d) override;
    bool isSuccess() const { return isSuccess_; }
    const std::optional<std::string>& message() const { return message_; }
    const std::optional<std::string>& messageTH() const { return messageTH_; }
    int32_t resultCode() const { return resultCode_; }

  protected:
    bool isSuccess_ = false;
    std::optional<std::string> message_;
    std::optional<std::string> messageTH_;
    int32_t resultCode_ = 0;
};

class VnPurchaseProductReturnValue : public VnCommonBoolReturnValue {
    PLAT_CLASS(VnPurchaseProductReturnValue)
  public:
    bool shouldSuppressMessage = false;
};

class VnRestoreInAppPurchaseReturnValue : public VnCommonBoolReturnValue {
    PLAT_CLASS(VnRestoreInAppPurchaseReturnValue)
  public:
    void loadFromDictionary(const plat::Dictionary& d) override;
    // VnPurchaseProductInfo records; null when the key is missing.
    const Ref<plat::MutableArray>& restoredProducts() const { return restoredProducts_; }

  private:
    Ref<plat::MutableArray> restoredProducts_;
};

class VnUserRegistrationReturnValue : public VnCommonBoolReturnValue {
    PLAT_CLASS(VnUserRegistrationReturnValue)
};

class VnMobileDataNumberDetectionReturnValue : public VnRemoteReturnValue {
    PLAT_CLASS(VnMobileDataNumberDetectionReturnValue)
  public:
    void loadFromDictionary(const plat::Dictionary& d) override;
    std::optional<std::string> MSISDN;
    std::optional<std::string> mobileOperator;
};

class VnUserAuthenticationReturnValue : public VnRemoteReturnValue {
    PLAT_CLASS(VnUserAuthenticationReturnValue)
  public:
    void loadFromDictionary(const plat::Dictionary& d) override;
    const plat::Value& serverMessage() const { return serverMessage_; }
    bool authenticated() const { return authenticated_; }
    bool isTestAccount() const { return isTestAccount_; }

  private:
    plat::Value serverMessage_;
    bool authenticated_ = false;
    bool isTestAccount_ = false;
};

class VnRequestOneTimePasswordReturnValue : public VnRemoteReturnValue {
    PLAT_CLASS(VnRequestOneTimePasswordReturnValue)
  public:
    int32_t resultCode = 0;
};

class VnVoidReturnValue : public VnRemoteReturnValue {
    PLAT_CLASS(VnVoidReturnValue)
};

class VnTransferUserBooksReturnValue : public VnInfoBase {
    PLAT_CLASS(VnTransferUserBooksReturnValue)
  public:
    bool isSuccess_ = false;
    std::optional<std::string> message_;
    Ref<plat::Array> bookCodes_;
    std::vector<std::string> _propertyNameSetForCustomWrite() const override {
        return {"bookCodes"};
    }
};

class VnReceiptInfo : public VnInfoBase {
    PLAT_CLASS(VnReceiptInfo)
  public:
    std::optional<std::string> transactionId_;
    std::optional<std::string> inAppProductId_;
};

class VnReceiptInfoEx : public VnReceiptInfo {
    PLAT_CLASS(VnReceiptInfoEx)
  public:
    std::optional<std::string> productDescription_;
    std::optional<plat::Bytes> receipt_;
    int32_t resultCode_ = 0;
    std::optional<std::string> resultMessage_;
};

class VnPurchaseProductInfo : public VnInfoBase {
    PLAT_CLASS(VnPurchaseProductInfo)
  public:
    std::optional<std::string> productCode_;
    std::optional<std::string> productName_;
    int32_t type_ = 0;
    double price_ = 0;
    std::optional<std::string> priceText_;
    int32_t currency_ = 0;
};

class VnAuthenticationMethodInfo : public VnInfoBase {
    PLAT_CLASS(VnAuthenticationMethodInfo)
  public:
    bool isExternalUser_ = false;
    int32_t method_ = 0;
    std::optional<std::string> salt_;
};
