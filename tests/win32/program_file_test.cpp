// What qarn.exe carries besides its code: the version resource, the
// manifest that asks for version 6 of the common controls, the icon in both
// sizes and the AutoScroll cursors. Read from the real program file, which
// is built beside this test.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/resources/resource_ids.h"

namespace qarn {
namespace {

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L"\\/") + 1);
    return folder + L"qarn.exe";
}

// The program file's resources, without running it.
class ProgramFile : public ::testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr) << "qarn.exe is not beside the test";
    }
    void TearDown() override {
        if (module) FreeLibrary(module);
    }
    HMODULE module = nullptr;
};

std::wstring VersionString(const std::vector<char>& block, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || length == 0) return L"(none)";
    return static_cast<const wchar_t*>(value);
}

TEST_F(ProgramFile, VersionResourceNamesTheProgramAndItsVersion) {
    const std::wstring path = ProgramPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 2));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(1, 0));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 2));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(1, 0));
    EXPECT_EQ(VersionString(block, L"FileVersion"), L"2.0.0.1");
    EXPECT_EQ(VersionString(block, L"ProductVersion"), L"2.0.0.1");
    EXPECT_EQ(VersionString(block, L"FileDescription"), L"Displays the Mandelbrot Set");
    EXPECT_EQ(VersionString(block, L"InternalName"), L"Qarn");
    EXPECT_EQ(VersionString(block, L"ProductName"), L"Qarn");
}

TEST_F(ProgramFile, ManifestAsksForCommonControlsSix) {
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    const std::string manifest(bytes, SizeofResource(module, found));
    const auto dependency = manifest.find("name=\"Microsoft.Windows.Common-Controls\"");
    ASSERT_NE(dependency, std::string::npos) << manifest;
    EXPECT_NE(manifest.find("version=\"6.0.0.0\"", dependency - std::min<std::size_t>(dependency, 200)),
              std::string::npos);
    EXPECT_NE(manifest.find("version=\"2.0.0.1\""), std::string::npos);
    EXPECT_NE(manifest.find("<description>Displays the Mandelbrot Set</description>"), std::string::npos);
}

TEST_F(ProgramFile, IconInBothSizesAndNineAutoScrollCursors) {
    for (int size : {16, 32}) {
        const HICON icon = static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(IDI_QARN), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap{};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    for (int i = 0; i < 9; ++i) {
        const HCURSOR cursor = static_cast<HCURSOR>(
            LoadImageW(module, MAKEINTRESOURCEW(IDCUR_SCROLL_FIRST + i), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
        EXPECT_NE(cursor, nullptr) << "cursor " << i;
        if (cursor) DestroyCursor(cursor);
    }
}

}  // namespace
}  // namespace qarn
