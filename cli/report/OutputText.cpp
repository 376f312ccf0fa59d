#include "cli/report/OutputText.h"

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

std::wstring DecodeUtf8OrCp1252(const std::wstring& bytes)
{
    const auto byteAt = [&bytes](std::size_t i) { return static_cast<std::uint32_t>(bytes[i]); };
    std::wstring text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::uint32_t lead = byteAt(i);
        // Lead byte, sequence length and the least value it may carry (shorter
        // forms, surrogates and values beyond U+10FFFF are no UTF-8).
        const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
            : lead >= 0xF0 && lead <= 0xF4                                                         ? 4
                                                                                                   : 0;
        std::uint32_t code = length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length != 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const std::uint32_t next = byteAt(i + k);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        const std::uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        valid = valid && code >= least && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (!valid) {
            // ASCII, a character already wider than a byte, or a byte of some other code page.
            text += lead < 0x80 || lead > 0xFF ? static_cast<wchar_t>(lead) : DecodeCp1252(std::wstring(1, static_cast<wchar_t>(lead)))[0];
            ++i;
            continue;
        }
        if (sizeof(wchar_t) == 2 && code >= 0x10000) {
            text += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
            text += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            text += static_cast<wchar_t>(code);
        }
        i += length;
    }
    return text;
}

std::wstring DecodeSystemText(const std::wstring& text)
{
#ifdef _WIN32
    return text;
#else
    return DecodeUtf8OrCp1252(text);
#endif
}

std::wstring PathForLine(const std::wstring& path)
{
    return EscapeForLine(DecodeSystemText(path));
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
