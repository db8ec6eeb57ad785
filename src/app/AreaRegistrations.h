#pragma once
// The one list of the program's screen areas: each area registers its controllers, nibs and
// images. The program and the screen tests call it before anything is shown.
namespace ui {
class ResourceRegistry;
}

void registerAllAreaResources(ui::ResourceRegistry& registry);
