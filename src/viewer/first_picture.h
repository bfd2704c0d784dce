#pragma once
#include "desktop/desktop.h"
#include "viewer/viewer.h"

namespace qarn {

// Start-up: builds the colour tables, computes the home view and shows it.
void ShowFirstPicture(Viewer& viewer, Desktop& desktop);

}  // namespace qarn
