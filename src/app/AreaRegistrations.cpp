#include "app/AreaRegistrations.h"

#include "app/issueui/IssueUIResources.h"
#include "app/library/LibraryResources.h"
#include "app/library/LibrarySeams.h"
#include "app/links/LinkResources.h"
#include "app/reader/ReaderResources.h"
#include "app/services/AreaSeams.h"
#include "app/services/IssueOpening.h"
#include "app/services/LibraryShelves.h"
#include "app/services/MainWindow.h"
#include "app/services/StoreNavigation.h"
#include "app/shell/ShellResources.h"
#include "app/shell/ShellSeams.h"
#include "app/signon/SignOnResources.h"
#include "app/store/StoreResources.h"
#include "app/store/StoreSeams.h"
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
    bindAreaSeams(AreaSeams::shared());
}

void bindAreaSeams(AreaSeams& seams) {
    seams.bind<LibraryShelves>(makeLibraryShelves(), "library");
    seams.bind<IssueOpening>(makeLibraryIssueOpening(), "library");
    seams.bind<MainWindow>(makeMainWindow(), "shell");
    seams.bind<StoreNavigation>(makeStoreNavigation(), "store");
}
