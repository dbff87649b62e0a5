#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/korvu/KorvuFixture.h"

namespace {

using korvutest::adminAuth;
using korvutest::extenAuth;
using korvutest::KorvuTest;
using testsupport::Row;
using testsupport::Rows;

// A result table as plain rows, SQL NULL as "<null>", for literal comparison.
std::vector<std::vector<std::string>> cells(const korvu::KorvuData& table) {
    std::vector<std::vector<std::string>> result;
    for (const auto& row : table.rows) {
        std::vector<std::string> line;
        for (const auto& cell : row) {
            line.push_back(cell.isNull() ? "<null>" : cell.str());
        }
        result.push_back(line);
    }
    return result;
}

using Settings = KorvuTest;

TEST_F(Settings, EveryAuthenticatedCallerReadsAllSettings) {
    for (const Auth& auth : {adminAuth(), extenAuth()}) {
        const auto table = korvu.getSettings(auth);
        const std::vector<std::string> headers = {"settings_key", "settings_value"};
        EXPECT_EQ(headers, table->headers);
        const std::vector<std::vector<std::string>> rows = {{"CURRENCY", "EUR"}, {"LANGUAGE", "en"}};
        EXPECT_EQ(rows, cells(*table));
    }
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.getSettings(Auth{"101", "nope", false});
    });
}

TEST_F(Settings, MissingTableIsAnInternalError) {
    database.exec("DROP TABLE settings");
    EXPECT_ERROR(korvu::InternalError, 1, "SQL Error  1: no such table: settings",
                 [&] { korvu.getSettings(extenAuth()); });
    EXPECT_ERROR(korvu::InternalError, 1, "SQL Error  1: no such table: settings",
                 [&] { korvu.setCurrency(adminAuth(), "USD"); });
}

TEST_F(Settings, RecordLimitApplies) {
    const auto one = korvuWithLimit(1);
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 1. ",
                 [&] { one->getSettings(adminAuth()); });
    EXPECT_EQ(2u, korvuWithLimit(2)->getSettings(adminAuth())->rows.size());
}

using Currency = KorvuTest;

TEST_F(Currency, AdministratorSetsOnlyTheCurrencyRow) {
    korvu.setCurrency(adminAuth(), "USD");
    const Rows expected = {Row{"CURRENCY", "USD"}, Row{"LANGUAGE", "en"}};
    EXPECT_EQ(expected, database.query("SELECT settings_key, settings_value FROM settings ORDER BY rowid"));

    korvu.setCurrency(adminAuth(), "");
    EXPECT_EQ(std::optional<std::string>(""), currency());
}

TEST_F(Currency, ExtensionUserIsRefusedAndNothingChanges) {
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.setCurrency(extenAuth(), "USD"); });
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.setCurrency(Auth{"101", "wrong", false}, "USD");
    });
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.setCurrency(Auth{"admin", "wrong", true}, "USD");
    });
    const Rows expected = {Row{"CURRENCY", "EUR"}, Row{"LANGUAGE", "en"}};
    EXPECT_EQ(expected, database.query("SELECT settings_key, settings_value FROM settings ORDER BY rowid"));
}

TEST_F(Currency, WithoutACurrencyRowNothingChangesAndNoErrorIsRaised) {
    database.exec("DELETE FROM settings WHERE settings_key = 'CURRENCY'");
    korvu.setCurrency(adminAuth(), "USD");
    const Rows expected = {Row{"LANGUAGE", "en"}};
    EXPECT_EQ(expected, database.query("SELECT settings_key, settings_value FROM settings"));
    const std::vector<std::vector<std::string>> rows = {{"LANGUAGE", "en"}};
    EXPECT_EQ(rows, cells(*korvu.getSettings(extenAuth())));
}

TEST_F(Currency, EveryCurrencyRowReceivesTheValue) {
    database.exec("INSERT INTO settings VALUES ('CURRENCY', 'PLN')");
    korvu.setCurrency(adminAuth(), "CHF");
    const Rows expected = {Row{"CHF"}, Row{"CHF"}};
    EXPECT_EQ(expected,
              database.query("SELECT settings_value FROM settings WHERE settings_key = 'CURRENCY'"));
}

TEST_F(Currency, ValueIsBoundNotWrittenIntoTheStatement) {
    const std::string hostile = "x' WHERE 1; --";
    korvu.setCurrency(adminAuth(), hostile);
    EXPECT_EQ(hostile, currency());
    EXPECT_EQ(std::optional<std::string>("en"),
              database.queryOne("SELECT settings_value FROM settings WHERE settings_key = 'LANGUAGE'"));
}

using Help = KorvuTest;

TEST_F(Help, TextsOfOneLanguage) {
    for (const Auth& auth : {adminAuth(), extenAuth()}) {
        const auto table = korvu.getHelp(auth, "de");
        const std::vector<std::string> headers = {"key", "value"};
        EXPECT_EQ(headers, table->headers);
        const std::vector<std::vector<std::string>> rows = {
            {"login", "Melden Sie sich mit Nebenstelle und Web-Passwort an."},
            {"rates", "Tarife richten sich nach der Vorwahl der gewaehlten Nummer."}};
        EXPECT_EQ(rows, cells(*table));
    }
}

TEST_F(Help, UnknownLanguageGivesHeadersOnlyWithoutFallback) {
    for (const std::string language : {"fr", "EN", "", "en "}) {
        const auto table = korvu.getHelp(extenAuth(), language);
        const std::vector<std::string> headers = {"key", "value"};
        EXPECT_EQ(headers, table->headers) << language;
        EXPECT_TRUE(table->rows.empty()) << language;
    }
}

TEST_F(Help, NeedsValidCredentialsAndHonoursTheLimit) {
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.getHelp(Auth{"102", "secret101", false}, "en");
    });
    database.exec("INSERT INTO help VALUES ('extra', 'x', 'en')");
    EXPECT_EQ(3u, korvuWithLimit(3)->getHelp(extenAuth(), "en")->rows.size());
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 2. ",
                 [&] { korvuWithLimit(2)->getHelp(extenAuth(), "en"); });
}

}  // namespace
