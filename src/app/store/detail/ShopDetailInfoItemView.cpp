#include "app/store/detail/ShopDetailInfoItemView.h"

#include <QLabel>
#include <QPushButton>

#include "app/common/QtImageView.h"
#include "app/common/ScreenTexts.h"
#include "app/store/detail/ShopDetailInfoItemState.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"

namespace {

const QColor kRed = QColor::fromRgbF(1.0f, 0.231f, 0.188f);
const QColor kGreen = QColor::fromRgbF(0.184f, 0.8f, 0.443f);
const QColor kBlue = QColor::fromRgbF(0.0f, 0.6f, 1.0f);

struct GroupLook {
    InfoItemGroup group;
    const char* title;
    QColor colour;
    void (ShopDetailInfoItemState::*action)(Ref<plat::Object>);
};

const std::array<GroupLook, kInfoItemGroupCount>& looks() {
    using G = InfoItemGroup;
    using S = ShopDetailInfoItemState;
    static const std::array<GroupLook, kInfoItemGroupCount> table = {{
        {G::BuyNow, "ซื้อ", kBlue, &S::btnBuyNow_click},
        {G::GetSample, "ทดลองอ่าน", kBlue, &S::btnGetSample_Click},
        {G::View, "อ่าน", kGreen, &S::btnRead_Click},
        {G::ReadNow, "หยิบอ่าน", kGreen, &S::btnReadNow_Clcik},
        {G::Preview, "ตัวอย่าง", kRed, &S::btnPreview_Click},
        {G::Borrow, "ยืม", kRed, &S::btnBorrow_Click},
        {G::Cancel, "ยกเลิกการจอง", kGreen, &S::btnCancel_Click},
        {G::Return, "คืน", kBlue, &S::btnReturn_Click},
        {G::Reserve, "จอง", kRed, &S::btnReserve_Click},
        {G::Free, "ฟรี", kRed, nullptr},
    }};
    return table;
}

QLabel* textField(QWidget* parent, int x, int y, int width, int height, double points) {
    auto* label = new QLabel(parent);
    label->setFont(ui::thaiCapableFont(points));
    label->setGeometry(x, y, width, height);
    return label;
}

}  // namespace

ShopDetailInfoItemView::ShopDetailInfoItemView(QWidget* parent)
    : QWidget(parent), state_(std::make_shared<ShopDetailInfoItemState>()) {
    resize(760, 355);
    viewCover = new ui::LayerView(this);
    viewCover->setGeometry(20, 20, 180, 240);
    viewCover->setLayerStyle(coverShadowStyle());
    auto* cover = new QLabel(viewCover);
    cover->setGeometry(0, 0, 180, 240);
    cover_ = QtImageView::make(cover);

    magazineNameTextField = textField(this, 220, 20, 520, 28, 18);
    issueNameTextField = textField(this, 220, 50, 520, 22, 13);
    varnelRankTextField = textField(this, 220, 80, 250, 20, 12);
    categoryTextField = textField(this, 220, 100, 250, 20, 12);
    category2TestField = textField(this, 220, 120, 250, 20, 12);
    publisherTextField = textField(this, 220, 140, 520, 20, 12);
    typeTextField = textField(this, 220, 160, 520, 20, 12);
    digitalPriceTextField = textField(this, 220, 185, 520, 20, 12);
    subscriptionTextField = textField(this, 220, 205, 520, 20, 12);
    coverPriceTextField = textField(this, 480, 80, 200, 20, 12);

    // The groups under the texts; render lines up the shown ones.
    for (size_t i = 0; i < kInfoItemGroupCount; ++i) {
        const GroupLook& look = looks()[i];
        Group& g = groups_[static_cast<size_t>(look.group)];
        g.container = new QWidget(this);
        g.container->setGeometry(220 + static_cast<int>(i % 5) * 104,
                                 235 + static_cast<int>(i / 5) * 44, 96, 36);
        g.button = new QPushButton(g.container);
        g.button->setGeometry(0, 0, 96, 36);
        g.label = new QLabel(QString::fromUtf8(look.title), g.container);
        g.label->setFont(ui::thaiCapableFont(12));
        g.label->setAlignment(Qt::AlignCenter);
        g.label->setGeometry(0, 0, 96, 36);
        g.label->setAttribute(Qt::WA_TransparentForMouseEvents);
        g.container->hide();
        if (look.action) {
            QObject::connect(
                g.button, &QPushButton::clicked,
                [weak = WeakRef<ShopDetailInfoItemState>(state_), action = look.action] {
                    if (auto state = weak.lock())
                        ((*state).*action)(nullptr);
                });
        }
    }
    btnBorder();
    state_->setView(this);
}

ShopDetailInfoItemView::~ShopDetailInfoItemView() = default;

void ShopDetailInfoItemView::btnBorder() {
    for (const GroupLook& look : looks()) {
        const Group& g = group(look.group);
        g.button->setStyleSheet(QString("QPushButton { border: 1px solid %1; border-radius: 5px; "
                                        "background: transparent; }")
                                    .arg(look.colour.name()));
        QPalette palette = g.label->palette();
        palette.setColor(QPalette::WindowText, look.colour);
        g.label->setPalette(palette);
    }
}

void ShopDetailInfoItemView::render(const ShopDetailInfoItemModel& model, bool buyNowChecked) {
    magazineNameTextField->setText(QString::fromStdString(model.magazineName));
    issueNameTextField->setText(QString::fromStdString(model.issueName));
    varnelRankTextField->setText(QString::fromStdString(model.rank));
    categoryTextField->setText(QString::fromStdString(model.category));
    category2TestField->setText(QString::fromStdString(model.category2));
    publisherTextField->setText(QString::fromStdString(model.publisher));
    typeTextField->setText(QString::fromStdString(model.type));
    digitalPriceTextField->setText(QString::fromStdString(model.digitalPrice));
    subscriptionTextField->setText(QString::fromStdString(model.subscription));
    // The shown groups stand side by side in one row, in the order of the table.
    int place = 0;
    for (const GroupLook& look : looks()) {
        const size_t i = static_cast<size_t>(look.group);
        groups_[i].container->setVisible(model.shown[i]);
        if (model.shown[i])
            groups_[i].container->move(220 + place++ * 104, 235);
    }
    const QColor background =
        buyNowChecked ? QColor::fromRgbF(1.0f, 0.231f, 0.188f, 0.2f) : QColor(Qt::transparent);
    group(InfoItemGroup::BuyNow)
        .button->setStyleSheet(QString("QPushButton { border: 1px solid %1; border-radius: 5px; "
                                       "background: %2; }")
                                   .arg(kBlue.name(), background.name(QColor::HexArgb)));
}

void ShopDetailInfoItemView::loadCover(const std::optional<std::string>& url) {
    cover_->setImageWithURL(url, ui::ResourceRegistry::shared().imageNamed("vn3_cover_back.png"));
}
