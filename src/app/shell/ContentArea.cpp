#include "app/shell/ContentArea.h"

#include <QEvent>
#include <QWidget>

namespace shell {
namespace {

class FillChildren : public QObject {
  public:
    explicit FillChildren(QWidget* area) : QObject(area) { area->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            auto* area = static_cast<QWidget*>(watched);
            for (QWidget* child : area->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                child->setGeometry(area->rect());
        }
        return false;
    }
};

}  // namespace

void keepChildrenAtBounds(QWidget* area) {
    new FillChildren(area);  // owned by the area
}

void addFilling(QWidget* area, QWidget* view) {
    if (!area || !view)
        return;
    view->setParent(area);
    view->setGeometry(area->rect());
    view->show();
    view->raise();
}

void removeAll(QWidget* area) {
    if (!area)
        return;
    for (QWidget* view : area->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        view->hide();
        view->setParent(nullptr);
    }
}

}  // namespace shell
