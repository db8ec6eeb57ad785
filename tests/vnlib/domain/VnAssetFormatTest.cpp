#include <gtest/gtest.h>

#include "platform/core/Exception.h"
#include "vnlib/domain/VnAssetFormat.h"
#include "vnlib/domain/VnMagazineIssueKind.h"

TEST(VnAssetFormat, FormatTextOfEachNumberAndNoOther) {
    const char* texts[] = {"PDF", "JPG", "XML", "EPUB", "DEFAULT"};
    for (int32_t type = 0; type < 5; ++type)
        EXPECT_EQ(assetFormatFromEnumType(type), texts[type]);
    for (int32_t wrong : {-1, 5}) {
        try {
            assetFormatFromEnumType(wrong);
            ADD_FAILURE() << wrong;
        } catch (const plat::Exception& e) {
            EXPECT_EQ(e.reason().rfind("Invalid parameter not satisfying: ", 0), 0u) << e.reason();
        }
    }
    EXPECT_STREQ(VnMagazineIssueKind_NewArrival, VnMagazineIssueKind_Shops);
}
