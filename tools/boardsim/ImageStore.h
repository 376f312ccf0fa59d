// Where the images that boards receive end up: a file per image, its hash, and a comparison with the
// expected image when one was given.
#pragma once

#include "Wire.h"

#include <cstdint>
#include <string>
#include <vector>

namespace boardsim {

struct ImageRecord {
    std::string fileName;  // as received: 8-bit text
    std::string path;      // empty when no output directory was given or writing failed
    std::string writeError;
    std::uint64_t size = 0;
    std::uint32_t blocks = 0;
    std::string sha256;
    bool complete = false;  // the board was asked to reboot after it
    int identical = -1;     // compared with the expected image: 1 yes, 0 no, -1 nothing to compare with
    Micros started = 0;
    Micros finished = 0;
    std::vector<std::uint8_t> data;  // kept only when there is no output directory
};

class ImageStore {
public:
    ImageStore() = default;
    ImageStore(std::string outDir, std::vector<std::uint8_t> expected, bool haveExpected);

    // Finishes the record: hash, comparison, and the file OUTDIR/<board ip>/<name> (".partial" appended
    // when the image is incomplete).
    void Store(std::uint32_t boardIp, ImageRecord& record, std::vector<std::uint8_t>&& data) const;

    // A name that is safe as one file-name component; unprintable and separator bytes become '_'.
    static std::string SafeFileName(const std::string& received);

private:
    std::string m_outDir;
    std::vector<std::uint8_t> m_expected;
    bool m_haveExpected = false;
};

}  // namespace boardsim
