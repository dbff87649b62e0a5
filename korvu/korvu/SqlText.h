#pragma once

#include <list>
#include <sstream>
#include <string>

#include "db/Stmt.h"
#include "korvu/korvu/Korvu.h"

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

// Binds the extension and the date bounds that are given, from index 1; the bounds are tested only here,
// after preparing, fromDate first. Returns the next free index.
inline int bindExtenAndDateBoundsOrThrow(db::Stmt& statement, const std::string* exten,
                                         const std::string* fromDate, const std::string* toDate) {
    int k = 1;
    if (exten != nullptr) {
        db::bindText(statement, k++, *exten);
    }
    if (fromDate != nullptr) {
        Korvu::checkDateFormatOrThrow(*fromDate);
        db::bindText(statement, k++, *fromDate);
    }
    if (toDate != nullptr) {
        Korvu::checkDateFormatOrThrow(*toDate);
        db::bindText(statement, k++, *toDate);
    }
    return k;
}

}  // namespace korvu::sqltext
