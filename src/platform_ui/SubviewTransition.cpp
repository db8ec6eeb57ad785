#include "platform_ui/SubviewTransition.h"

#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QParallelAnimationGroup>
#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>
#include <memory>

namespace ui {

namespace {

const QString kRunName = QStringLiteral("ui.subviewTransition");

// Core Animation's ease-out: a cubic Bezier through (0.58, 1).
QEasingCurve easeOut() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}

// Where the new view starts, relative to its place: one view's extent towards its side.
QPoint entryOffset(SubviewTransition::Subtype side, const QSize& size) {
    switch (side) {
        case SubviewTransition::Subtype::FromRight:
            return {size.width(), 0};
        case SubviewTransition::Subtype::FromTop:
            return {0, -size.height()};
        case SubviewTransition::Subtype::FromBottom:
            return {0, size.height()};
        case SubviewTransition::Subtype::FromLeft:
        case SubviewTransition::Subtype::None:
            break;
    }
    return {-size.width(), 0};
}

void takeOut(QWidget* oldView, const std::function<void(QWidget*)>& done) {
    oldView->hide();
    oldView->setParent(nullptr);
    if (done)
        done(oldView);
}

// One running transition, a child of its container; it puts everything in its final place when
// it ends or is finished early, then goes.
class TransitionRun : public QParallelAnimationGroup {
  public:
    TransitionRun(QWidget* container, QWidget* oldView, QWidget* newView, QRect place,
                  std::function<void(QWidget*)> done)
        : QParallelAnimationGroup(container),
          oldView_(oldView),
          newView_(newView),
          place_(place),
          done_(std::move(done)) {
        setObjectName(kRunName);
        connect(this, &QAbstractAnimation::finished, this, [this] { complete(); });
    }

    void animate(QObject* target, const QByteArray& property, const QVariant& from,
                 const QVariant& to, int milliseconds) {
        auto animation = std::make_unique<QPropertyAnimation>(target, property);
        animation->setStartValue(from);
        animation->setEndValue(to);
        animation->setDuration(milliseconds);
        animation->setEasingCurve(easeOut());
        addAnimation(animation.release());  // the group owns its animations
    }

    void complete() {
        if (completed_)
            return;
        completed_ = true;
        setObjectName({});
        stop();
        if (newView_) {
            newView_->setGraphicsEffect(nullptr);
            newView_->setGeometry(place_);
        }
        if (oldView_)
            takeOut(oldView_, done_);
        deleteLater();
    }

  private:
    QPointer<QWidget> oldView_;
    QPointer<QWidget> newView_;
    QRect place_;
    std::function<void(QWidget*)> done_;
    bool completed_ = false;
};

TransitionRun* runningIn(const QWidget* container) {
    return container ? container->findChild<TransitionRun*>(kRunName, Qt::FindDirectChildrenOnly)
                     : nullptr;
}

}  // namespace

bool isRunningSubviewTransition(const QWidget* container) {
    return runningIn(container) != nullptr;
}

void finishSubviewTransition(QWidget* container) {
    if (TransitionRun* run = runningIn(container))
        run->complete();
}

void replaceSubview(QWidget* container, QWidget* oldView, QWidget* newView,
                    const SubviewTransition& transition, std::function<void(QWidget*)> done) {
    if (!container || !newView || oldView == newView)
        return;
    finishSubviewTransition(container);
    if (oldView && oldView->parentWidget() != container)
        oldView = nullptr;
    const QRect place = oldView ? oldView->geometry() : newView->geometry();
    if (newView->parentWidget() != container)
        newView->setParent(container);
    newView->setGeometry(place);
    newView->raise();
    newView->show();
    const int milliseconds = static_cast<int>(transition.duration * 1000.0);
    // A change nobody sees, or one without a transition, is made at once.
    if (!oldView || transition.type == SubviewTransition::Type::None || milliseconds <= 0 ||
        !container->isVisible()) {
        if (oldView)
            takeOut(oldView, done);
        return;
    }

    auto run = std::make_unique<TransitionRun>(container, oldView, newView, place, std::move(done));
    const QPoint entry = entryOffset(transition.subtype, place.size());
    switch (transition.type) {
        case SubviewTransition::Type::Fade: {
            auto effect = std::make_unique<QGraphicsOpacityEffect>();
            effect->setOpacity(0.0);
            QGraphicsOpacityEffect* fading = effect.get();
            newView->setGraphicsEffect(effect.release());  // the view owns its effect
            run->animate(fading, "opacity", 0.0, 1.0, milliseconds);
            break;
        }
        case SubviewTransition::Type::Push:
            run->animate(oldView, "pos", place.topLeft(), place.topLeft() - entry, milliseconds);
            [[fallthrough]];
        case SubviewTransition::Type::MoveIn:
            newView->move(place.topLeft() + entry);
            run->animate(newView, "pos", place.topLeft() + entry, place.topLeft(), milliseconds);
            break;
        case SubviewTransition::Type::None:
            break;
    }
    run.release()->start();  // the container owns the run, which deletes itself at its end
}

}  // namespace ui
