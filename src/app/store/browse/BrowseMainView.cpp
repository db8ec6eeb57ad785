#include "app/store/browse/BrowseMainView.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/store/StoreMessages.h"
#include "app/store/browse/BrowseSubView.h"
#include "app/store/common/StoreSelectionLook.h"
#include "platform_ui/ConnectAction.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(BrowseMainView, ui::ViewController, [](auto& c) {
    using V = BrowseMainView;
    for (const char* protocol : {"BrowseSubViewDelegate"})
        c.cls().addProtocolName(protocol);
    c.method(StoreScreenMessages::kSetDelegate, &V::setDelegate)
        .method("bookButton_Click:", &V::bookButton_Click)
        .method("magazineButton_Click:", &V::magazineButton_Click)
        .method("bookPopUpButton_Click:", &V::bookPopUpButton_Click)
        .method("magazinePopUpButton_Click:", &V::magazinePopUpButton_Click)
        .method("btnBorder", &V::btnBorder)
        .method("bookSelected", &V::bookSelected)
        .method("magazineSelected", &V::magazineSelected)
        .method("bookUnselected", &V::bookUnselected)
        .method("magazineUnselected", &V::magazineUnselected)
        .method(StoreListMessages::kBrowseSubStartLoading, &V::browseSubViewStartLoading)
        .method(StoreListMessages::kBrowseSubLoadComplete, &V::browseSubViewLoadComplete)
        .method(StoreListMessages::kBrowseSubSelect,
                &V::browseSubView_selectShopGroupInfo_withHeaderGroupInfo);
})

namespace {

// A framed tab button with its label inside.
QPushButton* makeTab(QWidget* parent, QPointer<QLabel>& label, const char* text) {
    auto* button = new QPushButton(parent);
    button->setCheckable(true);
    button->setFixedSize(120, 30);
    auto* layout = new QHBoxLayout(button);
    layout->setContentsMargins(4, 2, 4, 2);
    label = new QLabel(QString::fromUtf8(text), button);
    // Its own font: a style sheet on the button (the selection look) stops the button's font
    // from reaching it.
    label->setFont(ui::thaiCapableFont());
    label->setAlignment(Qt::AlignCenter);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(label);
    return button;
}

QComboBox* makePopUp(QWidget* parent, const char* first, const char* publisher) {
    auto* popUp = new QComboBox(parent);
    popUp->addItem(QString::fromUtf8(first), 0);
    popUp->addItem(QString::fromUtf8(publisher), BrowseMainView::kPublisherTag);
    return popUp;
}

bool publisherChosen(const QComboBox* popUp) {
    return popUp && popUp->currentData().toInt() == BrowseMainView::kPublisherTag;
}

}  // namespace

BrowseMainView::BrowseMainView() : ui::ViewController(kNibName) {}

void BrowseMainView::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController("", kNibName,
                                [] { return ui::ViewController::create<BrowseMainView>(); });
}

Ref<plat::Object> BrowseMainView::makeSubView(bool magazine) {
    auto sub = ui::ResourceRegistry::shared().instantiateController("", BrowseSubView::kNibName);
    plat::sendIfResponds(sub, StoreScreenMessages::kSetDelegate, self());
    if (magazine)
        plat::sendIfResponds(sub, StoreScreenMessages::kSetIsMagazine, true);
    return sub;
}

void BrowseMainView::awakeFromNib() {
    ui::ViewController::awakeFromNib();
    browseBookSubView_ = makeSubView(false);
    browseMagazineSubView_ = makeSubView(true);
    publisherBookSuvView_ = makeSubView(false);
    publisherMagSubView_ = makeSubView(false);
}

std::unique_ptr<QWidget> BrowseMainView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(1024, 700);
    auto* column = new QVBoxLayout(view.get());
    auto* bar = new QHBoxLayout();
    bookButton = makeTab(view.get(), bookText, "หนังสือ");
    magazineButton = makeTab(view.get(), magazineText, "นิตยสาร");
    bookPopUpButton = makePopUp(view.get(), "ผู้แต่ง", "สำนักพิมพ์");
    magazinePopUpButton = makePopUp(view.get(), "ชื่อนิตยสาร", "สำนักพิมพ์");
    for (QWidget* widget : std::initializer_list<QWidget*>{bookButton, magazineButton,
                                                           bookPopUpButton, magazinePopUpButton}) {
        widget->setFont(ui::thaiCapableFont());
        bar->addWidget(widget);
    }
    bar->addStretch(1);
    browseSubMainView = new QWidget(view.get());
    column->addLayout(bar);
    column->addWidget(browseSubMainView, 1);

    const auto weak = weakSelf<BrowseMainView>();
    ui::connectAction(bookButton, &QPushButton::clicked, weak, &BrowseMainView::bookButton_Click);
    ui::connectAction(magazineButton, &QPushButton::clicked, weak,
                      &BrowseMainView::magazineButton_Click);
    ui::connectAction(bookPopUpButton, &QComboBox::activated, weak,
                      &BrowseMainView::bookPopUpButton_Click);
    ui::connectAction(magazinePopUpButton, &QComboBox::activated, weak,
                      &BrowseMainView::magazinePopUpButton_Click);
    return view;
}

