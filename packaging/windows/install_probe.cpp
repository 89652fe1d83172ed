// Asks Windows about an installed Tarnwick, for the installer's test: what the
// test checks is what Windows itself reads, not what a Linux tool makes of the
// files. Each command prints NAME=VALUE lines in UTF-8 and exits non-zero when
// Windows cannot answer.
//
//   version FILE          the version resource, as Explorer reads it
//   icons FILE            the icon groups, in resource order; the images of the first,
//                         and the sizes Windows makes of it
//   shortcut FILE.lnk     the target and working folder of a shortcut
//   products UPGRADECODE  every installed product of that upgrade code: its version, icon
//                         and installation context (user or machine)
//   press TITLE SECONDS BUTTON...  waits for that window and presses its buttons,
//                         named as in the layout table
//   close TITLE SECONDS   waits for a top-level window of exactly that title, names
//                         its program, closes it and waits for the program to end

#include "form/win32/control_ids.h"

#include <windows.h>

#include <msi.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

void print(const std::wstring& name, const std::wstring& value)
{
    const std::wstring line = name + L"=" + value + L"\n";
    const int length
        = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), utf8.data(), length, nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

int fail(const wchar_t* what)
{
    const DWORD error = GetLastError();
    std::fwprintf(stderr, L"install_probe: %ls (error %lu)\n", what, error);
    return 1;
}

int version(const wchar_t* file)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    if (size == 0)
        return fail(L"no version resource");
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(file, 0, size, data.data()))
        return fail(L"GetFileVersionInfoW");

    void* block = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", &block, &length) || length < sizeof(VS_FIXEDFILEINFO))
        return fail(L"no fixed file information");
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
    auto numbers = [](DWORD high, DWORD low) {
        return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"."
            + std::to_wstring(HIWORD(low)) + L"." + std::to_wstring(LOWORD(low));
    };
    print(L"FixedFileVersion", numbers(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
    print(L"FixedProductVersion", numbers(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
    print(L"FileType", fixed->dwFileType == VFT_APP ? L"application" : std::to_wstring(fixed->dwFileType));

    // The strings of the first language the resource names.
    struct Translation {
        WORD language;
        WORD codePage;
    };
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &block, &length) || length < sizeof(Translation))
        return fail(L"no translation table");
    const auto* translation = static_cast<const Translation*>(block);
    wchar_t language[16];
    std::swprintf(language, 16, L"%04x%04x", translation->language, translation->codePage);
    print(L"Translation", language);
    for (const wchar_t* name : {L"ProductName", L"ProductVersion", L"FileVersion", L"FileDescription", L"CompanyName",
             L"LegalCopyright", L"OriginalFilename", L"InternalName"}) {
        const std::wstring path = std::wstring(L"\\StringFileInfo\\") + language + L"\\" + name;
        if (VerQueryValueW(data.data(), path.c_str(), &block, &length) && length > 0)
            print(name, static_cast<const wchar_t*>(block));
    }
    return 0;
}

BOOL CALLBACK listIconGroup(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context)
{
    // The enumeration hands back, as an integer, the pointer it was given.
    auto* names = reinterpret_cast<std::vector<std::wstring>*>(context); // NOLINT(performance-no-int-to-ptr)
    names->push_back(IS_INTRESOURCE(name) ? std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : std::wstring(name));
    return TRUE;
}

int icons(const wchar_t* file)
{
    HMODULE module = LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        return fail(L"LoadLibraryExW");
    std::vector<std::wstring> groups;
    EnumResourceNamesW(module, RT_GROUP_ICON, listIconGroup, reinterpret_cast<LONG_PTR>(&groups));
    std::wstring list;
    for (const std::wstring& group : groups)
        list += (list.empty() ? L"" : L" ") + group;
    print(L"IconGroups", list);
    if (groups.empty()) {
        FreeLibrary(module);
        return fail(L"no icon group");
    }

    const wchar_t* first = groups.front().find_first_not_of(L"0123456789") == std::wstring::npos
        ? MAKEINTRESOURCEW(std::stoi(groups.front()))
        : groups.front().c_str();

    // The images the first group holds, from its directory (a width of 0 is 256).
    HRSRC found = FindResourceW(module, first, RT_GROUP_ICON);
    const auto* directory
        = found ? static_cast<const unsigned char*>(LockResource(LoadResource(module, found))) : nullptr;
    if (!directory || SizeofResource(module, found) < 6) {
        FreeLibrary(module);
        return fail(L"unreadable icon group");
    }
    constexpr size_t header = 6;
    constexpr size_t entry = 14;
    const size_t count = directory[4] | (directory[5] << 8);
    std::wstring entries;
    for (size_t index = 0; index < count && header + (index + 1) * entry <= SizeofResource(module, found); ++index) {
        const unsigned char* image = directory + header + index * entry;
        const int width = image[0] ? image[0] : 256;
        const int height = image[1] ? image[1] : 256;
        const int bits = image[6] | (image[7] << 8);
        entries += (entries.empty() ? L"" : L" ") + std::to_wstring(width) + L"x" + std::to_wstring(height) + L"x"
            + std::to_wstring(bits);
    }
    print(L"FirstIconImages", entries);

    // Each size as LoadImageW (and so LoadIconW) makes it from that group.
    std::wstring made;
    for (int size : {16, 24, 32, 48, 256}) {
        auto icon = static_cast<HICON>(LoadImageW(module, first, IMAGE_ICON, size, size, 0));
        if (!icon)
            continue;
        ICONINFO info{};
        BITMAP bitmap{};
        if (GetIconInfo(icon, &info)) {
            GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
            if (info.hbmColor)
                DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            made += (made.empty() ? L"" : L" ") + std::to_wstring(bitmap.bmWidth) + L"x"
                + std::to_wstring(bitmap.bmHeight);
        }
        DestroyIcon(icon);
    }
    print(L"FirstIconLoads", made);
    FreeLibrary(module);
    return 0;
}

int shortcut(const wchar_t* file)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return fail(L"CoInitializeEx");
    IShellLinkW* link = nullptr;
    IPersistFile* stored = nullptr;
    int status = 1;
    if (SUCCEEDED(CoCreateInstance(
            CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, reinterpret_cast<void**>(&link)))
        && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&stored)))
        && SUCCEEDED(stored->Load(file, STGM_READ))) {
        wchar_t target[MAX_PATH] = L"";
        wchar_t folder[MAX_PATH] = L"";
        // The path as written, not resolved: a shortcut to a removed program must still say where it pointed.
        if (SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH))) {
            link->GetWorkingDirectory(folder, MAX_PATH);
            print(L"Target", target);
            print(L"WorkingDirectory", folder);
            status = 0;
        }
    }
    if (status != 0)
        fail(L"cannot read the shortcut");
    if (stored)
        stored->Release();
    if (link)
        link->Release();
    CoUninitialize();
    return status;
}

