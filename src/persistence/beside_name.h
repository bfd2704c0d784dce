#pragma once
#include <string>
#include <string_view>

namespace qarn {

// How many names beside a target a save tries before it gives up: the
// target's name with ".saving", then ".saving1" ... ".saving99". Each is
// created exclusively, so a file of the user's of that name is never touched.
inline constexpr int BesideAttempts = 100;

// The name under which a file's new content is written beside it before it
// replaces the file: the target's full path with ".saving" and, from the
// second attempt on, the attempt's number. The name is longer than the
// target's, so near the 260-character limit of a path it is given in the
// "\\?\" form that lifts the limit: "\\?\X:\folder\name" for a drive path,
// "\\?\UNC\server\share\folder\name" for a network path. Any other path
// (relative, a device, already in that form, a POSIX path) is kept as it is.
// The viewer names its files in UTF-16, the command-line renderer in the
// system's narrow encoding; the rule is the same.
std::u16string BesideName(std::u16string_view target, int attempt);
std::string BesideName(std::string_view target, int attempt);

}  // namespace qarn
