#pragma once
#include <string>
#include <vector>

namespace qarn::render {

// The wide-character command line of Windows as UTF-8 strings, so that a
// file name of any letters reaches the tool whole (the narrow argv holds
// them in the system's code page, and '?' for every letter it lacks).
// An unpaired surrogate becomes U+FFFD.
std::vector<std::string> Utf8Arguments(int argc, const wchar_t* const* argv);

// UTF-16 of UTF-8 text, for the wide file functions of Windows.
std::wstring WideOfUtf8(const std::string& text);

}  // namespace qarn::render
