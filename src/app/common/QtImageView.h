#pragma once
// QtImageView: a label that shows remote pictures through the AFImageView loader. A cached
// picture shows at once; otherwise the placeholder shows until the picture arrives, and stays
// when the load fails. The label belongs to its widget tree and may go first: a load that ends
// after that shows nothing. Main thread only; made shared (loads hold the view until they end).
// A label already given its size gets a picture of another size stretched to it once (labels of
// that size showing the same picture share that copy), not on each paint.
//
//   auto cover = QtImageView::make(label);
//   cover->setImageWithURL(record->coverUrl_, placeholder);
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <optional>
#include <string>

#include "external/AFImageView.h"

class QLabel;

class QtImageView : public AFImageView {
  public:
    explicit QtImageView(QLabel* label);
    static Ref<QtImageView> make(QLabel* label) { return std::make_shared<QtImageView>(label); }

    // A picture; null shows the placeholder.
    void setImage(const Ref<plat::Image>& image) override;
    void setImage(const QImage& image);
    // Loads the picture at the URL text; none, or a text that is no URL, shows the placeholder
    // and stops the load in flight.
    void setImageWithURL(const std::optional<std::string>& url, const QImage& placeholder);
    using AFImageView::setImageWithURL;

    QLabel* label() const { return label_; }
    // What the view shows now (null before anything was set).
    const QImage& image() const { return image_; }

  private:
    QPointer<QLabel> label_;
    QImage placeholder_;
    QImage image_;
    QPixmap pixmap_;  // the label's pixmap of image_
};
