#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <string>

#include "db/Database.h"
#include "tests/korvu/KorvuFixture.h"

namespace {

using korvutest::adminAuth;
using korvutest::extenAuth;
using korvutest::KorvuTest;

bool fileExists(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file != nullptr) {
        std::fclose(file);
    }
    return file != nullptr;
}

using Authorization = KorvuTest;

TEST_F(Authorization, ExtensionUserWithItsWebPasswordIsAccepted) {
    korvu.login(extenAuth());
    korvu.login(Auth{"102", "secret102", false});
    EXPECT_TRUE(validator.asked.empty());
}

TEST_F(Authorization, WrongOrInexactCredentialsAreRefused) {
    const Auth refused[] = {
        {"101", "secret102", false},
        {"101", "Secret101", false},
        {"101", "secret101 ", false},
        {"101 ", "secret101", false},
        {" 101", "secret101", false},
        {"999", "secret101", false},
        {"", "", false},
    };
    for (const Auth& auth : refused) {
        SCOPED_TRACE(auth.name + "/" + auth.pass);
        EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] { korvu.login(auth); });
    }
    EXPECT_TRUE(validator.asked.empty());
}

TEST_F(Authorization, TwoMatchingExtensionRowsAreRefused) {
    database.exec("INSERT INTO exten (id, exten, www_pass) VALUES (4, '101', 'secret101')");
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] { korvu.login(extenAuth()); });
    // The other extension is still unambiguous.
    korvu.login(Auth{"102", "secret102", false});
}

TEST_F(Authorization, EmptyWebPasswordAcceptsOnlyAnEmptyPassword) {
    database.exec("INSERT INTO exten (id, exten, www_pass) VALUES (4, '104', ''), (5, '105', NULL)");
    korvu.login(Auth{"104", "", false});
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.login(Auth{"104", "x", false});
    });
    // NULL is no password at all, so not even the empty one matches it.
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.login(Auth{"105", "", false});
    });
}

TEST_F(Authorization, WrongPasswordOnAnAdministratorOperationIsAnAuthenticationFailure) {
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.setCurrency(Auth{"101", "wrong", false}, "USD");
    });
    EXPECT_EQ("EUR", currency());
}

TEST_F(Authorization, ExtensionUserOnAnAdministratorOperationIsDenied) {
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.setCurrency(extenAuth(), "USD"); });
    EXPECT_EQ("EUR", currency());
}

TEST_F(Authorization, AdministratorIsJudgedByTheValidatorAlone) {
    korvu.login(adminAuth());
    ASSERT_EQ(1u, validator.asked.size());
    EXPECT_EQ("admin", validator.asked[0].first);
    EXPECT_EQ("adminpass", validator.asked[0].second);

    // An extension's valid credentials do not make an administrator.
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.login(Auth{"101", "secret101", true});
    });
    ASSERT_EQ(2u, validator.asked.size());
    EXPECT_EQ("101", validator.asked[1].first);
    EXPECT_EQ("secret101", validator.asked[1].second);
}

TEST_F(Authorization, AdministratorLoginTouchesNoTable) {
    database.exec("DROP TABLE exten");
    korvu.login(adminAuth());
    EXPECT_ERROR(korvu::InternalError, 1, "SQL Error  1: no such table: exten",
                 [&] { korvu.login(extenAuth()); });
}

TEST_F(Authorization, ExtensionLoginNeedsOnlyTheExtenTable) {
    database.exec(
        "DROP TABLE cdr; DROP TABLE rate; DROP TABLE rate_history; DROP TABLE cache_rate_to_exten;"
        "DROP TABLE settings; DROP TABLE help; DROP TABLE recharge_history");
    korvu.login(extenAuth());
}

TEST_F(Authorization, ValidatorErrorsPassUnchanged) {
    validator.failure = [] { throw korvu::InternalError("Asterisk connection problem: Connection refused"); };
    EXPECT_ERROR(korvu::InternalError, 1, "Asterisk connection problem: Connection refused",
                 [&] { korvu.login(adminAuth()); });
    EXPECT_ERROR(korvu::InternalError, 1, "Asterisk connection problem: Connection refused",
                 [&] { korvu.setCurrency(adminAuth(), "USD"); });
    EXPECT_EQ("EUR", currency());
}

TEST_F(Authorization, AuthorizeOrThrowWorksOnTheCallersConnection) {
    const auto connection = db::openDatabase(database.path(), SQLITE_OPEN_READWRITE, 30000);
    korvu.authorizeOrThrow(adminAuth(), true, *connection);
    korvu.authorizeOrThrow(extenAuth(), false, *connection);
    EXPECT_TRUE(korvu.checkExtenAuth(extenAuth(), *connection));
    EXPECT_FALSE(korvu.checkExtenAuth(Auth{"101", "x", false}, *connection));
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.authorizeOrThrow(extenAuth(), true, *connection); });
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.authorizeOrThrow(Auth{"admin", "x", true}, false, *connection);
    });
    EXPECT_TRUE(korvu.isAdmin(adminAuth()));
    EXPECT_FALSE(korvu.isAdmin(extenAuth()));
}

TEST_F(Authorization, MissingDatabaseFailsEveryOperationWithoutCreatingIt) {
    const std::string path = korvutest::missingPath();
    const korvu::Korvu missing(path, validator, 20000);
    const std::string message = "SQL Error  14: unable to open database file";
    for (const Auth& auth : {adminAuth(), extenAuth()}) {
        SCOPED_TRACE(auth.name);
        EXPECT_ERROR(korvu::InternalError, 1, message, [&] { missing.login(auth); });
        EXPECT_ERROR(korvu::InternalError, 1, message, [&] { missing.getSettings(auth); });
        EXPECT_ERROR(korvu::InternalError, 1, message, [&] { missing.getHelp(auth, "en"); });
        EXPECT_ERROR(korvu::InternalError, 1, message, [&] { missing.setCurrency(auth, "USD"); });
    }
    // The file is opened before anyone is asked about credentials.
    EXPECT_TRUE(validator.asked.empty());
    EXPECT_FALSE(fileExists(path));
}

TEST(KorvuStatics, StandardMessages) {
    EXPECT_EQ("Invalid user or password", korvu::Korvu::mStrAuthException);
    EXPECT_EQ("Access denied", korvu::Korvu::mStrAccessDenied);
    EXPECT_EQ("Exten not found", korvu::Korvu::mStrExtenNotFound);
    EXPECT_EQ("Rate not found", korvu::Korvu::mStrRateNotFound);
}

}  // namespace
