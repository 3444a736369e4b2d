#include "platform/os/code_pages.h"

#include <iconv.h>

namespace os {
namespace {

// One conversion through iconv; nullopt on any character that does not convert.
std::optional<std::string> convert(const std::string& to, const std::string& from, std::string_view in)
{
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == iconv_t(-1))
        return std::nullopt;
    std::string out(in.size() * 4 + 16, '\0');
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (r == size_t(-1) || inLeft != 0)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

std::string nameOf(int codePage) { return "CP" + std::to_string(codePage); }

} // namespace

std::optional<std::string> decodeCodePage(int codePage, std::string_view bytes)
{
    return convert("UTF-8", nameOf(codePage), bytes);
}

std::optional<std::string> encodeCodePage(int codePage, std::string_view utf8)
{
    return convert(nameOf(codePage), "UTF-8", utf8);
}

} // namespace os
