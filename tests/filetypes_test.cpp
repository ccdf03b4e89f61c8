// File-type registration against the real registry of the test prefix, with an application name and
// extensions of the test's own so nothing else in the prefix is touched.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <string>
#include "FileTypes.h"
#include "e2e_driver.h"

namespace {

const wchar_t kApp[] = L"VantrelFileTypesTest";
const wchar_t kPrefix[] = L"VantrelTest";

// The value's text, or "<missing>" when the key or the value does not exist.
std::wstring Value(HKEY root, const std::wstring& path, const wchar_t* name) {
    wchar_t data[512] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return data;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// This process's kernel handles, registry keys included, counted as the resource checks of the player do.
DWORD OwnHandleCount() {
    e2e::Resources resources;
    EXPECT_TRUE(e2e::ReadResources(GetCurrentProcess(), GetCurrentProcessId(), resources));
    return resources.kernelHandles;
}

std::wstring ShortProgramPath() {
    wchar_t path[MAX_PATH], shortPath[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD n = GetShortPathNameW(path, shortPath, MAX_PATH);
    return n ? shortPath : path;
}

class FileTypes : public ::testing::Test {
  protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        for (const wchar_t* e : {L".vftesta", L".vftestb", L".vf test", L".vfshared"}) {
            SHDeleteKeyW(HKEY_CLASSES_ROOT, e);
            SHDeleteKeyW(HKEY_CLASSES_ROOT, (std::wstring(kPrefix) + e).c_str());
            SHDeleteKeyW(HKEY_CURRENT_USER, (std::wstring(L"Software\\Classes\\") + e).c_str());
            SHDeleteKeyW(HKEY_CURRENT_USER, (std::wstring(L"Software\\Classes\\") + kPrefix + e).c_str());
        }
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VantrelFileTypesTest");
        SHDeleteValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", kApp);
        SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VantrelFileTypesTestParent");
        for (const wchar_t* e : {L".vfneighbour", L".vfshared"}) {
            SHDeleteKeyW(HKEY_CLASSES_ROOT, e);
            SHDeleteKeyW(HKEY_CURRENT_USER, (std::wstring(L"Software\\Classes\\") + e).c_str());
        }
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VantrelFtVendor");
        SHDeleteValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", L"VantrelFtOther");
    }
};

}  // namespace

TEST_F(FileTypes, AssociatesEveryNonEmptyEntryAndRemovesThemAgain) {
    AssociateFileTypes(kApp, kPrefix, L"vftesta;;.vftestb;", nullptr);

    const std::wstring caps = L"SOFTWARE\\VantrelFileTypesTest\\Capabilities";
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, caps, L"ApplicationName"), kApp);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, caps + L"\\FileAssociations", L".vftesta"), L"VantrelTest.vftesta");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, caps + L"\\FileAssociations", L".vftestb"), L"VantrelTest.vftestb");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", kApp), caps);

    const std::wstring program = ShortProgramPath();
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER}) {
        std::wstring base = root == HKEY_CURRENT_USER ? L"Software\\Classes\\" : L"";
        SCOPED_TRACE(root == HKEY_CURRENT_USER ? "per-user classes" : "classes root");
        EXPECT_EQ(Value(root, base + L"VantrelTest.vftesta", nullptr), L"vftesta file");
        EXPECT_EQ(Value(root, base + L"VantrelTest.vftestb", nullptr), L"vftestb file");
        EXPECT_EQ(Value(root, base + L"VantrelTest.vftesta\\DefaultIcon", nullptr), program + L",0");
        // The command holds the short path and %1 without quotation marks.
        EXPECT_EQ(Value(root, base + L"VantrelTest.vftesta\\shell\\open\\command", nullptr), program + L" %1");
        EXPECT_EQ(Value(root, base + L".vftesta", nullptr), L"VantrelTest.vftesta");
        EXPECT_EQ(Value(root, base + L".vftestb", nullptr), L"VantrelTest.vftestb");
    }

    // A choice the user made stays when the types are removed.
    const std::wstring choice =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vftesta\\UserChoice";
    ASSERT_EQ(SetStringValue(HKEY_CURRENT_USER, choice.c_str(), L"Progid", L"VantrelTest.vftesta"), 1);

    UnassociateFileTypes(kApp, kPrefix, L".vftesta");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"VantrelTest.vftesta"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".vftesta"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\VantrelTest.vftesta"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\.vftesta"));
    // The application's machine key goes whole, with the capabilities of the other extension too.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VantrelFileTypesTest"));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", kApp), L"<missing>");
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L".vftestb"));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, choice, L"Progid"), L"VantrelTest.vftesta");
    SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vftesta");
}

