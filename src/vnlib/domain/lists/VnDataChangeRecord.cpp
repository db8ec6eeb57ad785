#include "vnlib/domain/lists/VnDataChangeRecord.h"

PLAT_DEFINE_CLASS(VnDataChangeRecord, plat::Object, PLAT_NO_METHODS)

Ref<VnDataChangeRecord> VnDataChangeRecord::changeWithType(int32_t changeType,
                                                           Ref<VnInfo> originalData,
                                                           Ref<VnInfo> newData) {
    return std::make_shared<VnDataChangeRecord>(changeType, std::move(originalData),
                                                std::move(newData));
}

Ref<VnDataChangeRecord> VnDataChangeRecord::changeWithRemovedData(Ref<VnInfo> deletedData) {
    PLAT_PARAMETER_ASSERT(deletedData);
    return changeWithType(Removed, std::move(deletedData), nullptr);
}

Ref<VnDataChangeRecord> VnDataChangeRecord::changeWithNewData(Ref<VnInfo> newData) {
    PLAT_PARAMETER_ASSERT(newData);
    return changeWithType(New, nullptr, std::move(newData));
}

Ref<VnDataChangeRecord> VnDataChangeRecord::changeWithModifiedData(Ref<VnInfo> newData,
                                                                   Ref<VnInfo> originalData) {
    PLAT_PARAMETER_ASSERT(newData);
    PLAT_PARAMETER_ASSERT(originalData);
    return changeWithType(Modified, std::move(originalData), std::move(newData));
}
