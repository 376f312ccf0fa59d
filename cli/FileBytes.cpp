#include "cli/FileBytes.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "net/TextCodec.h"

std::wstring ErrnoText(int error)
{
    return AnsiToWide(std::strerror(error));
}

bool ReadAndClose(std::FILE* file, std::vector<std::uint8_t>& bytes, std::wstring& error, std::size_t limit)
{
    if (file == nullptr) {
        error = ErrnoText(errno);
        return false;
    }
    bytes.clear();
    std::uint8_t chunk[65536];
    for (std::size_t n = 0; bytes.size() <= limit && (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + n);
    const bool failed = std::ferror(file) != 0;
    const int readError = errno;
    std::fclose(file);
    if (failed) {
        error = ErrnoText(readError);
    } else if (bytes.size() > limit) {
        error = L"it holds more than " + std::to_wstring(limit) + L" bytes, more than a list of addresses takes";
        bytes.clear();
        return false;
    }
    return !failed;
}

bool ReadWholeFile(std::FILE* file, std::uint64_t size, std::uint64_t limit, std::vector<std::uint8_t>& bytes,
    std::wstring& error)
{
    if (file == nullptr) {
        error = ErrnoText(errno);
        return false;
    }
    bytes.clear();
    if (size > limit) {
        std::fclose(file);
        error = L"it is " + std::to_wstring(size) + L" bytes, more than this command holds in memory here (at most "
            + std::to_wstring(limit) + L")";
        return false;
    }
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        std::fclose(file);
        error = L"it is " + std::to_wstring(size) + L" bytes, more than there is memory for now";
        return false;
    }
    std::size_t got = 0;
    while (got < bytes.size()) {
        const std::size_t n = std::fread(bytes.data() + got, 1, bytes.size() - got, file);
        if (n == 0)
            break;
        got += n;
    }
    std::uint8_t more = 0;
    const bool grew = got == bytes.size() && std::fread(&more, 1, 1, file) == 1;
    const bool failed = std::ferror(file) != 0;
    const int readError = errno;
    std::fclose(file);
    if (failed || got != bytes.size() || grew) {
        error = failed ? ErrnoText(readError) : std::wstring(L"it changed while it was read");
        bytes.clear();
        return false;
    }
    return true;
}

std::wstring NotRegularFile(const std::wstring& what, bool viaLink)
{
    return L"it is " + std::wstring(viaLink ? L"a link to " : L"") + what + L"; only a regular file can be flashed";
}
