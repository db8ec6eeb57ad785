#pragma once
// VnTransferUserBooksRequest: the "TransferUserBooks" call, which moves the books of another
// account (the source) to the signed-in user. Its request dictionary holds the source account's
// credentials under "sourceAuthentication"; before sending, they are replaced by "sourceUser"
// (the user name) and "sourcePasswordHash" (their stored hash salted with the session id).
#include "vnlib/service/v2/VnClientServiceRemoteRequest.h"

class VnTransferUserBooksRequest : public VnClientServiceCommonRequest {
    PLAT_CLASS(VnTransferUserBooksRequest)
  public:
    using VnClientServiceCommonRequest::VnClientServiceCommonRequest;

    // A copy of the dictionary with the credentials rewritten; missing credentials give null
    // for both keys. Anything but a dictionary is sent as it is.
    plat::Value coreTransformRequestObject(const plat::Value& object) const override;
};
