#include "ImageStore.h"

#include "common/Sha256.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace boardsim {

ImageStore::ImageStore(std::string outDir, std::vector<std::uint8_t> expected, bool haveExpected)
    : m_outDir(std::move(outDir)), m_expected(std::move(expected)), m_haveExpected(haveExpected)
{
}

std::string ImageStore::SafeFileName(const std::string& received)
{
    std::string name;
    for (const char c : received) {
        const auto byte = static_cast<unsigned char>(c);
        // Bytes from 0x80 up stay: they are the workstation's code page and a test may look for them.
        name += (byte < 0x20 || byte == 0x7f || c == '/' || c == '\\') ? '_' : c;
    }
    if (name.empty() || name == "." || name == "..")
        name = "unnamed" + name;
    return name;
}

void ImageStore::Store(std::uint32_t boardIp, ImageRecord& record, std::vector<std::uint8_t>&& data) const
{
    record.size = data.size();
    record.sha256 = Sha256::Hex(data.data(), data.size());
    if (m_haveExpected)
        record.identical = (data == m_expected) ? 1 : 0;
    if (m_outDir.empty()) {
        record.data = std::move(data);
        return;
    }
    const std::string dir = m_outDir + "/" + IpText(boardIp);
    if (::mkdir(m_outDir.c_str(), 0755) != 0 && errno != EEXIST) {
        record.writeError = m_outDir + ": " + std::strerror(errno);
        return;
    }
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
        record.writeError = dir + ": " + std::strerror(errno);
        return;
    }
    const std::string path = dir + "/" + SafeFileName(record.fileName) + (record.complete ? "" : ".partial");
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        record.writeError = path + ": " + std::strerror(errno);
        return;
    }
    const bool ok = std::fwrite(data.data(), 1, data.size(), file) == data.size();
    if (std::fclose(file) != 0 || !ok) {
        record.writeError = path + ": write failed";
        return;
    }
    record.path = path;
}

}  // namespace boardsim
