#include "app/shell/WindowController.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QSignalBlocker>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <optional>

#include "app/services/AreaSeams.h"
#include "app/services/GlobalService.h"
#include "app/services/LibraryScreens.h"
#include "app/services/LibraryShelves.h"
#include "app/services/StoreNavigation.h"
#include "app/shell/ContentArea.h"
#include "app/shell/SettingView.h"
#include "app/signon/OAuth.h"
#include "platform/core/Log.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/domain/context/VnBookStoreContext.h"

PLAT_DEFINE_CLASS(WindowController, ui::WindowController, [](auto& c) {
    c.method("libraryToolbar_Click:", &WindowController::libraryToolbar_Click)
        .method("homeFeatureToolbar_Click:", &WindowController::homeFeatureToolbar_Click)
        .method("bookFeatuerToolbar_Click:", &WindowController::bookFeatuerToolbar_Click)
        .method("magazineFeatureToolbar_Click:", &WindowController::magazineFeatureToolbar_Click)
        .method("newspaperToolbar_Click:", &WindowController::newspaperToolbar_Click)
        .method("topChartToolbar_Click:", &WindowController::topChartToolbar_Click)
        .method("categoryToolbar_Click:", &WindowController::categoryToolbar_Click)
        .method("browseToolbar_Click:", &WindowController::browseToolbar_Click)
        .method("searchToolbar_Click:", &WindowController::searchToolbar_Click)
        .method("searchAciton:", &WindowController::searchAciton)
        .method("menu_Click:", &WindowController::menu_Click)
        .method("desiredSelector", &WindowController::desiredSelector)
        .method("shopFeatureMainView:selectShopGroupInfo:",
                &WindowController::shopFeatureMainView_selectShopGroupInfo)
        .method("_setContentViewToName:", &WindowController::_setContentViewToName)
        .method("logInButton_Click:", &WindowController::logInButton_Click)
        .method(SettingViewDelegate::kCloseButtonClick,
                &WindowController::settingViewCloseButtonClick)
        .method(SettingViewDelegate::kClickForLogIn, &WindowController::settingViewClickForLogIn)
        .method(SettingViewDelegate::kClickForLogOut, &WindowController::settingViewClickForLogOut)
        .method(OAuthDelegate::kDidFinish, &WindowController::authRequest_didFinishWithResponse)
        .method(OAuthDelegate::kDidFail, &WindowController::authRequest_didFailWithError)
        .method("authenticationWithVarnelLibrary:",
                &WindowController::authenticationWithVarnelLibrary)
        .method("signin_request:didFinishWithResult:",
                &WindowController::signin_request_didFinishWithResult);
})

namespace {

constexpr double kMaxOutlineViewSplitExtra = 100.0;

using StorePage = StoreNavigation::Page;

// What each toolbar screen is made from, and its images.
struct ScreenEntry {
    std::optional<StorePage> page;  // a store page other than a feature page
    const char* featureCode;        // null: not a feature page
    const char* image;
    const char* activeImage;
    const char* toolTip;
};

constexpr ScreenEntry kScreens[WindowController::kScreenCount] = {
    {std::nullopt, nullptr, "ic_myshelf", "ic_myshelf_active", "My shelf"},  // the library's
    {std::nullopt, "0.feature_all", "ic_home", "ic_home_red", "Home"},
    {std::nullopt, "0.feature_book", "ic_book", "ic_book_active", "Books"},
    {std::nullopt, "0.feature_magazine", "ic_mag", "ic_mag_active", "Magazines"},
    {StorePage::TopChart, nullptr, "ic_top", "ic_top_active", "Top charts"},
    {std::nullopt, "0.feature_hdbook", "ic_newspaper", "ic_newspaper_active", "Lending library"},
    {StorePage::Category, nullptr, "ic_cat", "ic_cat_active", "Categories"},
    {StorePage::Browse, nullptr, "ic_browse", "ic_browse_active", "Browse"},
};

// The view of a screen controller; null when it is no view controller.
QWidget* viewOf(const Ref<plat::Object>& controller) {
    auto viewController = std::dynamic_pointer_cast<ui::ViewController>(controller);
    return viewController ? viewController->view() : nullptr;
}

// A controller made by its registered name; an empty page when none is registered.
Ref<plat::Object> instantiateScreen(ui::ScreenName name) {
    Ref<plat::Object> made = ui::ResourceRegistry::shared().instantiateController(name);
    if (std::dynamic_pointer_cast<ui::ViewController>(made))
        return made;
    plat::log(plat::format("No screen \"%s\" in \"%s\": an empty page is shown", name.identifier,
                           name.storyboard));
    return std::make_shared<ui::ViewController>();
}

// A page of the store, through its navigation; an empty page when the store has none.
Ref<plat::Object> storePage(const std::function<Ref<plat::Object>(StoreNavigation&)>& make) {
    const auto store = AreaSeams::shared().get<StoreNavigation>();
    Ref<plat::Object> made = store ? make(*store) : nullptr;
    if (std::dynamic_pointer_cast<ui::ViewController>(made))
        return made;
    plat::log("No store page: an empty page is shown");
    return std::make_shared<ui::ViewController>();
}

}  // namespace

