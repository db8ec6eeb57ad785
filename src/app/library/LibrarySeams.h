#pragma once
// The library's side of the seams (app/services): its shelves, refreshed and stopped, and the
// opening of an item in the reader, both through the library screen the main window registered
// with the global service. The composition root binds them.
#include <memory>

class IssueOpening;
class LibraryShelves;

std::shared_ptr<LibraryShelves> makeLibraryShelves();
std::shared_ptr<IssueOpening> makeLibraryIssueOpening();
