#pragma once
// QtWidgetView: a WidgetView over a Qt widget, owned (made here or handed over) or borrowed (a
// host such as the reader's document view). Its frame is the widget's geometry in its parent;
// adding a subview makes the subview's widget a shown child of this one, removing it takes the
// child out again. An owned widget goes with the view (unless Qt's parent deleted it first).
// widget() hands the widget out, for example to lay it over a page.
#include <QPointer>
#include <memory>

#include "app/issueui/WidgetView.h"

class QWidget;

class QtWidgetView : public WidgetView {
    PLAT_CLASS(QtWidgetView)
  public:
    // A new owned plain widget with that frame.
    explicit QtWidgetView(const QRectF& frame);
    explicit QtWidgetView(std::unique_ptr<QWidget> owned);
    static Ref<QtWidgetView> borrowing(QWidget* widget);
    ~QtWidgetView() override;

    QWidget* widget() const;
    bool ownsWidget() const { return ownedWidget_ != nullptr; }

    QRectF frame() const override;
    void setFrame(const QRectF& frame) override;
    bool isHidden() const override;
    void setHidden(bool hidden) override;

    // The widget geometry of a frame: frames come from issue files, so what is no number or does
    // not fit a widget's geometry is held to what does, keeping the rounding defined.
    static QRect geometryOf(const QRectF& frame);

    // Makes plain widget views over Qt widgets (the "" kind of WidgetViewFactory).
    static void installPlainViewMaker();

  protected:
    void didAddSubview(WidgetView& view) override;
    void willRemoveSubview(WidgetView& view) override;

  private:
    QPointer<QWidget> widget_;
    std::unique_ptr<QWidget> ownedWidget_;
    QRectF frame_;
    bool hidden_ = false;
};
