#include "Console.h"

#include <windows.h>

namespace {

std::string g_out;

void WriteAll(DWORD which, const std::string& bytes)
{
    HANDLE h = GetStdHandle(which);
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(h, p, static_cast<DWORD>(left), &written, nullptr) || written == 0)
            return;
        p += written;
        left -= written;
    }
}

}  // namespace

namespace console {

std::string ToUtf8(std::wstring_view text)
{
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void Line(std::wstring_view text)
{
    g_out += ToUtf8(text);
    g_out += '\n';
}

void Lines(std::wstring_view text)
{
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        size_t next = end == std::wstring_view::npos ? text.size() : end + 1;
        size_t stop = end == std::wstring_view::npos ? text.size() : end;
        if (stop > start && text[stop - 1] == L'\r')
            --stop;
        Line(text.substr(start, stop - start));
        start = next;
    }
}

int Fail(int code, std::wstring_view text)
{
    Flush();
    WriteAll(STD_ERROR_HANDLE, "uidriver: " + ToUtf8(text) + "\n");
    return code;
}

void Flush()
{
    WriteAll(STD_OUTPUT_HANDLE, g_out);
    g_out.clear();
}

}  // namespace console
