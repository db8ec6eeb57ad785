#pragma once
// WidgetClientView: a widget's view that says whether a touch on it is its own.
#include "platform/core/Object.h"

class WidgetClientView {
  public:
    virtual ~WidgetClientView() = default;
    virtual bool viewShouldReceiveTouch(const Ref<plat::Object>& touch) = 0;
};