// What Apps & Features lists a product as, from Windows Installer's registration
// (wherever the registry keeps it for a per-user product).
constexpr std::pair<const wchar_t*, const wchar_t*> listedAs[]
    = {{L"ProductName", INSTALLPROPERTY_INSTALLEDPRODUCTNAME}, {L"ProductPublisher", INSTALLPROPERTY_PUBLISHER}};

// Whose a product is: the current user's alone, or the machine's; the context
// in which Windows Installer knows it.
constexpr std::pair<MSIINSTALLCONTEXT, const wchar_t*> contexts[] = {
    {MSIINSTALLCONTEXT_USERUNMANAGED, L"user"},
    {MSIINSTALLCONTEXT_USERMANAGED, L"user-managed"},
    {MSIINSTALLCONTEXT_MACHINE, L"machine"},
};

int products(const wchar_t* upgradeCode)
{
    wchar_t product[39];
    int count = 0;
    for (DWORD index = 0; MsiEnumRelatedProductsW(upgradeCode, 0, index, product) == ERROR_SUCCESS; ++index) {
        wchar_t versionText[64] = L"";
        DWORD length = 64;
        MsiGetProductInfoW(product, INSTALLPROPERTY_VERSIONSTRING, versionText, &length);
        print(L"Product", std::wstring(product) + L" " + versionText);
        for (const auto& [name, property] : listedAs) {
            wchar_t value[256] = L"";
            length = 256;
            MsiGetProductInfoW(product, property, value, &length);
            print(name, value);
        }
        // The icon Apps & Features shows: the installer keeps its own copy of ARPPRODUCTICON.
        wchar_t icon[MAX_PATH] = L"";
        length = MAX_PATH;
        MsiGetProductInfoW(product, INSTALLPROPERTY_PRODUCTICON, icon, &length);
        print(L"ProductIcon", icon);
        const wchar_t* contextName = L"none";
        for (const auto& [context, name] : contexts) {
            wchar_t state[16] = L"";
            length = 16;
            if (MsiGetProductInfoExW(product, nullptr, context, INSTALLPROPERTY_PRODUCTSTATE, state, &length)
                == ERROR_SUCCESS) {
                contextName = name;
                break;
            }
        }
        print(L"ProductContext", contextName);
        ++count;
    }
    print(L"Products", std::to_wstring(count));
    return 0;
}

