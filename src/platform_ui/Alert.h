#pragma once
// ui::Alert: the one-button message the screens show ("ตกลง"), blocking its caller while the
// run loop goes on in the modal-panel mode. An interface, so that screen tests record instead.
#include <QWidget>
#include <memory>
#include <string>

namespace ui {

inline constexpr const char* kAlertButtonTitle = "ตกลง";

class Alert {
  public:
    virtual ~Alert() = default;
    virtual void runModal(QWidget* parent, const std::string& message,
                          const std::string& informativeText) = 0;

    // The alert the program uses; a message box unless replaced.
    static Alert& shared();
    static void setShared(std::shared_ptr<Alert> alert);
};

// A QMessageBox with the one button.
class MessageBoxAlert : public Alert {
  public:
    void runModal(QWidget* parent, const std::string& message,
                  const std::string& informativeText) override;
};

}  // namespace ui
