#include "app/AreaRegistrations.h"

#include "app/issueui/IssueUIResources.h"
#include "app/library/LibraryResources.h"
#include "app/links/LinkResources.h"
#include "app/reader/ReaderResources.h"
#include "app/shell/ShellResources.h"
#include "app/signon/SignOnResources.h"
#include "app/store/StoreResources.h"
#include "app/widgets/WidgetKinds.h"

// In this order: Shell, SignOn, Link, IssueUI, Library, Reader, Widget, Store.
void registerAllAreaResources(ui::ResourceRegistry& registry) {
    registerShellResources(registry);
    registerSignOnResources(registry);
    registerLinkResources(registry);
    registerIssueUIResources(registry);
    registerLibraryResources(registry);
    registerReaderResources(registry);
    registerWidgetResources(registry);
    registerStoreResources(registry);
}
