#pragma once
#include "engine/view_state.h"

namespace qarn {

// The view that computing a record at its own level shows: at level 0 (or
// below, from a file) the home view at level 0, wherever the record's origin
// lay, as after a load or a scroll at level 0; any other view as it is.
inline ViewState ShownView(ViewState view) {
    if (view.ZoomLevel <= 0) {
        view.ZoomLevel = 0;
        InstallHomeView(view);
    }
    return view;
}

}  // namespace qarn
