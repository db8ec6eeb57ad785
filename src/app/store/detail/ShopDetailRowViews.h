#pragma once
// The plain rows of the item detail: the summary ("About"), the technical description
// ("Description") and the review row, which the screen never lists; each has the standard text
// field of a table cell, which the screen empties. ShopReviewItemView: a review's controller,
// which nothing makes.
#include <QPointer>
#include <QWidget>

#include "platform_ui/ViewController.h"

class QLabel;

class ShopDetailCellView : public QWidget {
  public:
    explicit ShopDetailCellView(QWidget* parent = nullptr);
    QPointer<QLabel> textField;

  protected:
    QLabel* addField(int x, int y, int width, int height, const char* caption = nullptr);
};

class ShopDetailAboutInfoView : public ShopDetailCellView {
  public:
    static constexpr const char* kIdentifier = "About";
    explicit ShopDetailAboutInfoView(QWidget* parent = nullptr);
    QPointer<QLabel> summaryTextField;
};

class ShopDetailDescriptionView : public ShopDetailCellView {
  public:
    static constexpr const char* kIdentifier = "Description";
    explicit ShopDetailDescriptionView(QWidget* parent = nullptr);
    QPointer<QLabel> isbnTextField, printLengthTextField, fileSizeTextField,
        interactiveSizeTextField, onSaleDateTextField, countryTextField, languageTextField;
};

class ShopReviewMainView : public ShopDetailCellView {
  public:
    static constexpr const char* kIdentifier = "Review";
    using ShopDetailCellView::ShopDetailCellView;
};

class ShopReviewItemView : public ui::ViewController {
    PLAT_CLASS(ShopReviewItemView)
  public:
    using ui::ViewController::ViewController;
};
