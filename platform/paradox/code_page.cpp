#include "platform/paradox/code_page.h"

#include <cerrno>
#include <iconv.h>

namespace paradox {
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

} // namespace

CodePage::CodePage(int number)
    : number_(number), iconvName_(number ? "CP" + std::to_string(number) : std::string())
{
}

std::string CodePage::toUtf8(std::string_view bytes) const
{
    if (iconvName_.empty())
        return std::string(bytes);
    bool ascii = true;
    for (char c : bytes)
        ascii = ascii && (static_cast<unsigned char>(c) < 0x80);
    if (ascii)
        return std::string(bytes);
    if (auto text = convert("UTF-8", iconvName_, bytes))
        return *text;
    // A byte the code page leaves undefined: keep every byte visible.
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else if (auto one = convert("UTF-8", iconvName_, std::string_view(&c, 1))) {
            out += *one;
        } else {
            out += "\xEF\xBF\xBD";
        }
    }
    return out;
}

std::optional<std::string> CodePage::fromUtf8(std::string_view text) const
{
    bool ascii = true;
    for (char c : text)
        ascii = ascii && (static_cast<unsigned char>(c) < 0x80);
    if (ascii || iconvName_.empty())
        return std::string(text);
    return convert(iconvName_, "UTF-8", text);
}

} // namespace paradox
