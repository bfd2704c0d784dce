#include "persistence/beside_name.h"

namespace qarn {
namespace {

// MAX_PATH, with its terminator. A target this close to it gets the long
// form: ".saving" and a number of up to two digits must still fit.
constexpr std::size_t PathLimit = 260;
constexpr std::size_t BesideRoom = 16;

template <typename Char>
bool IsDrivePath(std::basic_string_view<Char> path) {
    return path.size() > 2 && path[1] == Char(':') && path[2] == Char('\\');
}

// "\\server\share\...", but neither "\\?\..." nor the device form "\\.\...".
template <typename Char>
bool IsNetworkPath(std::basic_string_view<Char> path) {
    return path.size() > 2 && path[0] == Char('\\') && path[1] == Char('\\') && path[2] != Char('?') &&
           path[2] != Char('.');
}

template <typename Char>
std::basic_string<Char> Beside(std::basic_string_view<Char> target, int attempt) {
    static constexpr Char LongForm[] = {'\\', '\\', '?', '\\', 'U', 'N', 'C', 0};
    static constexpr Char Saving[] = {'.', 's', 'a', 'v', 'i', 'n', 'g', 0};
    std::basic_string<Char> name;
    if (target.size() + BesideRoom >= PathLimit) {
        if (IsDrivePath(target))
            name.assign(LongForm, 4);
        else if (IsNetworkPath(target)) {
            name.assign(LongForm, 7);
            target.remove_prefix(1);  // one backslash stays, before the server
        }
    }
    name += target;
    name += Saving;
    if (attempt > 0) {
        const std::string digits = std::to_string(attempt);
        name.append(digits.begin(), digits.end());
    }
    return name;
}

}  // namespace

std::u16string BesideName(std::u16string_view target, int attempt) { return Beside(target, attempt); }
std::string BesideName(std::string_view target, int attempt) { return Beside(target, attempt); }

}  // namespace qarn
