#pragma once
#include "engine/view_state.h"
#include "engine/zoom.h"

namespace qarn {

// The view that computing a record at its own level shows: what the viewer's
// recompute (a level delta of 0) makes of it. At level 0 (or below, from a
// file) that is the home view at level 0, wherever the record's origin lay;
// any other view stays as it is.
inline ViewState ShownView(ViewState view) {
    MoveToLevel(view, 0, {});
    return view;
}

}  // namespace qarn
