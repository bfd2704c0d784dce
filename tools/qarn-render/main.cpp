// qarn-render: computes a view exactly as the viewer does and writes its
// picture (the viewer's Save As bitmap, or a PNG of any size up to 65536
// pixels a side, anti-aliased if asked), the raw counts, the view as text or
// as a coordinate file, and zoom frames, whole or by range.
#include "run_render.h"

int main(int argc, char** argv) { return qarn::render::RunRender(argc, argv); }