struct WindowController::Outlets {
    QPointer<QWidget> mainView;
    QPointer<QTreeWidget> menuSettingOutlineView;
    QPointer<QToolBar> toolbarWindow;
    QPointer<QToolButton> menuSettingButton;
    QPointer<QToolButton> logInButton;
    QPointer<QLineEdit> searchBookField;
    QPointer<QAction> toolbarItems[kScreenCount];
    QPointer<QAction> searchToolbarItem;
    QPointer<QAction> searchCancelAction;
    QPointer<QSplitter> splitMainView;
    QPointer<QWidget> menuSplitView;
    QIcon icons[kScreenCount][2];  // plain, active
};

namespace {

// Hears one kind of event of a widget for the window controller: the split view's resizes, a
// click on the search item's field. Owned by the widget.
class EventWatcher : public QObject {
  public:
    EventWatcher(QWidget* widget, QEvent::Type type, std::function<void()> heard)
        : QObject(widget), type_(type), heard_(std::move(heard)) {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == type_)
            heard_();
        return false;
    }

  private:
    QEvent::Type type_;
    std::function<void()> heard_;
};

// The item string an outline row shows.
constexpr int kOutlineItemRole = Qt::UserRole + 1;

}  // namespace

WindowController::WindowController()
    : ui::WindowController("WindowController"), outlets_(std::make_unique<Outlets>()) {}

WindowController::~WindowController() = default;

// ---- The window ----