// The count the leak checks below (and the player's soak) rely on sees each handle opened and closed, and
// counts a key named as the Open dialog's apart.
TEST_F(FileTypes, TheHandleCountSeesEveryHandleAndTellsTheDialogsKeyApart) {
    e2e::Resources start;
    ASSERT_TRUE(e2e::ReadResources(GetCurrentProcess(), GetCurrentProcessId(), start));
    HANDLE events[5];
    for (HANDLE& event : events)
        event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VantrelFileTypesTestParent\\ComDlg32\\LastVisitedMRU", 0,
                              nullptr, 0, KEY_READ, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    e2e::Resources open;
    ASSERT_TRUE(e2e::ReadResources(GetCurrentProcess(), GetCurrentProcessId(), open));
    EXPECT_EQ(open.kernelHandles, start.kernelHandles + 5);
    EXPECT_EQ(open.openDialogKeys, start.openDialogKeys + 1);
    for (HANDLE event : events)
        CloseHandle(event);
    RegCloseKey(key);
    e2e::Resources closed;
    ASSERT_TRUE(e2e::ReadResources(GetCurrentProcess(), GetCurrentProcessId(), closed));
    EXPECT_EQ(closed.kernelHandles, start.kernelHandles);
    EXPECT_EQ(closed.openDialogKeys, start.openDialogKeys);
}

// Every key and the token are given back before a call returns: registering and
// removing again and again leaves the process with the handles it had.
TEST_F(FileTypes, RegisteringAndRemovingKeepsNoHandle) {
    // The first round opens what stays open for the process (the classes root's own handles).
    AssociateFileTypes(kApp, kPrefix, L"vftesta;vftestb", nullptr);
    UnassociateFileTypes(kApp, kPrefix, L"vftesta;vftestb");
    const DWORD before = OwnHandleCount();
    ASSERT_GT(before, 0u);
    for (int round = 0; round < 5; ++round) {
        AssociateFileTypes(kApp, kPrefix, L"vftesta;vftestb", nullptr);
        IsProcessElevated();
        EXPECT_EQ(DeleteSubKey(HKEY_CURRENT_USER, L"Software\\VantrelFileTypesTestParent", L"missing"), 0);
        UnassociateFileTypes(kApp, kPrefix, L"vftesta;vftestb");
    }
    EXPECT_EQ(OwnHandleCount(), before);
}

TEST_F(FileTypes, EntriesAreUsedAsTheyStand) {
    // flv and .flv name one extension; a blank is kept, not trimmed.
    AssociateFileTypes(kApp, kPrefix, L"vftesta;.vftesta;vf test", nullptr);
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L".vftesta", nullptr), L"VantrelTest.vftesta");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L".vf test", nullptr), L"VantrelTest.vf test");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, L"VantrelTest.vf test", nullptr), L"vf test file");
}

TEST_F(FileTypes, EmptyListsAndNamesBeyondTheLimitsWriteNothing) {
    AssociateFileTypes(kApp, kPrefix, L";;", nullptr);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VantrelFileTypesTest"));

    std::wstring longPrefix(kMaxProgIdLength, L'p');
    AssociateFileTypes(kApp, longPrefix.c_str(), L"vftesta", nullptr);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".vftesta"));

    // Removing with an empty name must never touch the machine's SOFTWARE key.
    UnregisterCapabilities(L"");
    UnassociateFileTypes(L"", kPrefix, L"vftesta");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications"));
}

TEST_F(FileTypes, GenericRegistryOperations) {
    // A null value name sets the default value and creates the key.
    ASSERT_EQ(SetStringValue(HKEY_CURRENT_USER, L"Software\\VantrelFileTypesTestParent\\made", nullptr, L"d"), 1);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, L"Software\\VantrelFileTypesTestParent\\made", nullptr), L"d");
    EXPECT_EQ(SetStringValue(nullptr, L"x", L"name", L"d"), 0);

    // A missing parent is created, empty, and the missing child makes the removal fail.
    EXPECT_EQ(DeleteSubKey(HKEY_CURRENT_USER, L"Software\\VantrelFileTypesTestParent\\empty", L"child"), 0);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\VantrelFileTypesTestParent\\empty"));
    EXPECT_EQ(DeleteSubKey(HKEY_CURRENT_USER, L"Software\\VantrelFileTypesTestParent", L"made"), 1);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\VantrelFileTypesTestParent\\made"));

    EXPECT_EQ(UserChoicePath(L"a\\b"), L"a\\b\\UserChoice");
}

