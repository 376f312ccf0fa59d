#include "cli/OutputText.h"

#include <cstdint>

#include "net/TextCodec.h"

namespace {

// 0x80..0x9F. The five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) become the C1 control of the same number, as Windows' own
// conversion and web browsers have it; a line shows them as \xNN, so the byte
// stays visible.
const char16_t CP1252_HIGH[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D,
    0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A,
    0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

std::wstring BytesAsText(const std::string& bytes)
{
    std::wstring text;
    text.reserve(bytes.size());
    for (char c : bytes)
        text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return text;
}

std::wstring DecodeCp1252(const std::wstring& bytes)
{
    std::wstring text;
    text.reserve(bytes.size());
    for (wchar_t c : bytes) {
        const unsigned byte = static_cast<unsigned>(c) & 0xFFu;
        text += byte >= 0x80 && byte < 0xA0 ? static_cast<wchar_t>(CP1252_HIGH[byte - 0x80]) : static_cast<wchar_t>(byte);
    }
    return text;
}

std::wstring EscapeForLine(const std::wstring& text)
{
    std::wstring line;
    line.reserve(text.size());
    for (wchar_t c : text) {
        const unsigned long code = static_cast<unsigned long>(c);
        if (c == L'\t') {
            line += L"\\t";
        } else if (c == L'\n') {
            line += L"\\n";
        } else if (c == L'\r') {
            line += L"\\r";
        } else if (c == L'\\') {
            line += L"\\\\";
        } else if (code < 0x20 || (code >= 0x7F && code < 0xA0)) {
            const wchar_t* const digits = L"0123456789abcdef";
            line += L"\\x";
            line += digits[(code >> 4) & 0xF];
            line += digits[code & 0xF];
        } else {
            line += c;
        }
    }
    return line;
}

std::wstring BoardTextForLine(const std::wstring& bytes)
{
    return EscapeForLine(DecodeCp1252(bytes));
}

std::string Utf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t code = static_cast<std::uint32_t>(text[i]);
        // Windows holds text in UTF-16: a surrogate pair is one character.
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size()) {
            const std::uint32_t low = static_cast<std::uint32_t>(text[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if ((code >= 0xD800 && code < 0xE000) || code > 0x10FFFF)
            code = 0xFFFD; // half a pair, or no character at all
        AppendUtf8(out, code);
    }
    return out;
}

std::string NativeText(const std::wstring& text)
{
#ifdef _WIN32
    return Utf8(text);
#else
    // Arguments were widened byte for byte; narrowing gives them back as typed.
    return WideToAnsi(text);
#endif
}
