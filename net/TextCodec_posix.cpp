#include "net/TextCodec.h"

// Outside Windows there is no ANSI code page to ask; Latin-1 maps every byte
// to one character and back, and '?' stands in for what it lacks, as the
// Windows conversion puts its default character there.
std::string WideToAnsi(const std::wstring& text)
{
    std::string result;
    result.reserve(text.size());
    for (wchar_t c : text)
        result.push_back(static_cast<unsigned long>(c) <= 0xFF ? static_cast<char>(c) : '?');
    return result;
}

std::wstring AnsiToWide(const std::string& text)
{
    std::wstring result;
    result.reserve(text.size());
    for (char c : text)
        result.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return result;
}