std::unique_ptr<QWidget> WindowController::loadWindow() {
    auto window = std::make_unique<QMainWindow>();
    window->setWindowTitle(QStringLiteral("Varnel"));
    window->resize(1180, 760);
    window->setFont(ui::thaiCapableFont());
    Outlets& o = *outlets_;
    auto& registry = ui::ResourceRegistry::shared();

    o.toolbarWindow = window->addToolBar(QStringLiteral("Toolbar"));
    o.toolbarWindow->setMovable(false);
    o.toolbarWindow->setIconSize(QSize(32, 32));
    o.toolbarWindow->setToolButtonStyle(Qt::ToolButtonIconOnly);

    o.menuSettingButton = new QToolButton(o.toolbarWindow);
    o.menuSettingButton->setText(QStringLiteral("☰"));
    o.menuSettingButton->setToolTip(QStringLiteral("Side menu"));
    QObject::connect(o.menuSettingButton, &QToolButton::clicked, window.get(),
                     [this] { menu_Click(nullptr); });
    o.toolbarWindow->addWidget(o.menuSettingButton);

    using Action = void (WindowController::*)(Ref<plat::Object>);
    const Action actions[kScreenCount] = {
        &WindowController::libraryToolbar_Click,
        &WindowController::homeFeatureToolbar_Click,
        &WindowController::bookFeatuerToolbar_Click,
        &WindowController::magazineFeatureToolbar_Click,
        &WindowController::topChartToolbar_Click,
        &WindowController::newspaperToolbar_Click,
        &WindowController::categoryToolbar_Click,
        &WindowController::browseToolbar_Click,
    };
    // Shown in the order a reader goes through the store, the shelf last.
    const Screen order[kScreenCount] = {Home,     Book,     Magazine, Newspaper,
                                        TopChart, Category, Browse,   Library};
    for (const Screen screen : order) {
        const ScreenEntry& entry = kScreens[screen];
        o.icons[screen][0] = QIcon(QPixmap::fromImage(registry.imageNamed(entry.image)));
        o.icons[screen][1] = QIcon(QPixmap::fromImage(registry.imageNamed(entry.activeImage)));
        QAction* item = o.toolbarWindow->addAction(o.icons[screen][0], QString());
        item->setToolTip(QString::fromUtf8(entry.toolTip));
        item->setObjectName(QString::fromUtf8(entry.image));
        QObject::connect(item, &QAction::triggered, window.get(),
                         [this, action = actions[screen]] { (this->*action)(nullptr); });
        o.toolbarItems[screen] = item;
    }

    auto spacer = std::make_unique<QWidget>();
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    o.toolbarWindow->addWidget(spacer.release());  // the toolbar takes it

    o.searchBookField = new QLineEdit(o.toolbarWindow);
    o.searchBookField->setPlaceholderText(QStringLiteral("ค้นหา"));
    o.searchBookField->setFixedWidth(220);
    o.searchCancelAction = o.searchBookField->addAction(
        o.searchBookField->style()->standardIcon(QStyle::SP_LineEditClearButton),
        QLineEdit::TrailingPosition);
    o.searchCancelAction->setToolTip(QStringLiteral("Cancel the search"));
    QObject::connect(o.searchBookField, &QLineEdit::textEdited, window.get(), [this] {
        if (!searchEditing_) {
            searchEditing_ = true;
            controlTextDidBeginEditing();
        }
        controlTextDidChange();
    });
    QObject::connect(o.searchBookField, &QLineEdit::editingFinished, window.get(), [this] {
        if (searchEditing_) {
            searchEditing_ = false;
            controlTextDidEndEditing();
        }
    });
    QObject::connect(o.searchBookField, &QLineEdit::returnPressed, window.get(),
                     [this] { searchAciton(nullptr); });
    o.searchToolbarItem = o.toolbarWindow->addWidget(o.searchBookField);
    new EventWatcher(o.searchBookField, QEvent::MouseButtonPress,
                     [this] { searchToolbar_Click(nullptr); });

    o.logInButton = new QToolButton(o.toolbarWindow);
    o.logInButton->setText(QStringLiteral("บัญชี"));
    o.logInButton->setToolTip(QStringLiteral("Account"));
    QObject::connect(o.logInButton, &QToolButton::clicked, window.get(),
                     [this] { logInButton_Click(nullptr); });
    o.toolbarWindow->addWidget(o.logInButton);

    auto split = std::make_unique<QSplitter>(Qt::Horizontal);
    o.splitMainView = split.get();
    o.menuSplitView = new QWidget(split.get());
    auto* paneLayout = new QVBoxLayout(o.menuSplitView);  // owned by the pane
    paneLayout->setContentsMargins(0, 0, 0, 0);
    o.menuSettingOutlineView = new QTreeWidget(o.menuSplitView);
    o.menuSettingOutlineView->setHeaderHidden(true);
    o.menuSettingOutlineView->setRootIsDecorated(false);  // no disclosure triangles
    o.menuSettingOutlineView->setItemsExpandable(false);
    o.menuSettingOutlineView->setIndentation(0);
    paneLayout->addWidget(o.menuSettingOutlineView);
    QObject::connect(o.menuSettingOutlineView, &QTreeWidget::itemSelectionChanged, window.get(),
                     [this] { outlineViewSelectionDidChange(); });
    o.mainView = new QWidget(split.get());
    o.mainView->setMinimumWidth(200);
    shell::keepChildrenAtBounds(o.mainView);
    split->addWidget(o.menuSplitView);
    split->addWidget(o.mainView);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setCollapsible(0, true);
    split->setCollapsible(1, false);
    QObject::connect(split.get(), &QSplitter::splitterMoved, window.get(),
                     [this](int position, int) { setDividerPosition(position); });
    new EventWatcher(split.get(), QEvent::Resize,
                     [this] { splitView_resizeSubviewsWithOldSize(); });
    window->setCentralWidget(split.release());
    return window;
}

void WindowController::windowDidLoad() {
    ui::WindowController::windowDidLoad();
    kMinOutlineViewSplit_ = 200.0;
    configureSignOn();
    QObject::connect(outlets_->searchCancelAction, &QAction::triggered, window(),
                     [this] { desiredSelector(); });
    applyDividerBounds();
    setDividerPosition(kMinOutlineViewSplit_);
    reloadOutline();

    const auto context = GlobalService::globalShared()->storeContext();
    context->restoreRegisteredUserContext();
    context->activeUserContext();

    screens_[Library] =
        ui::ResourceRegistry::shared().instantiateController(LibraryScreens::kLibrary);
    if (!std::dynamic_pointer_cast<ui::ViewController>(screens_[Library]))
        screens_[Library] = makeScreen(Library);
    GlobalService::globalShared()->setLibraryViewController(screens_[Library]);
    viewOf(screens_[Library]);
    if (const auto shelves = AreaSeams::shared().get<LibraryShelves>())
        shelves->refreshShelves(true);

    homeFeatureToolbar_Click(nullptr);
}