struct WindowSearch {
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context); // NOLINT(performance-no-int-to-ptr)
    wchar_t title[256] = L"";
    GetWindowTextW(window, title, 256);
    if (IsWindowVisible(window) && std::wcscmp(title, search->title) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The visible top-level window of exactly that title, waited for until the deadline.
HWND findWindow(const wchar_t* title, ULONGLONG deadline)
{
    WindowSearch search{title, nullptr};
    while (!search.found) {
        EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            break;
        if (GetTickCount64() > deadline)
            return nullptr;
        // Looks again ten times a second until the deadline.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    return search.found;
}

ULONGLONG deadlineIn(const wchar_t* seconds)
{
    return GetTickCount64() + 1000ULL * std::wcstoul(seconds, nullptr, 10);
}

// Presses the window's buttons named as in the layout table, in turn; each
// press returns once its command has run.
int pressButtons(const wchar_t* title, const wchar_t* seconds, int count, wchar_t** names)
{
    HWND window = findWindow(title, deadlineIn(seconds));
    if (!window)
        return fail(L"no such window in time");
    for (int i = 0; i < count; ++i) {
        const std::wstring wide = names[i];
        const std::string name(wide.begin(), wide.end()); // control names are ASCII
        const std::optional<std::size_t> row = tarnwick::rowNamed(name);
        HWND button = row ? GetDlgItem(window, tarnwick::controlId(*row)) : nullptr;
        if (!button)
            return fail(L"no such button");
        SendMessageW(button, BM_CLICK, 0, 0);
        print(L"Pressed", wide);
    }
    return 0;
}

int closeWindow(const wchar_t* title, const wchar_t* seconds)
{
    const ULONGLONG deadline = deadlineIn(seconds);
    HWND found = findWindow(title, deadline);
    if (!found)
        return fail(L"no such window in time");
    WindowSearch search{title, found};
    DWORD processId = 0;
    GetWindowThreadProcessId(search.found, &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId);
    if (!process)
        return fail(L"OpenProcess");
    wchar_t image[MAX_PATH] = L"";
    DWORD length = MAX_PATH;
    QueryFullProcessImageNameW(process, 0, image, &length);
    print(L"Program", image);

    PostMessageW(search.found, WM_CLOSE, 0, 0);
    const ULONGLONG now = GetTickCount64();
    const DWORD wait = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    if (WaitForSingleObject(process, wait) != WAIT_OBJECT_0) {
        CloseHandle(process);
        return fail(L"the program did not end after WM_CLOSE");
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process, &exitCode);
    CloseHandle(process);
    print(L"ExitCode", std::to_wstring(exitCode));
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"version" && argc == 3)
        return version(argv[2]);
    if (command == L"icons" && argc == 3)
        return icons(argv[2]);
    if (command == L"shortcut" && argc == 3)
        return shortcut(argv[2]);
    if (command == L"products" && argc == 3)
        return products(argv[2]);
    if (command == L"close" && argc == 4)
        return closeWindow(argv[2], argv[3]);
    if (command == L"press" && argc >= 5)
        return pressButtons(argv[2], argv[3], argc - 4, argv + 4);
    std::fputws(L"usage: install_probe version|icons|shortcut FILE, products UPGRADECODE, close TITLE SECONDS, press "
                L"TITLE SECONDS BUTTON...\n",
        stderr);
    return 2;
}
