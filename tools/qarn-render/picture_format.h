#pragma once

namespace qarn::render {

// The formats a picture can be written in; output_formats.h says which this
// build writes and how.
enum class PictureFormat { Bitmap, Png, Exr };

}  // namespace qarn::render
