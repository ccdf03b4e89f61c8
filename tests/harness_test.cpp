// The player carries the version resource it ships with.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::wstring BinFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name) {
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return L"";
    return value;
}

}  // namespace

TEST(Harness, PlayerCarriesItsVersionResource) {
    std::wstring exe = BinFolder() + L"Vantrel.exe";
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &handle);
    ASSERT_GT(size, 0u) << "no version resource in Vantrel.exe";
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(0, 1)));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(1, 0)));
    EXPECT_EQ(fixed->dwProductVersionMS, static_cast<DWORD>(MAKELONG(0, 1)));
    EXPECT_EQ(fixed->dwProductVersionLS, static_cast<DWORD>(MAKELONG(1, 0)));

    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } expected[] = {{L"CompanyName", L"Tarnwell"},
                    {L"ProductName", L"Vantrel"},
                    {L"FileDescription", L"Vantrel"},
                    {L"FileVersion", L"1.0.0.1"},
                    {L"ProductVersion", L"1.0.0.1"}};
    for (const auto& e : expected)
        EXPECT_EQ(VersionString(block, e.name), e.value) << e.name;
}
