#include "persistence/beside_name.h"

#include <gtest/gtest.h>

#include <string>

namespace qarn {
namespace {

// A full path of exactly `length` characters: `prefix`, then a name of q's
// ending in ".qarn".
std::u16string PathOfLength(const std::u16string& prefix, std::size_t length) {
    return prefix + std::u16string(length - prefix.size() - 5, u'q') + u".qarn";
}

TEST(BesideName, TheLongFormOnlyNearTheLimitAndOfEveryKindOfFullPath) {
    const std::u16string drive = PathOfLength(u"C:\\Users\\mira\\", 259);
    const std::u16string network = PathOfLength(u"\\\\server\\share\\views\\", 259);
    struct Row {
        std::u16string target;
        int attempt;
        std::u16string beside;
    };
    const Row rows[] = {
        {u"C:\\views\\a.qarn", 0, u"C:\\views\\a.qarn.saving"},
        {u"C:\\views\\a.qarn", 1, u"C:\\views\\a.qarn.saving1"},
        {u"C:\\views\\a.qarn", 99, u"C:\\views\\a.qarn.saving99"},
        {u"\\\\server\\share\\a.qarn", 0, u"\\\\server\\share\\a.qarn.saving"},
        // Near the limit: 243 characters keep their form, 244 take the long one.
        {PathOfLength(u"C:\\", 243), 0, PathOfLength(u"C:\\", 243) + u".saving"},
        {PathOfLength(u"C:\\", 244), 0, u"\\\\?\\" + PathOfLength(u"C:\\", 244) + u".saving"},
        {drive, 2, u"\\\\?\\" + drive + u".saving2"},
        // A network path: "\\server\share\..." becomes "\\?\UNC\server\share\...".
        {network, 0, u"\\\\?\\UNC" + network.substr(1) + u".saving"},
        // Nothing else is changed, however long.
        {u"\\\\?\\" + drive, 0, u"\\\\?\\" + drive + u".saving"},
        {PathOfLength(u"views\\", 259), 0, PathOfLength(u"views\\", 259) + u".saving"},
    };
    for (const Row& row : rows) {
        const std::string target(row.target.begin(), row.target.end());  // every path here is ASCII
        EXPECT_EQ(BesideName(row.target, row.attempt), row.beside) << target << " attempt " << row.attempt;
        // The renderer's narrow names follow the same rule.
        EXPECT_EQ(BesideName(target, row.attempt), std::string(row.beside.begin(), row.beside.end()))
            << target << " attempt " << row.attempt;
    }
}

}  // namespace
}  // namespace qarn
