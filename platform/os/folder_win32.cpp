#include "platform/os/folder.h"

#include "platform/os/win32_error.h"

#include <windows.h>

namespace os {

Status namesIn(const std::string& folder, std::vector<std::string>& names)
{
    names.clear();
    std::wstring pattern = widen(folder);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        // An empty folder still has "." and ".."; no entry at all is no
        // folder, unless it is a drive's root.
        return GetLastError() == ERROR_FILE_NOT_FOUND ? Status() : lastWin32Error();
    }
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(narrow(name));
    } while (FindNextFileW(find, &entry));
    const DWORD error = GetLastError();
    FindClose(find);
    return error == ERROR_NO_MORE_FILES ? Status() : Status::failure(errnoOfWin32(error));
}

Status lookAtFolder(const std::string& folder, bool& isFolder)
{
    isFolder = false;
    const DWORD attributes = GetFileAttributesW(widen(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return lastWin32Error();
    isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!isFolder)
        return {};
    std::vector<std::string> names;
    return namesIn(folder, names);
}

// Names are UTF-16 on Windows, and every one of them is text.
Status heldFolderName(const std::string& folder, std::string& out)
{
    out = folder;
    return {};
}

std::string_view pathSeparators() { return "/\\"; }

} // namespace os
