#pragma once
// The issue screens' part of the program's resources: widget views over Qt widgets and the
// widget classes of this area (the highlighter and the inline scroller).
namespace ui {
class ResourceRegistry;
}

void registerIssueUIResources(ui::ResourceRegistry& registry);
