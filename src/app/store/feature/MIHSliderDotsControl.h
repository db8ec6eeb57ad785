#pragma once
// MIHSliderDotsControl: the row of dots under an image slider, one 15 × 15 button a slide, 22
// points apart, centred 8 points above the slider's bottom edge; the dot of the shown slide is
// highlighted. A click on a dot asks the slider (not retained) to show that slide. Archived with
// its two dot images.
#include <QImage>
#include <cstddef>

#include "platform/storage/KeyedArchive.h"
#include "platform_ui/ViewController.h"

class MIHSliderView;
class QAbstractButton;

class MIHSliderDotsControl : public ui::ViewController, public plat::Coding {
    PLAT_CLASS(MIHSliderDotsControl)
  public:
    static constexpr int kDotSize = 15;
    static constexpr int kDotStep = 22;
    static constexpr double kBottomMargin = 8.0;
    static constexpr const char* kNormalDotImage = "MIHSliderDotNormal.png";
    static constexpr const char* kHighlightedDotImage = "MIHSliderDotHighlighted.png";

    // Rebuilds the dots and centres the row in the slider's width at this moment.
    void setDotsCount(size_t count);
    // Centres the row in the slider's width, 8 points above its bottom edge.
    void centreInSlider();
    size_t dotsCount() const { return dotsCount_; }
    void setIndexOfHighlightedDot(size_t index);
    size_t indexOfHighlightedDot() const { return highlighted_; }

    const QImage& normalDotImage() const { return normalDotImage_; }
    const QImage& highlightedDotImage() const { return highlightedDotImage_; }
    void setNormalDotImage(QImage image) { normalDotImage_ = std::move(image); }
    void setHighlightedDotImage(QImage image) { highlightedDotImage_ = std::move(image); }

    Ref<MIHSliderView> sliderView() const { return sliderView_.lock(); }
    void setSliderView(const Ref<MIHSliderView>& slider) { sliderView_ = slider; }

    // The button of a dot (null beyond the count).
    QAbstractButton* dotButton(size_t index);

    void encodeWithCoder(plat::KeyedCoder& coder) const override;
    bool initWithCoder(const plat::KeyedCoder& coder) override;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    void dotClicked(size_t index);
    size_t dotsCount_ = 0;
    size_t highlighted_ = 0;
    QImage normalDotImage_;
    QImage highlightedDotImage_;
    WeakRef<MIHSliderView> sliderView_;
};
