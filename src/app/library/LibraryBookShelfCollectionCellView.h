#pragma once
// LibraryBookShelfCollectionCellView: one item on a shelf: its cover (the drawn
// "vn3_cover_back.png" until the picture arrives, and when it fails) with a soft shadow, title,
// second line, due date or sample mark, the download bar and the buttons to open, return, delete
// and stop. Its represented object is a LibraryShelfBookInfo. Its clicks go to its grid's
// delegate (the shelf) with the cell as argument, when the delegate answers them:
// "libraryBookCollectionCellSelect:" (only while the return button is hidden),
// "libraryBookCollectionCellRemove:", "libraryBookCollectionCellDelete:",
// "libraryBookShelfCellStopDownload:".
#include <memory>
#include <optional>
#include <string>

#include "app/library/LibraryResources.h"
#include "app/library/LibraryShelfBookInfo.h"
#include "platform_ui/CollectionView.h"

class QAbstractButton;
class QLabel;
class QProgressBar;
class QPushButton;
class QtImageView;

class LibraryBookShelfCollectionCellView : public ui::CollectionViewItem, public LibraryShelfCell {
    PLAT_CLASS(LibraryBookShelfCollectionCellView)
  public:
    static constexpr int kWidth = 150;
    static constexpr int kHeight = 290;
    static constexpr const char* kIdentifier = LibraryScreens::kShelfCell.identifier;

    LibraryBookShelfCollectionCellView();
    ~LibraryBookShelfCollectionCellView() override;

    // A cell as the library storyboard makes it (a plain one when none is registered).
    static Ref<LibraryBookShelfCollectionCellView> makeFromStoryboard();

    void setRepresentedObject(const plat::Value& object) override;
    Ref<VnMagazineIssueInfo> magazienIssueInfo() const override;
    bool removeMode() const { return removeMode_; }
    void setRemoveMode(bool removeMode);
    bool downloadMode() const { return downloadMode_; }
    void setDownloadMode(bool downloadMode) override;
    // The bar's value: clamped to the bar's 0 to 100; a value that is no number is not shown
    // (the bar keeps what it showed).
    void setDownloadProgressValue(double value) override;
    static std::optional<int> progressBarValue(double value);
    bool isOnScreen() const override;

    void itemButton_Click(const Ref<plat::Object>& sender);
    void actionButton_Click(const Ref<plat::Object>& sender);
    void deleteButton_Click(const Ref<plat::Object>& sender);
    void stopDownloadButton_Click(const Ref<plat::Object>& sender);

    // Outlets (null until the view loads).
    QProgressBar* downloadProgress() const;
    QLabel* titleTextField() const;
    QLabel* descriptionTextField() const;
    QLabel* dueDateTextField() const;
    QLabel* coverImageView() const;
    QAbstractButton* itemSelectButton() const;
    QPushButton* removeButton() const;
    QPushButton* deleteButton() const;
    QPushButton* stopDownloadButton() const;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    struct Outlets;
    void tellShelf(const char* selector);

    std::unique_ptr<Outlets> outlets_;
    bool removeMode_ = false;
    bool downloadMode_ = false;
    Ref<QtImageView> cover_;
    std::optional<std::string> coverUrl_;  // the cover last asked for
};
