#include "app/store/feature/MIHSliderDotsControl.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPushButton>
#include <optional>

#include "app/store/feature/MIHSliderView.h"
#include "platform_ui/ViewGeometry.h"

PLAT_DEFINE_CLASS(MIHSliderDotsControl, ui::ViewController, PLAT_NO_METHODS)

namespace {

constexpr const char* kNormalKey = "_normalDotImage";
constexpr const char* kHighlightedKey = "_highlightedDotImage";
constexpr const char* kTagProperty = "dotTag";

plat::Value pngData(const QImage& image) {
    if (image.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return plat::Value::data(plat::Bytes(bytes.begin(), bytes.end()));
}

// The image of archived data: none for missing data, nothing at all for data that is not one.
std::optional<QImage> imageOf(const plat::Value& value) {
    if (value.isNil())
        return QImage();
    const plat::Bytes* bytes = value.bytes();
    if (!bytes)
        return std::nullopt;
    QImage image;
    if (!image.loadFromData(bytes->data(), static_cast<int>(bytes->size())))
        return std::nullopt;
    return image;
}

QIcon iconOf(const QImage& image) {
    return QIcon(QPixmap::fromImage(image));
}

}  // namespace

std::unique_ptr<QWidget> MIHSliderDotsControl::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(kDotSize, kDotSize);
    return view;
}

QAbstractButton* MIHSliderDotsControl::dotButton(size_t index) {
    if (!isViewLoaded())
        return nullptr;
    for (auto* button : view()->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly)) {
        if (button->property(kTagProperty).toULongLong() == index)
            return button;
    }
    return nullptr;
}

void MIHSliderDotsControl::setDotsCount(size_t count) {
    dotsCount_ = count;
    QWidget* row = view();
    for (auto* button : row->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly)) {
        button->setParent(nullptr);
        button->deleteLater();
    }
    for (size_t i = 0; i < count; ++i) {
        auto* button = new QPushButton(row);  // owned by the row
        button->setGeometry(static_cast<int>(kDotStep * i), 0, kDotSize, kDotSize);
        button->setFlat(true);
        button->setStyleSheet("border: none; padding: 0");
        button->setIconSize(QSize(kDotSize, kDotSize));
        button->setIcon(iconOf(i == highlighted_ ? highlightedDotImage_ : normalDotImage_));
        button->setProperty(kTagProperty, static_cast<qulonglong>(i));
        QObject::connect(button, &QPushButton::clicked,
                         [weak = weakSelf<MIHSliderDotsControl>(), i] {
                             if (auto dots = weak.lock())
                                 dots->dotClicked(i);
                         });
        button->show();
    }
    centreInSlider();
}

void MIHSliderDotsControl::centreInSlider() {
    QWidget* row = view();
    const double width = kDotStep * static_cast<double>(dotsCount_) + kDotSize;
    if (QWidget* slider = row->parentWidget())
        ui::setFrame(row, {(slider->width() - width + kDotStep) / 2.0, kBottomMargin, width,
                           static_cast<double>(kDotSize)});
    else
        row->resize(static_cast<int>(width), kDotSize);
}

void MIHSliderDotsControl::setIndexOfHighlightedDot(size_t index) {
    highlighted_ = index;
    if (!isViewLoaded())
        return;
    for (auto* button : view()->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly)) {
        const bool on = button->property(kTagProperty).toULongLong() == index;
        button->setIcon(iconOf(on ? highlightedDotImage_ : normalDotImage_));
    }
}

void MIHSliderDotsControl::dotClicked(size_t index) {
    if (auto slider = sliderView_.lock())
        slider->dotViewSelected(index, QGuiApplication::keyboardModifiers());
}

void MIHSliderDotsControl::encodeWithCoder(plat::KeyedCoder& coder) const {
    coder.encodeObject(pngData(normalDotImage_), kNormalKey);
    coder.encodeObject(pngData(highlightedDotImage_), kHighlightedKey);
}

bool MIHSliderDotsControl::initWithCoder(const plat::KeyedCoder& coder) {
    const auto normal = imageOf(coder.decodeObjectForKey(kNormalKey));
    const auto highlighted = imageOf(coder.decodeObjectForKey(kHighlightedKey));
    if (!normal || !highlighted)
        return false;
    normalDotImage_ = *normal;
    highlightedDotImage_ = *highlighted;
    return true;
}
