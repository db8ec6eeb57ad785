#pragma once
// registerStoreResources: the store's storyboard scenes and nibs, registered under their names
// (the cover cell, the item detail and its rows, the preview popup, and each store page's own).
namespace ui {
class ResourceRegistry;
}

void registerStoreResources(ui::ResourceRegistry& registry);
