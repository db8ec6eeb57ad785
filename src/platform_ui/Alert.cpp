#include "platform_ui/Alert.h"

#include <QMessageBox>
#include <QPushButton>

#include "platform_ui/RunLoopBridge.h"

namespace ui {
namespace {

std::shared_ptr<Alert>& sharedAlert() {
    static std::shared_ptr<Alert> alert = std::make_shared<MessageBoxAlert>();
    return alert;
}

}  // namespace

Alert& Alert::shared() {
    return *sharedAlert();
}

void Alert::setShared(std::shared_ptr<Alert> alert) {
    sharedAlert() = alert ? std::move(alert) : std::make_shared<MessageBoxAlert>();
}

void MessageBoxAlert::runModal(QWidget* parent, const std::string& message,
                               const std::string& informativeText) {
    QMessageBox box(parent);
    box.setText(QString::fromStdString(message));
    box.setInformativeText(QString::fromStdString(informativeText));
    box.addButton(QString::fromUtf8(kAlertButtonTitle), QMessageBox::AcceptRole);
    RunLoopBridge::ModalScope scope;
    box.exec();
}

}  // namespace ui
