#pragma once
// The page widget kinds of this library: registerWidgetKinds hands their makers to the widget
// factory and the looks of their views (over Qt widgets) to the view factory (called explicitly: a
// static library drops self-registration), and registerWidgetResources does that for the program's
// list of areas and registers the nib of the slideshow's picture scroller.
namespace ui {
class ResourceRegistry;
}

void registerWidgetKinds();
void registerWidgetResources(ui::ResourceRegistry& registry);
