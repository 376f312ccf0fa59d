// Full path of the running executable, however long it is.
#pragma once

#include <string>

std::wstring ModuleFilePath();
