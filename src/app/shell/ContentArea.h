#pragma once
// Areas that hold whole screens (the main window's content, the account sheet's information
// area): each view in them fills the area, the newest on top.
class QWidget;

namespace shell {

// From now on the area's direct children are kept at its bounds as it resizes.
void keepChildrenAtBounds(QWidget* area);
// Adds the view to the area at its bounds, shown and on top.
void addFilling(QWidget* area, QWidget* view);
// Takes every view out of the area (hidden, without a parent: their controllers keep them).
void removeAll(QWidget* area);

}  // namespace shell