namespace {

void Put(HKEY root, const std::wstring& path, const wchar_t* name, const wchar_t* data) {
    ASSERT_EQ(RegSetKeyValueW(root, path.c_str(), name, REG_SZ, data,
                              static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS)
        << std::string(path.begin(), path.end());
}

}  // namespace

// Names that would lead out of the application's own keys: the classes root, the machine's SOFTWARE key,
// another vendor's key, another program's entries under a shared extension.
TEST_F(FileTypes, RemovalNeverReachesBeyondTheApplicationsOwnKeys) {
    Put(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VantrelFtVendor\\OtherProduct", L"Setting", L"kept");
    Put(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", L"VantrelFtOther", L"SOFTWARE\\Other\\Capabilities");
    for (const wchar_t* base : {L"", L"Software\\Classes\\"}) {
        HKEY root = base[0] ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
        // Another program's extension, and one whose key we share with another program's OpenWithProgids.
        Put(root, std::wstring(base) + L".vfneighbour", nullptr, L"Other.vfneighbour");
        Put(root, std::wstring(base) + L".vfneighbour\\OpenWithProgids", L"Other.vfneighbour", L"");
        Put(root, std::wstring(base) + L".vfshared\\OpenWithProgids", L"Other.vfshared", L"");
    }

    const wchar_t* const hostile[] = {nullptr,
                                      L"",
                                      L"\\",
                                      L"VantrelFtVendor\\",
                                      L"VantrelFtVendor\\OtherProduct",
                                      L".",
                                      L"..",
                                      L"..\\CLSID",
                                      L"a\x01"
                                      L"b"};
    for (const wchar_t* name : hostile) {
        SCOPED_TRACE(name ? std::string(name, name + wcslen(name)) : std::string("(null)"));
        UnregisterCapabilities(name);
        UnassociateFileTypes(name, kPrefix, L"vfneighbour");
        UnassociateFileType(name, kApp, L".vfneighbour");                        // as the ProgId
        UnassociateFileType(L"VantrelTest.vfneighbour", name, L".vfneighbour");  // as the application
        UnassociateFileType(L"VantrelTest.vfneighbour", kApp, name);             // as the extension
        UnassociateFileTypes(kApp, kPrefix, name);                               // as the list
        UnassociateFileTypes(kApp, name, L"vfneighbour");                        // as the ProgId prefix
    }
    // Extensions that are no extension, or lead elsewhere from the classes root.
    for (const wchar_t* extension : {L"vfneighbour", L".vf\\neighbour", L"\\CLSID", L".."}) {
        UnassociateFileType(L"VantrelTest.vfneighbour", kApp, extension);
        UnassociateFileTypes(kApp, kPrefix, extension);
    }
    // A ProgId that is the extension itself (an empty prefix gives one) would take the shared key whole.
    UnassociateFileType(L".VFneighbour", kApp, L".vfneighbour");
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes"));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VantrelFtVendor\\OtherProduct", L"Setting"), L"kept");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", L"VantrelFtOther"),
              L"SOFTWARE\\Other\\Capabilities");

    // Registered and removed for real: a shared extension key loses only our default, a key that was
    // only ours goes, another program's extension keeps everything, and so does a registered-applications
    // value that no longer points at our capabilities.
    AssociateFileTypes(kApp, kPrefix, L"vfshared;vftesta", nullptr);
    Put(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VantrelFileTypesTest", L"KeptByTheApplication", L"x");
    UnassociateFileTypes(kApp, kPrefix, L"vfshared;vftesta;vfneighbour");
    for (const wchar_t* base : {L"", L"Software\\Classes\\"}) {
        HKEY root = base[0] ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
        SCOPED_TRACE(base[0] ? "per-user classes" : "classes root");
        const std::wstring b(base);
        EXPECT_EQ(Value(root, b + L".vfshared", nullptr), L"<missing>");
        EXPECT_TRUE(KeyExists(root, b + L".vfshared\\OpenWithProgids"));
        EXPECT_FALSE(KeyExists(root, b + L".vftesta"));
        EXPECT_FALSE(KeyExists(root, b + L"VantrelTest.vfshared"));
        EXPECT_EQ(Value(root, b + L".vfneighbour", nullptr), L"Other.vfneighbour");
        EXPECT_EQ(Value(root, b + L".vfneighbour\\OpenWithProgids", L"Other.vfneighbour"), L"");
    }
    // What the facility wrote under the application's machine key goes; what it did not write stays.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VantrelFileTypesTest\\Capabilities"));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VantrelFileTypesTest", L"KeptByTheApplication"), L"x");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", kApp), L"<missing>");

    Put(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", kApp, L"SOFTWARE\\SomeoneElse\\Capabilities");
    UnregisterCapabilities(kApp);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", kApp),
              L"SOFTWARE\\SomeoneElse\\Capabilities");

    // The generic removals refuse an empty path or child, which would name the key above.
    DeleteKeyTree(HKEY_LOCAL_MACHINE, L"", L"SOFTWARE\\VantrelFtVendor");
    DeleteKeyTree(HKEY_CURRENT_USER, nullptr, nullptr);
    EXPECT_EQ(DeleteSubKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VantrelFtVendor", L""), 0);
    EXPECT_EQ(DeleteSubKey(HKEY_LOCAL_MACHINE, L"", nullptr), 0);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VantrelFtVendor\\OtherProduct", L"Setting"), L"kept");
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software"));
    SHDeleteValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\RegisteredApplications", kApp);
}
