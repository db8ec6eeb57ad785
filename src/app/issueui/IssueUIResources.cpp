#include "app/issueui/IssueUIResources.h"

#include "app/issueui/OverlayWidgets.h"
#include "app/issueui/QtWidgetView.h"

void registerIssueUIResources(ui::ResourceRegistry&) {
    QtWidgetView::installPlainViewMaker();
    registerIssueUIWidgetClasses();
}