// ---- Outlets ----

QWidget* WindowController::mainView() const {
    return outlets_->mainView;
}
QTreeWidget* WindowController::menuSettingOutlineView() const {
    return outlets_->menuSettingOutlineView;
}
QToolBar* WindowController::toolbarWindow() const {
    return outlets_->toolbarWindow;
}
QToolButton* WindowController::menuSettingButton() const {
    return outlets_->menuSettingButton;
}
QToolButton* WindowController::logInButton() const {
    return outlets_->logInButton;
}
QLineEdit* WindowController::searchBookField() const {
    return outlets_->searchBookField;
}
QAction* WindowController::toolbarItem(Screen screen) const {
    return outlets_->toolbarItems[screen];
}
QAction* WindowController::searchToolbarItem() const {
    return outlets_->searchToolbarItem;
}
QAction* WindowController::searchCancelAction() const {
    return outlets_->searchCancelAction;
}
QSplitter* WindowController::splitMainView() const {
    return outlets_->splitMainView;
}
QWidget* WindowController::menuSplitView() const {
    return outlets_->menuSplitView;
}
Ref<plat::Object> WindowController::screenController(Screen screen) const {
    return screens_[screen];
}

// ---- Content switching ----

void WindowController::libraryToolbar_Click(Ref<plat::Object>) {
    showScreen(Library);
}
void WindowController::homeFeatureToolbar_Click(Ref<plat::Object>) {
    showScreen(Home);
}
void WindowController::bookFeatuerToolbar_Click(Ref<plat::Object>) {
    showScreen(Book);
}
void WindowController::magazineFeatureToolbar_Click(Ref<plat::Object>) {
    showScreen(Magazine);
}
void WindowController::newspaperToolbar_Click(Ref<plat::Object>) {
    showScreen(Newspaper);
}
void WindowController::topChartToolbar_Click(Ref<plat::Object>) {
    showScreen(TopChart);
}
void WindowController::categoryToolbar_Click(Ref<plat::Object>) {
    showScreen(Category);
}
void WindowController::browseToolbar_Click(Ref<plat::Object>) {
    showScreen(Browse);
}

Ref<plat::Object> WindowController::makeScreen(Screen screen) {
    const ScreenEntry& entry = kScreens[screen];
    if (screen == Library)  // normally made at load; else from its own nib
        return instantiateScreen(LibraryScreens::kLibraryNib);
    if (entry.featureCode) {
        return storePage([&](StoreNavigation& store) {
            return store.makeFeaturePage(entry.featureCode, shared_from_this());
        });
    }
    return storePage([&](StoreNavigation& store) { return store.makePage(*entry.page, nullptr); });
}

void WindowController::showScreen(Screen screen) {
    if (!screens_[screen])
        screens_[screen] = makeScreen(screen);
    const Ref<plat::Object> controller = screens_[screen];  // held while it shows
    removeContentViews();
    addContentView(viewOf(controller));
    updateToolbarImages(screen);
}

void WindowController::removeContentViews() {
    QWidget* area = outlets_->mainView;
    shell::removeAll(area);
    if (!shopDetailView_ || shopDetailView_->parentWidget() != area)
        shopDetailMainViewController_.reset();
}

void WindowController::addContentView(QWidget* view) {
    shell::addFilling(outlets_->mainView, view);
}

void WindowController::updateToolbarImages(Screen chosen) {
    for (int i = 0; i < kScreenCount; ++i) {
        if (QAction* item = outlets_->toolbarItems[i])
            item->setIcon(outlets_->icons[i][i == chosen ? 1 : 0]);
    }
}

void WindowController::shopFeatureMainView_selectShopGroupInfo(Ref<plat::Object>,
                                                               Ref<plat::Object>) {
    Ref<plat::Object> detail = storePage([&](StoreNavigation& store) {
        return store.makePage(StorePage::Detail, shared_from_this());
    });
    QWidget* view = viewOf(detail);
    if (!view)
        return;
    addContentView(view);
    shopDetailMainViewController_ = detail;
    shopDetailView_ = view;
}

