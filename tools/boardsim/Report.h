// What the simulator tells at the end of a run: the verdict per board for people, and the same facts for scripts
// as a JSON summary and as key=value lines.
#pragma once

#include "Simulator.h"

#include <ostream>
#include <string>

namespace boardsim {

class Report {
public:
    // brief leaves out boards that heard nothing.
    static void WriteVerdict(const Simulator& sim, std::ostream& out, bool brief);
    static void WriteVerdictKeys(const Simulator& sim, std::ostream& out);
    static void WriteSummaryJson(const Simulator& sim, Micros elapsed, std::ostream& out);
    // Writes through a temporary file and a rename, so that a reader never sees half a file.
    static bool WriteFileAtomically(const std::string& path, const std::string& content, std::string& error);

    static std::string JsonString(const std::string& text);
    // 0 when clean: no flag and no image that differs from the expected one.
    static int ExitStatus(const Simulator& sim);
};

}  // namespace boardsim
