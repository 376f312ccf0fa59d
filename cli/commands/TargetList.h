#pragma once

#include <string>
#include <vector>

#include "net/IPv4.h"

// Board addresses as the user gives them.

// Four decimal octets 0..255 and nothing else; `normalised` is the form a
// reply's sender takes (no leading zeros). False when the text is no address.
bool NormaliseAddress(const std::wstring& text, std::wstring& normalised);
// The addresses of a list file: separated by commas, blanks or line ends; '#' starts a comment.
std::vector<std::wstring> ListFileTargets(const std::wstring& text);
// Empty when a local subnet holds `ip` and it can be sent to, else why not.
std::wstring WhyUnreachable(const std::vector<AdapterAddress>& adapters, const std::wstring& ip);
