#pragma once

#include <string>

std::string HelpText();
std::string VersionText();
