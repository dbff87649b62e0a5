#include <sqlite3.h>

#include <climits>
#include <string>

#include "common/JsonEncode.h"
#include "common/ProtoConstants.h"
#include "korvu/korvu/Korvu.h"

namespace korvu {

TooManyRowsException Korvu::tooManyRows() const {
    return TooManyRowsException("Too many rows. Current limit is " + std::to_string(recordLimit) + ". ");
}

std::unique_ptr<KorvuData> Korvu::performSelect(db::Stmt& statement, int limit) const {
    auto table = std::make_unique<KorvuData>();
    const int columns = db::columntCount(statement);
    table->headers.reserve(static_cast<std::size_t>(columns));
    table->rows.reserve(1000);
    for (int i = 0; i < columns; ++i) {
        table->headers.push_back(db::columnName(statement, i));
    }
    int count = 0;
    while (db::step(statement) != SQLITE_DONE) {
        table->rows.emplace_back();
        auto& row = table->rows.back();
        row.reserve(static_cast<std::size_t>(columns));
        for (int i = 0; i < columns; ++i) {
            const auto value = db::columnTextView(statement, i);
            if (value) {
                row.emplace_back(std::string(*value), false);
            } else {
                row.emplace_back();
            }
        }
        if (++count > limit) {
            throw tooManyRows();
        }
    }
    return table;
}

std::unique_ptr<KorvuData> Korvu::performSelect(db::Stmt& statement) const {
    // A limit beyond int's range would turn negative and refuse every row.
    const int limit = recordLimit > static_cast<unsigned>(INT_MAX) ? INT_MAX : static_cast<int>(recordLimit);
    return performSelect(statement, limit);
}

namespace {

void appendEncoded(std::string& text, const std::string& value) {
    proto::appendEncodedJsonString(text, value.data(), value.size());
}

}  // namespace

std::string Korvu::performSelectAndReturnString(db::Stmt& statement, int limit) const {
    const int columns = db::columntCount(statement);
    std::string text = "{";
    appendEncoded(text, proto::ITEM_HEADERS);
    text += ":[";
    for (int i = 0; i < columns; ++i) {
        if (i > 0) {
            text += ',';
        }
        appendEncoded(text, db::columnName(statement, i));
    }
    text += "],";
    appendEncoded(text, proto::ITEM_ROWS);
    text += ":[";
    int count = 0;
    while (db::step(statement) != SQLITE_DONE) {
        if (count > 0) {
            text += ',';
        }
        text += '[';
        for (int i = 0; i < columns; ++i) {
            if (i > 0) {
                text += ',';
            }
            // Encoded from SQLite's own buffer: no copy per cell over listings of many thousand rows.
            const auto value = db::columnTextView(statement, i);
            if (value) {
                proto::appendEncodedJsonString(text, value->data(), value->size());
            } else {
                text += "null";
            }
        }
        text += ']';
        if (++count > limit) {
            throw tooManyRows();
        }
    }
    text += "]}";
    return text;
}

}  // namespace korvu
