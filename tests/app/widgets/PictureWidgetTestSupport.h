#pragma once
// What the picture widget screen tests share: pictures of one colour, a white host view at
// scale 2 or 1, the program's named images, and colour comparison of grabbed pixels.
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QWidget>
#include <filesystem>

#include "app/issueui/IssueUITestSupport.h"
#include "app/issueui/QtWidgetView.h"
#include "app/issueui/WidgetAssetManager.h"
#include "app/issueui/WidgetFactory.h"
#include "app/issueui/WidgetView.h"
#include "app/widgets/WidgetKinds.h"
#include "platform_ui/ResourceRegistry.h"

namespace picture_test {

// A picture of one colour as PNG bytes.
inline plat::Bytes colourPng(QColor colour, int width = 40, int height = 30) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return plat::Bytes(bytes.begin(), bytes.end());
}

inline bool near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 16 && std::abs(a.green() - b.green()) < 16 &&
           std::abs(a.blue() - b.blue()) < 16;
}

// Widgets of this library over Qt views in a shown white host of 600 by 400.
class PictureWidgetTest : public issueui_test::IssueUITest {
  protected:
    void SetUp() override {
        IssueUITest::SetUp();
        WidgetFactory::unregisterAllWidgetClasses();
        WidgetViewFactory::removeAllMakers();
        registerWidgetResources(ui::ResourceRegistry::shared());
        QtWidgetView::installPlainViewMaker();
        ui::ResourceRegistry::shared().addImageFolder(std::filesystem::path(VARNEL_SOURCE_DIR) /
                                                      "data" / "images");
        issue = makeIssue("MG-44", "Magazine", {{0, 0}});
        manager = std::make_shared<WidgetAssetManager>(issue->pageContextWithSourcePageIndex(0));
        host.setAutoFillBackground(true);
        QPalette palette;
        palette.setColor(QPalette::Window, Qt::white);
        host.setPalette(palette);
        host.resize(600, 400);
        host.show();
        hostView = QtWidgetView::borrowing(&host);
    }
    void TearDown() override {
        WidgetViewFactory::removeAllMakers();
        WidgetFactory::unregisterAllWidgetClasses();
        IssueUITest::TearDown();
    }
    void cache(const std::string& id, QColor colour, int width = 40, int height = 30) {
        cacheInteractiveFile(issue, 0, id, colourPng(colour, width, height));
    }
    template <class T>
    Ref<T> build(issueui_test::Entries keys) {
        return std::dynamic_pointer_cast<T>(
            WidgetFactory::widgetWithDictionary(issueui_test::dict(std::move(keys)), manager));
    }
    QColor pixel(int x, int y) { return host.grab().toImage().pixelColor(x, y); }
    static QWidget* widgetOf(const Ref<WidgetView>& view) {
        auto* qt = dynamic_cast<QtWidgetView*>(view.get());
        return qt ? qt->widget() : nullptr;
    }

    Ref<VnMagazineIssueContext> issue;
    Ref<WidgetAssetManager> manager;
    QWidget host;
    Ref<QtWidgetView> hostView;
};

}  // namespace picture_test