// ---- Search ----

void WindowController::searchToolbar_Click(Ref<plat::Object>) {
    plat::systemLog("Search toolbar Click");
}

void WindowController::searchAciton(Ref<plat::Object>) {
    plat::systemLog("searchAciton");
}

void WindowController::controlTextDidBeginEditing() {
    plat::systemLog("BeginEditing");
    if (!searchMainViewController_) {
        searchMainViewController_ = storePage([&](StoreNavigation& store) {
            return store.makePage(StorePage::Search, shared_from_this());
        });
    }
    QWidget* searchView = viewOf(searchMainViewController_);
    const auto current = outlets_->mainView->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    if (!current.isEmpty() && current.first() != searchView)
        currentViewBeforSearch_ = current.first();
    removeContentViews();
    addContentView(searchView);
}

void WindowController::controlTextDidChange() {
    plat::systemLog("controlTextDidChange");
}

void WindowController::controlTextDidEndEditing() {
    plat::systemLog("EndEditing");
    if (const auto store = AreaSeams::shared().get<StoreNavigation>())
        store->startSearch(searchMainViewController_,
                           outlets_->searchBookField->text().toStdString());
}

void WindowController::desiredSelector() {
    plat::systemLog("desiredSelector");
    searchEditing_ = false;  // the next edit starts a search again
    outlets_->searchBookField->setText(QString());
    if (!currentViewBeforSearch_)
        return;
    removeContentViews();
    QWidget* area = outlets_->mainView;
    currentViewBeforSearch_->setParent(area);  // its frame stays as it was
    currentViewBeforSearch_->show();
    currentViewBeforSearch_->raise();
}

// ---- Split view ----

double WindowController::splitView_constrainMinCoordinate_ofSubviewAt(double proposedMinimum, int) {
    return isHiddenSlideMenu_ ? proposedMinimum : proposedMinimum + kMinOutlineViewSplit_;
}

double WindowController::splitView_constrainMaxCoordinate_ofSubviewAt(double, int) {
    return kMinOutlineViewSplit_ + kMaxOutlineViewSplitExtra;
}

void WindowController::splitView_resizeSubviewsWithOldSize() {
    // The side pane keeps its width (the split view's stretch factors); the width is recorded
    // while the pane shows, so that the menu button can open it again at that width.
    if (!isHiddenSlideMenu_ && outlets_->menuSplitView && outlets_->menuSplitView->width() > 0)
        lastSplitViewSubViewLeftWidth_ = outlets_->menuSplitView->width();
}

void WindowController::applyDividerBounds() {
    if (QWidget* pane = outlets_->menuSplitView) {
        pane->setMinimumWidth(static_cast<int>(splitView_constrainMinCoordinate_ofSubviewAt(0, 0)));
        pane->setMaximumWidth(static_cast<int>(splitView_constrainMaxCoordinate_ofSubviewAt(0, 0)));
    }
}

void WindowController::setDividerPosition(double position) {
    QSplitter* split = outlets_->splitMainView;
    if (!split)
        return;
    const double minimum = splitView_constrainMinCoordinate_ofSubviewAt(0, 0);
    const double maximum = splitView_constrainMaxCoordinate_ofSubviewAt(split->width(), 0);
    const int left = static_cast<int>(std::clamp(position, minimum, std::max(minimum, maximum)));
    const int total = std::max(split->width() - split->handleWidth(), left + 1);
    split->setSizes({left, total - left});
    splitView_resizeSubviewsWithOldSize();
}

double WindowController::dividerPosition() const {
    QSplitter* split = outlets_->splitMainView;
    return split ? split->sizes().value(0) : 0;
}

void WindowController::menu_Click(Ref<plat::Object>) {
    if (!isHiddenSlideMenu_) {
        isHiddenSlideMenu_ = true;
        applyDividerBounds();
        setDividerPosition(0);  // the split view's own minimum
    } else {
        isHiddenSlideMenu_ = false;
        applyDividerBounds();
        setDividerPosition(lastSplitViewSubViewLeftWidth_);
    }
}

// ---- Side outline ----

