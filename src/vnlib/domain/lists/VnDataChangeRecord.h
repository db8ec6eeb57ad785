#pragma once
// VnDataChangeRecord: one entry of the difference between two lists of records: a new item
// (type 0, no original), a modified one (type 1, both) or a removed one (type 2, no update).
#include "vnlib/info/VnInfo.h"

class VnDataChangeRecord : public plat::Object {
    PLAT_CLASS(VnDataChangeRecord)
  public:
    enum ChangeType : int32_t { New = 0, Modified = 1, Removed = 2 };

    VnDataChangeRecord(int32_t changeType, Ref<VnInfo> originalData, Ref<VnInfo> updatedData)
        : changeType_(changeType),
          originalData_(std::move(originalData)),
          updatedData_(std::move(updatedData)) {}

    static Ref<VnDataChangeRecord> changeWithType(int32_t changeType, Ref<VnInfo> originalData,
                                                  Ref<VnInfo> newData);
    static Ref<VnDataChangeRecord> changeWithRemovedData(Ref<VnInfo> deletedData);
    static Ref<VnDataChangeRecord> changeWithNewData(Ref<VnInfo> newData);
    static Ref<VnDataChangeRecord> changeWithModifiedData(Ref<VnInfo> newData,
                                                          Ref<VnInfo> originalData);

    int32_t changeType() const { return changeType_; }
    const Ref<VnInfo>& originalData() const { return originalData_; }
    const Ref<VnInfo>& updatedData() const { return updatedData_; }

  private:
    int32_t changeType_;
    Ref<VnInfo> originalData_;
    Ref<VnInfo> updatedData_;
};
