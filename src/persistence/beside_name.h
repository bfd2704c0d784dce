#pragma once
#include <string>
#include <string_view>

namespace qarn {

// The name under which a file's new content is written beside it before it
// replaces the file: the target's full path with ".saving" and, from the
// second attempt on, the attempt's number. The name is longer than the
// target's, so near the 260-character limit of a path it is given in the
// "\\?\" form that lifts the limit: "\\?\X:\folder\name" for a drive path,
// "\\?\UNC\server\share\folder\name" for a network path. Any other path
// (relative, a device, already in that form) is kept as it is.
std::u16string BesideName(std::u16string_view target, int attempt);

}  // namespace qarn
