#pragma once
// The composition root: the one list of the program's screen areas, each registering its
// controllers, nibs and images, and the one place that binds each seam areas reach each other
// through (app/services) to its provider. The program and the screen tests call it before
// anything is shown; the program then checks that every seam has its one provider.
class AreaSeams;
namespace ui {
class ResourceRegistry;
}

// Registers every area's resources and binds the program's seams (AreaSeams::shared()).
void registerAllAreaResources(ui::ResourceRegistry& registry);
// Binds each seam to its one provider: the library shelves and issue opening to the library, the
// main window to the shell, store navigation to the store.
void bindAreaSeams(AreaSeams& seams);