void WindowController::setOutlineItems(
    std::vector<std::string> topLevelItems, std::vector<std::string> featureItems,
    std::vector<std::pair<std::string, std::vector<std::string>>> children) {
    topLevelItems_ = std::move(topLevelItems);
    featureItems_ = std::move(featureItems);
    childrenDictionary_ = std::move(children);
    reloadOutline();
}

const char* WindowController::outlineCellIdentifier(const std::string& item) const {
    if (outlineIsGroupItem(item))
        return "HeaderCell";
    if (std::find(featureItems_.begin(), featureItems_.end(), item) != featureItems_.end())
        return "FeatureCell";
    return "DataCell";
}

void WindowController::reloadOutline() {
    QTreeWidget* outline = outlets_->menuSettingOutlineView;
    if (!outline)
        return;
    const QSignalBlocker quiet(outline);  // emptying it is no selection change
    outline->clear();
    // Each row: the cell of its kind showing the item, at its kind's height; group rows cannot
    // be chosen, and an item with no parent shows its children.
    const auto addRow = [&](QTreeWidgetItem* row, const std::string& item) {
        const QString text = QString::fromStdString(item);
        row->setData(0, kOutlineItemRole, text);
        row->setToolTip(0, text);
        const int height = static_cast<int>(outlineHeightOfRowByItem(item));
        row->setSizeHint(0, QSize(0, height));
        if (!outlineShouldSelectItem(item))
            row->setFlags(row->flags() & ~Qt::ItemIsSelectable);
        auto* cell = new QLabel(text);  // the outline takes it
        cell->setObjectName(QString::fromUtf8(outlineCellIdentifier(item)));
        QFont font = ui::thaiCapableFont();
        if (outlineIsGroupItem(item)) {
            // A group heading: bold grey text, small enough for its short row.
            font.setPixelSize(std::max(8, height * 10 / 17));
            font.setBold(true);
            cell->setStyleSheet(QStringLiteral("color: #6e6e6e;"));
        }
        cell->setFont(font);
        cell->setContentsMargins(6, 0, 6, 0);
        cell->setTextFormat(Qt::PlainText);
        outline->setItemWidget(row, 0, cell);
    };
    for (const std::string& top : outlineChildren(std::nullopt)) {
        auto* row = new QTreeWidgetItem(outline);  // owned by the outline
        addRow(row, top);
        for (const std::string& child : outlineChildren(top)) {
            auto* childRow = new QTreeWidgetItem(row);  // owned by its parent row
            addRow(childRow, child);
        }
        row->setExpanded(true);
    }
}

std::vector<std::string> WindowController::outlineChildren(
    const std::optional<std::string>& item) const {
    if (!item)
        return topLevelItems_;
    for (const auto& [parent, children] : childrenDictionary_) {
        if (parent == *item)
            return children;
    }
    return {};
}

bool WindowController::outlineIsGroupItem(const std::string& item) const {
    return std::find(topLevelItems_.begin(), topLevelItems_.end(), item) != topLevelItems_.end();
}

bool WindowController::outlineShouldSelectItem(const std::string& item) const {
    return !outlineIsGroupItem(item);
}

double WindowController::outlineHeightOfRowByItem(const std::string& item) const {
    if (outlineIsGroupItem(item))
        return 17.0;
    if (std::find(featureItems_.begin(), featureItems_.end(), item) != featureItems_.end())
        return 50.0;
    return 24.0;
}

void WindowController::outlineViewSelectionDidChange() {
    QTreeWidget* outline = outlets_->menuSettingOutlineView;
    const auto selected = outline ? outline->selectedItems() : QList<QTreeWidgetItem*>();
    if (!selected.isEmpty() && selected.first()->parent())
        _setContentViewToName(selected.first()->data(0, kOutlineItemRole).toString().toStdString());
}

void WindowController::_setContentViewToName(const std::string&) {}

// ---- Account sheet ----

void WindowController::logInButton_Click(Ref<plat::Object>) {
    if (settingView_)
        endSheet(settingView_);
    settingView_ = ui::ViewController::create<SettingView>();
    settingView_->setDelegate(shared_from_this());
    beginSheet(settingView_);
}

void WindowController::settingViewCloseButtonClick() {
    if (settingView_)
        endSheet(settingView_);
}

QWidget* WindowController::settingWindow() const {
    return settingView_ && sheetViewController() == settingView_ && settingView_->isViewLoaded()
               ? settingView_->view()->window()
               : nullptr;
}
