#pragma once
// The looks of the page widgets over Qt widgets: the action button (a clear surface with an
// underline or a yellow border, an icon button placed by its anchor, the pushed colour) and the
// stretched picture of image widgets. installWidgetViewMakers registers their view makers.
void installWidgetViewMakers();
