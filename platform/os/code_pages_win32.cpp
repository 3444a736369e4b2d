#include "platform/os/code_pages.h"

#include <windows.h>

// Through UTF-16, refusing what does not convert exactly: no best-fit
// letters, no default character.
namespace os {
namespace {

std::optional<std::wstring> toWide(UINT codePage, std::string_view in)
{
    if (in.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), int(in.size()), nullptr, 0);
    if (n <= 0)
        return std::nullopt;
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), int(in.size()), wide.data(), n);
    return wide;
}

std::optional<std::string> fromWide(UINT codePage, const std::wstring& in)
{
    if (in.empty())
        return std::string();
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* asked = utf8 ? nullptr : &usedDefault;
    const int n = WideCharToMultiByte(codePage, flags, in.data(), int(in.size()), nullptr, 0, nullptr, asked);
    if (n <= 0 || usedDefault)
        return std::nullopt;
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(codePage, flags, in.data(), int(in.size()), out.data(), n, nullptr, asked);
    return out;
}

} // namespace

std::optional<std::string> decodeCodePage(int codePage, std::string_view bytes)
{
    const auto wide = toWide(UINT(codePage), bytes);
    return wide ? fromWide(CP_UTF8, *wide) : std::nullopt;
}

std::optional<std::string> encodeCodePage(int codePage, std::string_view utf8)
{
    const auto wide = toWide(CP_UTF8, utf8);
    return wide ? fromWide(UINT(codePage), *wide) : std::nullopt;
}

} // namespace os
