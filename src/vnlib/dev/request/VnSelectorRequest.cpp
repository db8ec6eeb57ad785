#include "vnlib/dev/request/VnSelectorRequest.h"

PLAT_DEFINE_CLASS(VnSelectorRequest, VnRequestContext, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(VnRangedRequest, VnRequestContext, PLAT_NO_METHODS)
