#include "IssueUITestSupport.h"

#include <QBuffer>
#include <QImage>

#include "app/issueui/WidgetFactory.h"
#include "platform/core/Exception.h"
#include "platform/storage/Keychain.h"
#include "platform/storage/MemoryKeychainBackend.h"
#include "platform/storage/PropertyList.h"
#include "platform/storage/UserDefaults.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"
#include "vnlib/domain/content/VnLocalCacheAsset.h"
#include "vnlib/info/catalogue/VnPageInfo.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"

PLAT_DEFINE_CLASS(issueui_test::StandInWidget, VisibleWidget, PLAT_NO_METHODS)

namespace issueui_test {

plat::Bytes pngBytes(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return plat::Bytes(bytes.begin(), bytes.end());
}

void IssueUITest::SetUp() {
    environment.set("VARNEL_HOME", testing_support::freshTestFolder().string());
    plat::UserDefaults::resetStandardUserDefaults();
    plat::Keychain::setShared(
        std::make_shared<plat::Keychain>(std::make_unique<plat::MemoryKeychainBackend>()));
    auto configuration = std::make_shared<VnClientServiceConfiguration>();
    configuration->setAppCode("VARNEL");
    configuration->setAuthorizationToken("00000000000000000000");
    // Nothing listens there: these tests make no request.
    context = VnBookStoreContextFactory(*plat::Url::parse("http://127.0.0.1:9/BookService.asmx"),
                                        configuration)
                  .newContext();
    user = context->activeUserContext();
}

void IssueUITest::TearDown() {
    user.reset();
    context.reset();
    plat::Keychain::setShared(nullptr);
    plat::UserDefaults::resetStandardUserDefaults();
}

Ref<VnMagazineIssueContext> IssueUITest::makeIssue(const std::string& code, const char* type,
                                                   const std::vector<std::pair<int, int>>& pages,
                                                   Ref<VnBookStoreUserContext> owner) {
    auto info = std::make_shared<VnMagazineIssueInfo>();
    info->setCode(code);
    info->itemCode_ = code;
    info->type_ = type;
    if (!pages.empty()) {
        std::vector<plat::Value> entries;
        for (auto [source, presentation] : pages) {
            auto page = std::make_shared<VnPageInfo>();
            page->setSourcePageIndex(source);
            page->presentationPageIndex_ = presentation;
            entries.push_back(plat::Value::fromObject(page));
        }
        info->pageArray_ = plat::Array::make(std::move(entries));
    }
    return VnMagazineIssueContext::make(owner ? owner : user, info);
}

void IssueUITest::cacheMetadata(const Ref<VnMagazineIssueContext>& issue, const plat::Value& root) {
    auto data = plat::PropertyList::dataWithPropertyList(root);
    ASSERT_TRUE(data);
    auto cache = issue->userContext()->cachedAssetWithId(issue->contentRenderingMetadataAssetId());
    ASSERT_FALSE(cache->replaceWithData(*data));
}

void IssueUITest::cacheInteractiveFile(const Ref<VnMagazineIssueContext>& issue, int sourceIndex,
                                       const std::string& fileId, const plat::Bytes& bytes) {
    auto cache =
        issue->userContext()->cachedAssetWithId(issue->interactiveContentAssetIdWithFileId(fileId));
    ASSERT_FALSE(cache->replaceWithData(bytes));
    issue->pageContextWithSourcePageIndex(sourceIndex)
        ->startLoadingInteractiveAssetWithFileIdIfNeeded(fileId);
}

// ---- Stand-in widget kinds
// -------------------------------------------------------------------------

namespace {

void addText(std::vector<std::string>& files, const plat::Dictionary& description,
             const char* key) {
    if (auto text = stringForKey(description, key))
        files.push_back(*text);
}

std::vector<std::string> series(const plat::Dictionary& description) {
    const std::string format = stringForKey(description, "ImageFormat", "");
    const int32_t start = intForKey(description, "ImageIdStart", 0);
    const int32_t end = intForKey(description, "ImageIdEnd", 0);
    const int32_t length = intForKey(description, "ImageIdLength", 0);
    const int64_t low = std::min(start, end);
    const int64_t high = std::max(start, end);
    if (length < 1 || length > 32 || high - low >= 1000)
        throw plat::Exception("ArgumentOutOfRange", "The image id series cannot be built");
    std::vector<std::string> names;
    for (int64_t id = low; id <= high; ++id) {
        std::string number = std::to_string(id);
        if (number.size() < static_cast<size_t>(length))
            number.insert(0, static_cast<size_t>(length) - number.size(), '0');
        std::string name = format;
        for (size_t at = name.find("<Id>"); at != std::string::npos;
             at = name.find("<Id>", at + number.size()))
            name.replace(at, 4, number);
        names.push_back(name);
    }
    return names;
}

}  // namespace

void StandInWidget::loadFromDictionary(const plat::Dictionary& description) {
    VisibleWidget::loadFromDictionary(description);
    if (standsFor == "ImageWidget") {
        addText(files, description, "ImageFileName");
    } else if (standsFor == "ImageScrollWidget") {
        if (auto views = description.objectForKey("ImageViews").array()) {
            views->enumerate([&](const plat::Value& view) {
                if (auto entry = view.dictionary())
                    addText(files, *entry, "ImageFileName");
                return true;
            });
        }
    } else if (standsFor == "ImageView360Widget") {
        files = series(description);
    } else if (standsFor == "SlideshowButton") {
        if (auto names = description.objectForKey("ImageFileNames").array()) {
            names->enumerate([&](const plat::Value& name) {
                if (name.string())
                    files.push_back(*name.string());
                return true;
            });
        }
    } else if (standsFor == "PopupVideoButton") {
        addText(files, description, "VideoFileName");
    } else if (standsFor == "VideoAsset") {
        addText(files, description, "Id");
    } else if (standsFor == "AudioPlayerWidget") {
        addText(files, description, "AudioFileName");
    }
}

bool StandInWidget::hasButton() const {
    return standsFor != "ImageWidget" && standsFor != "ImageScrollWidget" &&
           standsFor != "ImageView360Widget";
}

bool StandInWidget::readyForDisplay() {
    return VisibleWidget::readyForDisplay() && assetIdListAvailable(files);
}

const std::vector<std::string>& otherWidgetClassNames() {
    static const std::vector<std::string> names{
        "ImageView360Widget", "PageLinkWidget",    "VideoAsset",  "SlideshowButton",
        "PopupVideoButton",   "ImageScrollWidget", "ImageWidget", "UrlLinkWidget",
        "EmailLinkWidget",    "AudioPlayerWidget"};
    return names;
}

void registerStandInWidgetClasses() {
    for (const auto& name : otherWidgetClassNames()) {
        WidgetFactory::registerWidgetClass(
            name,
            [name](const plat::Dictionary& description,
                   const Ref<WidgetAssetManager>& assetManager) -> Ref<OverlayData> {
                auto widget = std::make_shared<StandInWidget>();
                widget->standsFor = name;
                widget->setAssetManager(assetManager);
                widget->loadFromDictionary(description);
                return widget;
            });
    }
}

}  // namespace issueui_test
