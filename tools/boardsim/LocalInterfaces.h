// The IPv4 addresses configured on this network namespace's interfaces.
#pragma once

#include "Simulator.h"

#include <vector>

namespace boardsim {

class LocalInterfaces {
public:
    static std::vector<LocalAddress> Read();
};

}  // namespace boardsim
