#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "cli/report/JsonText.h"

// A document parsed, its members in the order written (documents that compare
// equal hold the same keys, values and order); one that is no JSON is null.
inline Json Parsed(const std::string& text)
{
    const Json json = Json::parse(text, nullptr, false);
    return json.is_discarded() ? Json() : json;
}
