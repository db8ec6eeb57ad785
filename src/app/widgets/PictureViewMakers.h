#pragma once
// The views of the picture widgets over Qt widgets: the scroll view of image scroll widgets, the
// rotation view of 360-degree pictures and the two slideshow popups (image strip, picture
// scroller). installPictureViewMakers registers their view makers.
void installPictureViewMakers();