void BrowseMainView::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    bookSelected();
    magazineUnselected();
    bookButton_Click(nullptr);
}

void BrowseMainView::showTab(bool books) {
    if (auto shown = std::dynamic_pointer_cast<ui::ViewController>(currentSubView_))
        shown->removeFromContainer();
    bookButton->setChecked(books);
    magazineButton->setChecked(!books);
    magazinePopUpButton->setHidden(books);
    bookPopUpButton->setHidden(!books);
    const bool publisher = books ? isPublisherBook_ : isPublisherMagazine_;
    const Ref<plat::Object>& chosen =
        books ? (publisher ? publisherBookSuvView_ : browseBookSubView_)
              : (publisher ? publisherMagSubView_ : browseMagazineSubView_);
    const char* code = books ? (publisher ? kBookPublisherCode : kAuthorCode)
                             : (publisher ? kMagazinePublisherCode : kMagazineCode);
    plat::sendIfResponds(chosen, StoreScreenMessages::kBrowseBookWidget, std::string(code), true);
    if (auto controller = std::dynamic_pointer_cast<ui::ViewController>(chosen))
        controller->addToContainer(browseSubMainView);
    currentSubView_ = chosen;
    if (books) {
        bookSelected();
        magazineUnselected();
    } else {
        magazineSelected();
        bookUnselected();
    }
}

void BrowseMainView::bookButton_Click(Ref<plat::Object>) {
    showTab(true);
}

void BrowseMainView::magazineButton_Click(Ref<plat::Object>) {
    showTab(false);
}

void BrowseMainView::bookPopUpButton_Click(Ref<plat::Object>) {
    isPublisherBook_ = publisherChosen(bookPopUpButton);
    bookButton_Click(nullptr);
}

void BrowseMainView::magazinePopUpButton_Click(Ref<plat::Object>) {
    isPublisherMagazine_ = publisherChosen(magazinePopUpButton);
    magazineButton_Click(nullptr);
}

void BrowseMainView::btnBorder() {
    // The frame (width 1.0, radius 3.0) comes with the selection look of each tab.
}

void BrowseMainView::bookSelected() {
    btnBorder();
    showSelectionLook(bookButton, bookText, true);
}

void BrowseMainView::magazineSelected() {
    btnBorder();
    showSelectionLook(magazineButton, magazineText, true);
}

void BrowseMainView::bookUnselected() {
    btnBorder();
    showSelectionLook(bookButton, bookText, false);
}

void BrowseMainView::magazineUnselected() {
    btnBorder();
    showSelectionLook(magazineButton, magazineText, false);
}

void BrowseMainView::browseSubViewStartLoading() {
    plat::sendIfResponds(delegate(), StoreListMessages::kBrowseStartLoading);
}

void BrowseMainView::browseSubViewLoadComplete() {
    plat::sendIfResponds(delegate(), StoreListMessages::kBrowseLoadComplete);
}

void BrowseMainView::browseSubView_selectShopGroupInfo_withHeaderGroupInfo(
    Ref<plat::Object>, Ref<VnShopGroupInfo> item, Ref<VnShopGroupInfo> header) {
    plat::sendIfResponds(delegate(), StoreListMessages::kBrowseSelect, self(), std::move(item),
                         std::move(header));
}

Ref<VnShopGroupInfo> BrowseMainView::newShopGroupInfo(const std::string& title,
                                                      const std::string& description,
                                                      const std::string& imageUrl, int32_t type) {
    auto group = std::make_shared<VnShopGroupInfo>();
    group->Title_ = title;
    group->Description_ = description;
    group->ImageUrl_ = imageUrl;
    group->Type_ = type;
    return group;
}
