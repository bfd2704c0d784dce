#include "persistence/beside_name.h"

namespace qarn {
namespace {

// MAX_PATH, with its terminator. A target this close to it gets the long
// form: ".saving" and a number of up to two digits must still fit.
constexpr std::size_t PathLimit = 260;
constexpr std::size_t BesideRoom = 16;

bool IsDrivePath(std::u16string_view path) { return path.size() > 2 && path[1] == u':' && path[2] == u'\\'; }

// "\\server\share\...", but neither "\\?\..." nor the device form "\\.\...".
bool IsNetworkPath(std::u16string_view path) {
    return path.size() > 2 && path[0] == u'\\' && path[1] == u'\\' && path[2] != u'?' && path[2] != u'.';
}

}  // namespace

std::u16string BesideName(std::u16string_view target, int attempt) {
    std::u16string name;
    if (target.size() + BesideRoom >= PathLimit) {
        if (IsDrivePath(target))
            name = u"\\\\?\\";
        else if (IsNetworkPath(target)) {
            name = u"\\\\?\\UNC";
            target.remove_prefix(1);  // one backslash stays, before the server
        }
    }
    name += target;
    name += u".saving";
    if (attempt > 0) {
        const std::string digits = std::to_string(attempt);
        name.append(digits.begin(), digits.end());
    }
    return name;
}

}  // namespace qarn
