#pragma once
#include "desktop/desktop.h"
#include "viewer/viewer.h"

namespace qarn {

// A left press on the picture: zoom in to the square about the pointer. A
// press that ends AutoScroll or automatic zoom does only that.
void LeftPress(Viewer& viewer, Desktop& desktop, ClientPoint point);
// A right press: zoom out about the display centre.
void RightPress(Viewer& viewer, Desktop& desktop);

}  // namespace qarn
