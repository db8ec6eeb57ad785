#include "app/widgets/ThumbnailSelectorWidget.h"

PLAT_DEFINE_CLASS(ThumbnailSelectorWidget, VisibleWidget, [](auto&) {})
