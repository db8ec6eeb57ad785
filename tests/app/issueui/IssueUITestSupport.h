#pragma once
// What the issue screen tests share: a bookstore context that never reaches a service, issue
// contexts over records whose page lists the test sets directly, cached metadata and interactive
// files written straight into the content cache, description builders, and stand-ins for the
// widget kinds that other libraries provide (each needs the files its description names).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/issueui/VisibleWidget.h"
#include "platform/core/Collections.h"
#include "platform/storage/ScopedEnvironment.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"

namespace issueui_test {

using Entries = std::vector<std::pair<plat::Value, plat::Value>>;

inline plat::Value dict(Entries entries) {
    return plat::Value(Ref<plat::Dictionary>(plat::MutableDictionary::make(std::move(entries))));
}
inline plat::Value list(std::vector<plat::Value> values) {
    return plat::Value(plat::Array::make(std::move(values)));
}
inline plat::Value yes() {
    return plat::Value::boolean(true);
}
inline plat::Value no() {
    return plat::Value::boolean(false);
}
// A description's dictionary.
inline Ref<plat::Dictionary> widgetDictionary(Entries entries) {
    return plat::MutableDictionary::make(std::move(entries));
}

// A picture of that size as PNG bytes.
plat::Bytes pngBytes(int width, int height);

class IssueUITest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // An issue of that code and type ("Magazine", "Book") whose page list holds (source,
    // presentation) pairs; an empty list gives no page list at all.
    Ref<VnMagazineIssueContext> makeIssue(const std::string& code, const char* type,
                                          const std::vector<std::pair<int, int>>& pages,
                                          Ref<VnBookStoreUserContext> owner = nullptr);
    // "Pages" entries, keyed by source index, plus the given root keys.
    static void cacheMetadata(const Ref<VnMagazineIssueContext>& issue, const plat::Value& root);
    // Caches an interactive file and hands it to the page, as a finished download does.
    static void cacheInteractiveFile(const Ref<VnMagazineIssueContext>& issue, int sourceIndex,
                                     const std::string& fileId, const plat::Bytes& bytes);

    testing_support::ScopedEnvironment environment;
    Ref<VnBookStoreContext> context;
    Ref<VnBookStoreUserContext> user;
};

// Stands in for a widget class of another library: reads the keys that name its files (per the
// class it stands for), requires those files and is ready once they are there. Buttonless for
// the picture kinds. "ImageView360Widget" throws "ArgumentOutOfRange" for an id length outside
// 1 to 32 or more than 1,000 ids.
class StandInWidget : public VisibleWidget {
    PLAT_CLASS(StandInWidget)
  public:
    void loadFromDictionary(const plat::Dictionary& description) override;
    std::vector<std::string> _requiredAssetFileIds() const override { return files; }
    bool hasButton() const override;
    bool readyForDisplay() override;

    std::string standsFor;
    std::vector<std::string> files;
};

// The ten widget classes of the other library, as stand-ins.
const std::vector<std::string>& otherWidgetClassNames();
void registerStandInWidgetClasses();

}  // namespace issueui_test
