#include "cli/FileBytes.h"

#include <cerrno>
#include <cstring>

#include "net/TextCodec.h"

std::wstring ErrnoText(int error)
{
    return AnsiToWide(std::strerror(error));
}

bool ReadAndClose(std::FILE* file, std::vector<std::uint8_t>& bytes, std::wstring& error)
{
    if (file == nullptr) {
        error = ErrnoText(errno);
        return false;
    }
    bytes.clear();
    std::uint8_t chunk[65536];
    for (std::size_t n = 0; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + n);
    const bool failed = std::ferror(file) != 0;
    const int readError = errno;
    std::fclose(file);
    if (failed)
        error = ErrnoText(readError);
    return !failed;
}
