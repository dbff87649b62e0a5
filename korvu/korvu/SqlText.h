#pragma once

#include <list>
#include <sstream>
#include <string>

// Pieces of statement text shared by the billing operations.
namespace korvu::sqltext {

// Empty without conditions; else " WHERE ", each condition followed by one blank, " AND " between them.
inline std::string whereText(const std::list<std::string>& conditions) {
    if (conditions.empty()) {
        return "";
    }
    std::string text = " WHERE ";
    const char* separator = "";
    for (const std::string& condition : conditions) {
        text += separator;
        text += condition;
        text += " ";
        separator = " AND ";
    }
    return text;
}

// Ids are written into the text, never bound, as a stream writes a long long.
inline std::string joinedIds(const std::list<long long>& ids, const char* separator) {
    std::ostringstream text;
    const char* between = "";
    for (const long long id : ids) {
        text << between << id;
        between = separator;
    }
    return text.str();
}

}  // namespace korvu::sqltext
