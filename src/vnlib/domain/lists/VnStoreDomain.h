#pragma once
// VnStoreDomain: a domain whose whole list is one JSON data table of a local archive, named by
// dataTableName (by default the item class's name). The server's list replaces the table (its
// records without a code are held but not stored).
#include <filesystem>

#include "vnlib/domain/lists/VnDomain.h"
#include "vnlib/domain/storage/VnLocalArchive.h"

class VnStoreDomain : public VnDomain {
    PLAT_CLASS(VnStoreDomain)
  public:
    // The user context is not owned.
    VnStoreDomain(const Ref<plat::Object>& userContext, const plat::Class& itemClass,
                  Ref<VnRequestContext> itemsRequest, Ref<VnLocalArchive> archiveTarget);
    // The table lies in the bookstore's store archive.
    VnStoreDomain(const Ref<plat::Object>& userContext, const plat::Class& itemClass,
                  Ref<VnRequestContext> itemsRequest);

    const Ref<VnLocalArchive>& archiveTarget() const { return archiveTarget_; }
    const std::string& dataTableName() const { return dataTableName_; }
    void setDataTableName(std::string name) { dataTableName_ = std::move(name); }
    // The table of dataTableName in the archive (the name cannot leave the archive's folder).
    Ref<VnLocalDataTable> dataTable() const;

    VnInfoList itemsFromPersistentStorage() override;
    void persistItems(const VnInfoList& items) override;

  private:
    Ref<VnLocalArchive> archiveTarget_;
    std::string dataTableName_;
};
