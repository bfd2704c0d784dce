#pragma once

namespace qarn::render {

enum class PictureFormat { Bitmap, Png };

// Whether this build writes the format: every build writes bitmaps, only the
// Linux one PNG (picture_sinks.cpp).
bool CanWrite(PictureFormat format);

}  // namespace qarn::render
