#include "app/issueui/ContainerWidget.h"

PLAT_DEFINE_CLASS(ContainerWidget, VisibleWidget, PLAT_NO_METHODS)
