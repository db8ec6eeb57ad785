#include "app/signon/SignOnResources.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/signon/OAuthLogin.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/web/WebView.h"

namespace {

// An overlay over the page: a translucent panel with a centred column.
QWidget* overlay(QWidget* parent, const char* name) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(name);
    panel->setAutoFillBackground(true);
    panel->setStyleSheet(QString("#%1 { background-color: rgba(255, 255, 255, 230); }").arg(name));
    auto* column = new QVBoxLayout(panel);
    column->setAlignment(Qt::AlignCenter);
    return panel;
}

std::unique_ptr<QWidget> buildLoginWindow(plat::Object& owner) {
    auto window = std::make_unique<QWidget>();
    window->setObjectName("OAuthLogin");
    window->resize(900, 700);
    window->setFont(ui::thaiCapableFont());
    auto* column = new QVBoxLayout(window.get());
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* bar = new QHBoxLayout();
    bar->setContentsMargins(8, 4, 8, 4);
    bar->addStretch();
    auto* close = new QPushButton(QString::fromUtf8("ปิด"), window.get());
    close->setObjectName("closeButton");
    bar->addWidget(close);
    column->addLayout(bar);

    // The page and its two overlays share one cell; the later ones lie on top.
    auto* stack = new QGridLayout();
    auto* web = new ui::WebView(window.get());
    web->setObjectName("webView");
    stack->addWidget(web, 0, 0);
    QWidget* loading = overlay(window.get(), "loadingView");
    auto* spinner = new QProgressBar(loading);
    spinner->setObjectName("waitingProgress");
    spinner->setFixedWidth(160);
    spinner->setTextVisible(false);
    loading->layout()->addWidget(spinner);
    stack->addWidget(loading, 0, 0);
    QWidget* failed = overlay(window.get(), "connectFail");
    auto* message = new QLabel(
        QString::fromUtf8("ไม่สามารถเชื่อมต่อได้ กรุณาลองใหม่อีกครั้ง\nConnection error. Please try again."),
        failed);
    message->setAlignment(Qt::AlignCenter);
    failed->layout()->addWidget(message);
    stack->addWidget(failed, 0, 0);
    column->addLayout(stack, 1);

    WeakRef<plat::Object> weakOwner = owner.weak_from_this();
    QObject::connect(close, &QPushButton::clicked, window.get(), [weakOwner] {
        if (auto login = std::dynamic_pointer_cast<OAuthLogin>(weakOwner.lock()))
            login->closeButton_Click();
    });
    if (auto* login = dynamic_cast<OAuthLogin*>(&owner)) {
        login->setWebView(web);
        login->setLoadingView(loading);
        login->setConnectFail(failed);
        login->setWaitingProgress(spinner);
    }
    return window;
}

}  // namespace

void registerSignOnResources(ui::ResourceRegistry& registry) {
    registry.registerNib("OAuthLogin", buildLoginWindow);
}
