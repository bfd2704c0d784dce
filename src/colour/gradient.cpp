#include "colour/gradient.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace qarn {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The next word of `text`, which loses it and the blanks before it.
std::string_view NextWord(std::string_view& text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    std::size_t end = 0;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(end);
    return word;
}

bool ParseComponent(std::string_view word, std::uint32_t& value) {
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    return !word.empty() && ec == std::errc{} && end == word.data() + word.size() && value <= 255;
}

bool ParseHexColour(std::string_view word, std::uint32_t& colour) {
    if (word.size() != 7 || word[0] != '#') return false;
    colour = 0;
    for (char c : word.substr(1)) {
        std::uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            return false;
        colour = colour << 4 | digit;
    }
    return true;
}

std::string AtLine(int line, const std::string& what) { return "line " + std::to_string(line) + ": " + what; }

std::string Quoted(std::string_view word) {
    constexpr std::size_t Shown = 40;
    std::string text(word.substr(0, Shown));
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
    return "\"" + text + (word.size() > Shown ? "...\"" : "\"");
}

std::string StopLine(std::string_view text, int line, Gradient& gradient) {
    std::string_view rest = text;
    const std::string_view positionWord = NextWord(rest);
    const std::string_view colourWord = NextWord(rest);
    const std::string_view after = Trimmed(rest);
    double position = 0.0;
    const auto [end, ec] = std::from_chars(positionWord.data(), positionWord.data() + positionWord.size(), position);
    if (ec != std::errc{} || end != positionWord.data() + positionWord.size() || !std::isfinite(position))
        return AtLine(line, "the position " + Quoted(positionWord) + " is not a decimal real");
    if (!(position >= 0.0 && position <= 1.0))
        return AtLine(line, "the position " + Quoted(positionWord) + " lies outside 0 to 1");
    if (!gradient.stops.empty() && position < gradient.stops.back().position)
        return AtLine(line, "the position " + Quoted(positionWord) + " lies below the one before");
    std::uint32_t colour = 0;
    if (!ParseHexColour(colourWord, colour))
        return AtLine(line, "needs POSITION #RRGGBB; " + Quoted(colourWord) + " is no #RRGGBB colour");
    if (!after.empty() && after.front() != '#')
        return AtLine(line, Quoted(after) + " after the colour: only a # comment may follow it");
    if (gradient.stops.size() == MaxGradientStops)
        return AtLine(line, "more than " + std::to_string(MaxGradientStops) + " stops");
    gradient.stops.push_back({position, colour});
    return {};
}

std::string PaletteLine(std::string_view text, int line, Gradient& gradient) {
    std::string_view rest = text;
    std::uint32_t rgb[3];
    for (std::uint32_t& component : rgb) {
        const std::string_view word = NextWord(rest);
        if (!ParseComponent(word, component))
            return AtLine(line, "needs three values R G B from 0 to 255; " + Quoted(word) + " is none");
    }
    if (!rest.empty() && !IsBlank(rest.front())) return AtLine(line, "needs three values R G B from 0 to 255");
    if (gradient.stops.size() == PaletteFileEntries)
        return AtLine(line,
                      "a palette file holds " + std::to_string(PaletteFileEntries) + " colours; this is one more");
    gradient.stops.push_back(
        {static_cast<double>(gradient.stops.size()) / PaletteFileEntries, rgb[0] << 16 | rgb[1] << 8 | rgb[2]});
    return {};
}

}  // namespace

std::string ParseGradient(std::string_view text, Gradient& gradient) {
    gradient.stops.clear();
    if (text.size() > MaxGradientBytes) return AtLine(0, "longer than 1 MiB");
    enum class Format { Unknown, Stops, Palette } format = Format::Unknown;
    int line = 0;
    while (!text.empty()) {
        ++line;
        const std::size_t newline = text.find('\n');
        const std::string_view content = Trimmed(text.substr(0, newline));
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (content.empty()) continue;
        if (content.find('\0') != std::string_view::npos) {
            gradient.stops.clear();
            return AtLine(line, "holds a zero byte: not a text file");
        }
        if (format == Format::Unknown) {
            if (content.front() == '#') continue;  // a comment before the stops
            std::string_view rest = content;
            NextWord(rest);
            format = NextWord(rest).starts_with('#') ? Format::Stops : Format::Palette;
        }
        std::string failure;
        if (format == Format::Stops) {
            if (content.front() == '#') continue;
            failure = StopLine(content, line, gradient);
        } else {
            failure = PaletteLine(content, line, gradient);
        }
        if (!failure.empty()) {
            gradient.stops.clear();
            return failure;
        }
    }
    if (gradient.stops.empty()) return AtLine(0, "holds no colours");
    if (format == Format::Palette && gradient.stops.size() != PaletteFileEntries) {
        const std::size_t found = gradient.stops.size();
        gradient.stops.clear();
        return AtLine(line, "a palette file holds " + std::to_string(PaletteFileEntries) + " colours; this one " +
                                std::to_string(found));
    }
    return {};
}

std::string LoadGradient(const std::string& path, Gradient& gradient) {
#if defined(_WIN32)
    // The name is UTF-8: a narrow name would be read in the system's code page.
    std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
#else
    std::ifstream in(path, std::ios::binary);
#endif
    if (!in) return path + ": cannot be read";
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > MaxGradientBytes) return path + ": longer than 1 MiB";
    }
    if (in.bad()) return path + ": cannot be read";
    std::string failure = ParseGradient(text, gradient);
    if (failure.empty()) return {};
    if (failure.starts_with("line 0: ")) return path + ": " + failure.substr(8);
    return path + ": " + failure;
}

}  // namespace qarn
