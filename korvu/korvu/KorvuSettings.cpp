#include "korvu/korvu/Korvu.h"

namespace korvu {

std::unique_ptr<KorvuData> Korvu::getSettings(const Auth& auth) const {
    return run(auth, false, [this](db::Database& connection) {
        const auto statement = db::prepare(connection, "select settings_key, settings_value from settings");
        return performSelect(*statement);
    });
}

void Korvu::setCurrency(const Auth& auth, const std::string& currency) const {
    run(auth, true, [&currency](db::Database& connection) {
        // Without a CURRENCY row nothing changes, and that is no error.
        const auto statement = db::prepare(
            connection, "update settings set settings_value = ? where  settings_key = 'CURRENCY' ");
        db::bindText(*statement, 1, currency);
        db::step(*statement);
    });
}

std::unique_ptr<KorvuData> Korvu::getHelp(const Auth& auth, const std::string& language) const {
    return run(auth, false, [this, &language](db::Database& connection) {
        const auto statement = db::prepare(connection, " SELECT key, value FROM help where lang=?");
        db::bindText(*statement, 1, language);
        return performSelect(*statement);
    });
}

}  // namespace korvu
