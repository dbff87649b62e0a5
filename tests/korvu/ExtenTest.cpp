#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <list>
#include <string>
#include <vector>

#include "tests/korvu/ExtenTestHelpers.h"
#include "tests/korvu/KorvuFixture.h"

namespace {

using korvutest::adminAuth;
using korvutest::extenAuth;
using korvutest::kNull;
using korvutest::rowsOf;
using korvutest::SqlTrace;
using testsupport::Rows;

const std::string kGetExtenSql =
    "select  exten.id, exten, outboundcid, name, email, dialplan, analog_phone, vm, sip, can_reinvite, iax2, "
    "t38, "
    "agent, nat, pickupgroup, delete_vm, dtmf_mode, video_call, permit_ip, provision_man, provision_mac, "
    "alaw, "
    "ulaw, g729, gsm, speex, h261, h263, h263p, h264, bill_status, total_charge, balance, limit_credit, "
    "prepaid, "
    "last_mod, active from exten where exten.exten = ?";

class ExtenTest : public korvutest::KorvuTest {
protected:
    Rows extenRows() const { return database.query("SELECT * FROM exten ORDER BY id"); }

    // The billing columns, with last_mod, of one row.
    Rows billing(long long id) const {
        return database.query(
            "SELECT bill_status, limit_credit, prepaid, total_charge, balance, www_pass, last_mod FROM exten "
            "WHERE id = " +
            std::to_string(id));
    }

    static bool isSeedTime(const std::optional<std::string>& lastMod) {
        return lastMod && lastMod->rfind("2015-", 0) == 0;
    }
};

using GetExten = ExtenTest;

TEST_F(GetExten, AdministratorReadsTheWholeRecord) {
    SqlTrace trace;
    const auto table = korvu.getExten(adminAuth(), "101");
    const std::vector<std::string> headers = {"id",
                                              "exten",
                                              "outboundcid",
                                              "name",
                                              "email",
                                              "dialplan",
                                              "analog_phone",
                                              "vm",
                                              "sip",
                                              "can_reinvite",
                                              "iax2",
                                              "t38",
                                              "agent",
                                              "nat",
                                              "pickupgroup",
                                              "delete_vm",
                                              "dtmf_mode",
                                              "video_call",
                                              "permit_ip",
                                              "provision_man",
                                              "provision_mac",
                                              "alaw",
                                              "ulaw",
                                              "g729",
                                              "gsm",
                                              "speex",
                                              "h261",
                                              "h263",
                                              "h263p",
                                              "h264",
                                              "bill_status",
                                              "total_charge",
                                              "balance",
                                              "limit_credit",
                                              "prepaid",
                                              "last_mod",
                                              "active"};
    EXPECT_EQ(headers, table->headers);
    const Rows expected = {{"1",
                            "101",
                            "\"Alice\" <101>",
                            "Alice",
                            "alice@example.com",
                            "default",
                            "0",
                            "0",
                            "1",
                            "0",
                            "0",
                            "0",
                            "0",
                            "0",
                            "",
                            "0",
                            "rfc2833",
                            "0",
                            "",
                            "",
                            "",
                            "1",
                            "1",
                            "0",
                            "0",
                            "0",
                            "0",
                            "0",
                            "0",
                            "0",
                            "FREE",
                            "12.5",
                            "2.5",
                            "100.0",
                            "0",
                            "2015-01-10 09:00:00",
                            "1"}};
    EXPECT_EQ(expected, rowsOf(*table));
    // The administrator is never looked up in the exten table.
    EXPECT_EQ((std::vector<std::string>{"SELECT count(*) from exten where exten.exten = ? ", kGetExtenSql}),
              trace.texts());
    EXPECT_EQ("SELECT count(*) from exten where exten.exten = '101' ", trace.expandedTexts().at(0));
}

TEST_F(GetExten, ExtensionUserReadsOnlyItsOwnNumber) {
    SqlTrace trace;
    const auto table = korvu.getExten(extenAuth(), "101");
    ASSERT_EQ(1u, table->rows.size());
    EXPECT_EQ("Alice", table->rows[0][3].str());
    const auto texts = trace.texts();
    ASSERT_EQ(3u, texts.size());
    EXPECT_EQ("SELECT count(*) FROM exten where exten = ? and www_pass = ?", texts[0]);
    EXPECT_EQ("SELECT count(*) from exten where exten.exten = ? ", texts[1]);
    EXPECT_EQ(kGetExtenSql, texts[2]);
    EXPECT_EQ("SELECT count(*) from exten where exten.exten = '101' ", trace.expandedTexts()[1]);

    // Another number is refused whether it exists or not, and so is a near match.
    for (const std::string exten : {"102", "999", "101 ", "1010"}) {
        SCOPED_TRACE(exten);
        EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                     [&] { korvu.getExten(extenAuth(), exten); });
    }
}

TEST_F(GetExten, OrderOfRefusals) {
    // Credentials first, then an empty number, then access, then existence.
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.getExten(Auth{"101", "wrong", false}, "");
    });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "exten is empty", [&] { korvu.getExten(extenAuth(), ""); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "exten is empty", [&] { korvu.getExten(adminAuth(), ""); });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.getExten(extenAuth(), "999"); });
    EXPECT_ERROR(korvu::ExtenNotFoundException, 8, "Exten not found",
                 [&] { korvu.getExten(adminAuth(), "999"); });
}

TEST_F(GetExten, EveryRowWithTheNumberIsReturnedUnderTheRecordLimit) {
    database.exec("INSERT INTO exten (id, exten, name) VALUES (7, '102', 'Bob again')");
    const auto table = korvu.getExten(adminAuth(), "102");
    ASSERT_EQ(2u, table->rows.size());
    EXPECT_EQ("2", table->rows[0][0].str());
    EXPECT_EQ("7", table->rows[1][0].str());

    const auto limited = korvuWithLimit(1);
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 1. ",
                 [&] { limited->getExten(adminAuth(), "102"); });
    EXPECT_EQ(1u, limited->getExten(adminAuth(), "101")->rows.size());
}

using GetExtens = ExtenTest;

const std::vector<std::string> kExtensHeaders = {"id",          "exten",        "name",         "active",
                                                 "bill_status", "total_charge", "limit_credit", "balance",
                                                 "last_mod",    "prepaid"};

TEST_F(GetExtens, WithoutFiltersEveryExtensionComesInOrderOfNumber) {
    database.exec(
        "INSERT INTO exten (id, exten, name, last_mod) VALUES (9, '100', 'Zed', '2015-01-13 12:00:00')");
    SqlTrace trace;
    const auto table = korvu.getExtens(adminAuth(), nullptr, nullptr, nullptr);
    EXPECT_EQ(kExtensHeaders, table->headers);
    const Rows expected = {
        {"9", "100", "Zed", "1", "FREE", "0.0", "0.0", "0.0", "2015-01-13 12:00:00", "0"},
        {"1", "101", "Alice", "1", "FREE", "12.5", "100.0", "2.5", "2015-01-10 09:00:00", "0"},
        {"2", "102", "Bob", "1", "LOCK", "30.0", "50.0", "20.0", "2015-01-11 10:00:00", "1"},
        {"3", "103", "Carol", "0", "FREE", "0.0", "0.0", "0.0", "2015-01-12 11:00:00", "1"},
    };
    EXPECT_EQ(expected, rowsOf(*table));
    const auto texts = trace.texts();
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ(
        "select\t id, exten.exten, name, active, bill_status, total_charge, limit_credit, balance, last_mod, "
        "prepaid  from exten  order by exten.exten ",
        texts[0]);
}

TEST_F(GetExtens, AllFiltersAreBoundInOrder) {
    SqlTrace trace;
    const std::string exten = "10";
    const std::string status = "FREE";
    const int prepaid = 1;
    const auto table = korvu.getExtens(adminAuth(), &exten, &status, &prepaid);
    ASSERT_EQ(1u, table->rows.size());
    EXPECT_EQ("103", table->rows[0][1].str());
    const auto statements = trace.statements();
    ASSERT_EQ(1u, statements.size());
    EXPECT_EQ(
        "select\t id, exten.exten, name, active, bill_status, total_charge, limit_credit, balance, last_mod, "
        "prepaid  from exten  WHERE  exten.exten  like '%'||?||'%'   AND  bill_status = ?   AND  prepaid = ? "
        "  "
        "order by exten.exten ",
        statements[0].sql);
    EXPECT_EQ(
        "select\t id, exten.exten, name, active, bill_status, total_charge, limit_credit, balance, last_mod, "
        "prepaid  from exten  WHERE  exten.exten  like '%'||'10'||'%'   AND  bill_status = 'FREE'   AND  "
        "prepaid = "
        "1   order by exten.exten ",
        statements[0].expanded);
}

TEST_F(GetExtens, SingleFiltersAndWildcards) {
    database.exec("INSERT INTO exten (id, exten, name) VALUES (8, NULL, 'Nobody'), (9, '2100', 'Far')");
    const auto numbers = [&](const std::string* exten, const std::string* status, const int* prepaid) {
        std::vector<std::string> result;
        const auto table = korvu.getExtens(adminAuth(), exten, status, prepaid);
        for (const auto& row : table->rows) {
            result.push_back(row[1].isNull() ? "NULL" : row[1].str());
        }
        return result;
    };
    const std::string empty, two = "02", underscore = "_0_", percent = "%", none = "5";
    // An empty substring matches every number, but not a NULL one.
    EXPECT_EQ((std::vector<std::string>{"101", "102", "103", "2100"}), numbers(&empty, nullptr, nullptr));
    EXPECT_EQ((std::vector<std::string>{"102"}), numbers(&two, nullptr, nullptr));
    EXPECT_EQ((std::vector<std::string>{"101", "102", "103", "2100"}),
              numbers(&underscore, nullptr, nullptr));
    EXPECT_EQ((std::vector<std::string>{"101", "102", "103", "2100"}), numbers(&percent, nullptr, nullptr));
    EXPECT_TRUE(numbers(&none, nullptr, nullptr).empty());

    const std::string lock = "LOCK";
    EXPECT_EQ((std::vector<std::string>{"102"}), numbers(nullptr, &lock, nullptr));
    const int zero = 0, one = 1;
    EXPECT_EQ((std::vector<std::string>{"NULL", "101", "2100"}), numbers(nullptr, nullptr, &zero));
    EXPECT_EQ((std::vector<std::string>{"102", "103"}), numbers(nullptr, nullptr, &one));
}

TEST_F(GetExtens, RefusedFilterValuesAndCallers) {
    const std::string lower = "free", empty, lock = "LOCK";
    const int two = 2, minus = -1, one = 1;
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Invalid value for 'bill_status'",
                 [&] { korvu.getExtens(adminAuth(), nullptr, &lower, nullptr); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Filed 'bill_status' cannot be empty",
                 [&] { korvu.getExtens(adminAuth(), nullptr, &empty, nullptr); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Bad value of field: prepaid. Expected 0 or 1, got: 2",
                 [&] { korvu.getExtens(adminAuth(), nullptr, &lock, &two); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Bad value of field: prepaid. Expected 0 or 1, got: -1",
                 [&] { korvu.getExtens(adminAuth(), nullptr, nullptr, &minus); });
    // The bill status is checked before the prepaid value.
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Invalid value for 'bill_status'",
                 [&] { korvu.getExtens(adminAuth(), nullptr, &lower, &two); });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.getExtens(extenAuth(), nullptr, nullptr, &one); });
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.getExtens(Auth{"101", "x", false}, nullptr, &lower, &two);
    });
}

TEST_F(GetExtens, TooManyRows) {
    EXPECT_EQ(3u, korvuWithLimit(3)->getExtens(adminAuth(), nullptr, nullptr, nullptr)->rows.size());
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 2. ",
                 [&] { korvuWithLimit(2)->getExtens(adminAuth(), nullptr, nullptr, nullptr); });
}

using UpdateExten = ExtenTest;

TEST_F(UpdateExten, SetsTheBillingFieldsOfTheListedRowsOnly) {
    const Rows untouched = billing(2);
    SqlTrace trace;
    korvu.updateExten(adminAuth(), {3, 1}, "LOCK", -75.5, 1);
    trace.stop();
    for (const long long id : {1, 3}) {
        const Rows row = billing(id);
        ASSERT_EQ(1u, row.size());
        EXPECT_EQ("LOCK", row[0][0]);
        EXPECT_EQ("-75.5", row[0][1]);  // the credit limit is stored unchecked
        EXPECT_EQ("1", row[0][2]);
        EXPECT_FALSE(isSeedTime(row[0][6])) << *row[0][6];
    }
    EXPECT_EQ("12.5", billing(1)[0][3]);
    EXPECT_EQ(untouched, billing(2));
    const auto statements = trace.statements();
    ASSERT_EQ(2u, statements.size());
    EXPECT_EQ("SELECT count(*) from exten where exten.id in (3, 1)", statements[0].sql);
    EXPECT_EQ(
        "UPDATE exten SET bill_status = ?, limit_credit = ?, prepaid = ?, last_mod = CURRENT_TIMESTAMP WHERE "
        "id "
        "IN (3, 1)",
        statements[1].sql);
    EXPECT_EQ(
        "UPDATE exten SET bill_status = 'LOCK', limit_credit = -75.5, prepaid = 1, last_mod = "
        "CURRENT_TIMESTAMP "
        "WHERE id IN (3, 1)",
        statements[1].expanded);
}

TEST_F(UpdateExten, NegativeIdsAreWrittenWithTheirSign) {
    database.exec("INSERT INTO exten (id, exten, bill_status) VALUES (-5, '105', 'FREE')");
    SqlTrace trace;
    korvu.updateExten(adminAuth(), {-5}, "LOCK", 1.0, 0);
    trace.stop();
    EXPECT_EQ("LOCK", billing(-5)[0][0]);
    EXPECT_EQ((std::vector<std::string>{"SELECT count(*) from exten where exten.id in (-5)",
                                        "UPDATE exten SET bill_status = ?, limit_credit = ?, prepaid = ?, "
                                        "last_mod = CURRENT_TIMESTAMP WHERE "
                                        "id IN (-5)"}),
              trace.texts());
}

TEST_F(UpdateExten, EmptyListChangesNothing) {
    const Rows before = extenRows();
    SqlTrace trace;
    korvu.updateExten(adminAuth(), {}, "LOCK", 1.0, 0);
    trace.stop();
    EXPECT_EQ(before, extenRows());
    const auto texts = trace.texts();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ("SELECT count(*) from exten where exten.id in ()", texts[0]);
    EXPECT_EQ(
        "UPDATE exten SET bill_status = ?, limit_credit = ?, prepaid = ?, last_mod = CURRENT_TIMESTAMP WHERE "
        "id "
        "IN ()",
        texts[1]);
}

TEST_F(UpdateExten, RefusalsInOrderLeaveEveryRowAlone) {
    const Rows before = extenRows();
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.updateExten(Auth{"admin", "x", true}, {9}, "free", 1.0, 2);
    });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.updateExten(extenAuth(), {1}, "LOCK", 1.0, 0); });
    EXPECT_ERROR(korvu::ExtenNotFoundException, 8, "Exten not found", [&] {
        korvu.updateExten(adminAuth(), {1, 9}, "free", 1.0, 2);
    });
    EXPECT_ERROR(korvu::ExtenNotFoundException, 8, "Exten not found", [&] {
        korvu.updateExten(adminAuth(), {1, 1}, "LOCK", 1.0, 0);
    });
    EXPECT_ERROR(korvu::ExtenNotFoundException, 8, "Exten not found",
                 [&] { korvu.updateExten(adminAuth(), {-1}, "LOCK", 1.0, 0); });
    EXPECT_ERROR(korvu::InvalidArgException, 4,
                 "Bad value of field: bill_status. Expected 'FREE' or 'LOCK', got: free",
                 [&] { korvu.updateExten(adminAuth(), {1}, "free", 1.0, 2); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Bad value of field: prepaid. Expected 0 or 1, got: 2",
                 [&] { korvu.updateExten(adminAuth(), {1}, "LOCK", 1.0, 2); });
    EXPECT_EQ(before, extenRows());
}

using UpdateExtenWithPass = ExtenTest;

TEST_F(UpdateExtenWithPass, SetsTheFieldsAndThePassword) {
    SqlTrace trace;
    korvu.updateExtenWithPass(adminAuth(), 1, "LOCK", 7.25, 1, "newpass");
    trace.stop();
    const Rows row = billing(1);
    EXPECT_EQ("LOCK", row[0][0]);
    EXPECT_EQ("7.25", row[0][1]);
    EXPECT_EQ("1", row[0][2]);
    EXPECT_EQ("newpass", row[0][5]);
    EXPECT_FALSE(isSeedTime(row[0][6]));
    const auto statements = trace.statements();
    ASSERT_EQ(1u, statements.size());  // no existence check
    EXPECT_EQ(
        "UPDATE exten SET bill_status = ?, limit_credit = ?, prepaid = ?, www_pass = ?, last_mod = "
        "CURRENT_TIMESTAMP WHERE (id = ?)",
        statements[0].sql);
    EXPECT_EQ(
        "UPDATE exten SET bill_status = 'LOCK', limit_credit = 7.25, prepaid = 1, www_pass = 'newpass', "
        "last_mod = "
        "CURRENT_TIMESTAMP WHERE (id = 1)",
        statements[0].expanded);
    korvu.login(Auth{"101", "newpass", false});

    korvu.updateExtenWithPass(adminAuth(), 2, "FREE", 0.0, 0, "");
    EXPECT_EQ("", billing(2)[0][5]);
}

TEST_F(UpdateExtenWithPass, MissingIdSucceedsAndChangesNothing) {
    const Rows before = extenRows();
    korvu.updateExtenWithPass(adminAuth(), 9, "LOCK", 1.0, 1, "pw");
    EXPECT_EQ(before, extenRows());
    EXPECT_ERROR(korvu::ExtenNotFoundException, 8, "Exten not found",
                 [&] { korvu.updateExten(adminAuth(), {9}, "LOCK", 1.0, 1); });
    EXPECT_EQ(before, extenRows());
}

TEST_F(UpdateExtenWithPass, RefusalsLeaveEveryRowAlone) {
    const Rows before = extenRows();
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.updateExtenWithPass(extenAuth(), 1, "LOCK", 1.0, 0, "pw"); });
    EXPECT_ERROR(korvu::InvalidArgException, 4,
                 "Bad value of field: bill_status. Expected 'FREE' or 'LOCK', got: FREE ",
                 [&] { korvu.updateExtenWithPass(adminAuth(), 1, "FREE ", 1.0, 5, "pw"); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Bad value of field: prepaid. Expected 0 or 1, got: 5",
                 [&] { korvu.updateExtenWithPass(adminAuth(), 1, "FREE", 1.0, 5, "pw"); });
    EXPECT_EQ(before, extenRows());
}

using ClearExten = ExtenTest;

TEST_F(ClearExten, ZeroesTheTotalsOfTheListedRows) {
    const Rows untouched = billing(3);
    SqlTrace trace;
    korvu.clearExten(adminAuth(), {1, 2});
    trace.stop();
    for (const long long id : {1, 2}) {
        const Rows row = billing(id);
        EXPECT_EQ("0.0", row[0][3]);
        EXPECT_EQ("0.0", row[0][4]);
        EXPECT_FALSE(isSeedTime(row[0][6]));
    }
    EXPECT_EQ("100.0", billing(1)[0][1]);
    EXPECT_EQ(untouched, billing(3));
    EXPECT_EQ(
        "update exten set total_charge = 0, balance = 0, last_mod = CURRENT_TIMESTAMP where id IN (1, 2)",
        trace.texts().at(1));
}

TEST_F(ClearExten, RefusalsLeaveEveryRowAlone) {
    const Rows before = extenRows();
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.clearExten(extenAuth(), {1}); });
    EXPECT_ERROR(korvu::ExtenNotFoundException, 8, "Exten not found", [&] {
        korvu.clearExten(adminAuth(), {1, 4});
    });
    EXPECT_ERROR(korvu::ExtenNotFoundException, 8, "Exten not found", [&] {
        korvu.clearExten(adminAuth(), {2, 2});
    });
    EXPECT_EQ(before, extenRows());
    korvu.clearExten(adminAuth(), {});
    EXPECT_EQ(before, extenRows());
}

using ChangeExtenPass = ExtenTest;

TEST_F(ChangeExtenPass, ExtensionUserChangesItsOwnPassword) {
    SqlTrace trace;
    korvu.changeExtenPass(extenAuth(), 1, "fresh");
    trace.stop();
    EXPECT_EQ("fresh", billing(1)[0][5]);
    EXPECT_FALSE(isSeedTime(billing(1)[0][6]));
    korvu.login(Auth{"101", "fresh", false});
    const auto statements = trace.statements();
    ASSERT_EQ(4u, statements.size());
    EXPECT_EQ("SELECT count(*) from exten where exten.id = 1 ", statements[1].expanded);
    EXPECT_EQ("SELECT count(*) from exten where exten.id = 1 and exten.exten = '101'",
              statements[2].expanded);
    EXPECT_EQ("UPDATE exten\tSET www_pass = ?, last_mod = CURRENT_TIMESTAMP WHERE id = ?", statements[3].sql);
    EXPECT_EQ("UPDATE exten\tSET www_pass = 'fresh', last_mod = CURRENT_TIMESTAMP WHERE id = 1",
              statements[3].expanded);
}

TEST_F(ChangeExtenPass, AdministratorChangesAnyExistingPassword) {
    korvu.changeExtenPass(adminAuth(), 3, "carol2");
    EXPECT_EQ("carol2", billing(3)[0][5]);
    EXPECT_EQ("secret101", billing(1)[0][5]);
}

TEST_F(ChangeExtenPass, RefusalsInOrderLeaveEveryRowAlone) {
    const Rows before = extenRows();
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.changeExtenPass(Auth{"101", "x", false}, 9, "");
    });
    EXPECT_ERROR(korvu::ExtenNotFoundException, 8, "Exten not found",
                 [&] { korvu.changeExtenPass(adminAuth(), 9, ""); });
    EXPECT_ERROR(korvu::ExtenNotFoundException, 8, "Exten not found",
                 [&] { korvu.changeExtenPass(extenAuth(), 9, "pw"); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "new pass is empty",
                 [&] { korvu.changeExtenPass(adminAuth(), 2, ""); });
    // An empty password is reported before the foreign row.
    EXPECT_ERROR(korvu::InvalidArgException, 4, "new pass is empty",
                 [&] { korvu.changeExtenPass(extenAuth(), 2, ""); });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "can not change the another exten password ",
                 [&] { korvu.changeExtenPass(extenAuth(), 2, "pw"); });
    EXPECT_EQ(before, extenRows());
}

using ChargeExten = ExtenTest;

TEST_F(ChargeExten, ChargesPrepaidAndPostpaidRowsInTwoGroups) {
    database.exec(
        "INSERT INTO exten (id, exten, prepaid, total_charge, balance, last_mod) VALUES "
        "(4, '104', 2, 1.0, 1.0, '2015-01-13 00:00:00'), (5, '105', NULL, 1.0, 2.0, '2015-01-14 00:00:00')");
    const Rows untouched3 = billing(3);
    const Rows untouched4 = billing(4);
    SqlTrace trace;
    korvu.chargeExten(adminAuth(), {5, 1, 4, 2}, 10.0);
    trace.stop();

    EXPECT_EQ("22.5", billing(1)[0][3]);
    EXPECT_EQ("12.5", billing(1)[0][4]);
    EXPECT_EQ("40.0", billing(2)[0][3]);
    EXPECT_EQ("30.0", billing(2)[0][4]);
    EXPECT_EQ("11.0", billing(5)[0][3]);  // a NULL prepaid reads as 0
    EXPECT_EQ("12.0", billing(5)[0][4]);
    for (const long long id : {1, 2, 5}) {
        EXPECT_FALSE(isSeedTime(billing(id)[0][6])) << id;
    }
    EXPECT_EQ(untouched3, billing(3));
    EXPECT_EQ(untouched4, billing(4));  // prepaid 2 belongs to no group
    EXPECT_EQ("100.0", billing(1)[0][1]);
    EXPECT_EQ("FREE", billing(1)[0][0]);

    const auto statements = trace.statements();
    std::vector<std::string> expanded;
    for (std::size_t i = 0; i < statements.size(); ++i) {
        expanded.push_back(statements[i].expanded);
    }
    const std::vector<std::string> expected = {
        "SELECT count(*) from exten where exten.id in (5, 1, 4, 2)",
        "select prepaid from exten where id =5",
        "select prepaid from exten where id =1",
        "select prepaid from exten where id =4",
        "select prepaid from exten where id =2",
        "BEGIN",
        "update exten set total_charge = total_charge + 10.0, balance = balance + 10.0, last_mod = "
        "CURRENT_TIMESTAMP where id IN (2)",
        "update exten set total_charge = total_charge + 10.0, balance = balance + 10.0, last_mod = "
        "CURRENT_TIMESTAMP where id IN (5, 1)",
        "select count(*) from exten where (abs(total_charge) > 1.7976931348623157e308 or abs(balance) > "
        "1.7976931348623157e308) and id IN (2, 5, 1)",
        "COMMIT",
    };
    EXPECT_EQ(expected, expanded);
    // The prepaid read is prepared once and rewound for every id.
    ASSERT_EQ(10u, statements.size());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ("select prepaid from exten where id =?", statements[1 + i].sql);
        EXPECT_EQ(i, statements[1 + i].earlierRuns);
    }
    EXPECT_EQ(
        "update exten set total_charge = total_charge + ?, balance = balance + ?, last_mod = "
        "CURRENT_TIMESTAMP "
        "where id IN (2)",
        statements[6].sql);
}

TEST_F(ChargeExten, OnlyUnchargeableIdsOrAnEmptyListStillSucceed) {
    database.exec(
        "INSERT INTO exten (id, exten, prepaid, total_charge, balance) VALUES (4, '104', 2, 1.0, 1.0)");
    const Rows before = extenRows();
    {
        SqlTrace trace;
        korvu.chargeExten(adminAuth(), {4}, 5.0);
        const auto texts = trace.texts();
        ASSERT_EQ(4u, texts.size());
        EXPECT_EQ("BEGIN", texts[2]);
        EXPECT_EQ("COMMIT", texts[3]);
    }
    {
        SqlTrace trace;
        korvu.chargeExten(adminAuth(), {}, 5.0);
        EXPECT_EQ(
            (std::vector<std::string>{"SELECT count(*) from exten where exten.id in ()", "BEGIN", "COMMIT"}),
            trace.texts());
    }
    EXPECT_EQ(before, extenRows());
}

TEST_F(ChargeExten, RefusalsInOrderLeaveEveryRowAlone) {
    const Rows before = extenRows();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.chargeExten(Auth{"admin", "no", true}, {9}, 0.0);
    });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.chargeExten(extenAuth(), {1}, 5.0); });
    EXPECT_ERROR(korvu::ExtenNotFoundException, 8, "Exten not found",
                 [&] { korvu.chargeExten(adminAuth(), {9}, 0.0); });
    EXPECT_ERROR(korvu::ExtenNotFoundException, 8, "Exten not found", [&] {
        korvu.chargeExten(adminAuth(), {1, 1}, 5.0);
    });
    for (const double bad : {0.0, -0.0, -1.0, -inf, nan}) {
        SCOPED_TRACE(bad);
        EXPECT_ERROR(korvu::InvalidArgException, 4, "value must be greater than zero", [&] {
            korvu.chargeExten(adminAuth(), {1, 2}, bad);
        });
    }
    EXPECT_ERROR(korvu::InvalidArgException, 4, "value is out of range", [&] {
        korvu.chargeExten(adminAuth(), {1, 2}, inf);
    });
    // Refused even when no listed row would be charged.
    EXPECT_ERROR(korvu::InvalidArgException, 4, "value is out of range",
                 [&] { korvu.chargeExten(adminAuth(), {}, inf); });
    EXPECT_EQ(before, extenRows());
    korvu.chargeExten(adminAuth(), {1}, std::numeric_limits<double>::denorm_min());
}

TEST_F(ChargeExten, ASumBeyondTheLargestNumberIsNotKept) {
    database.exec("UPDATE exten SET total_charge = 1.5e308 WHERE id = 1");
    const Rows before = extenRows();
    EXPECT_ERROR(korvu::InvalidArgException, 4, "value is out of range", [&] {
        korvu.chargeExten(adminAuth(), {1, 2}, 1.0e308);
    });
    EXPECT_EQ(before, extenRows());
    // The largest finite sum is still fine.
    korvu.chargeExten(adminAuth(), {2}, 1.0e308);
    EXPECT_EQ("1.0e+308", billing(2)[0][3]);
}

TEST_F(ChargeExten, AFailureInTheSecondGroupUndoesTheFirst) {
    // Row 1 is postpaid and charged after the prepaid row 2.
    database.exec(
        "CREATE TRIGGER refuse_one BEFORE UPDATE OF total_charge ON exten WHEN old.id = 1 "
        "BEGIN SELECT RAISE(ABORT, 'charge refused'); END");
    const Rows before = extenRows();
    EXPECT_ERROR(korvu::InternalError, 1, "SQL Error  19: charge refused", [&] {
        korvu.chargeExten(adminAuth(), {2, 3, 1}, 5.0);
    });
    EXPECT_EQ(before, extenRows());
    // Nothing is left holding the file: another writer gets through at once.
    database.exec("UPDATE exten SET name = 'Bobby' WHERE id = 2");
    korvu.chargeExten(adminAuth(), {2, 3}, 5.0);
    EXPECT_EQ("35.0", billing(2)[0][3]);
    EXPECT_EQ("5.0", billing(3)[0][3]);
}

TEST_F(ExtenTest, MissingDatabaseFailsEveryOperation) {
    const korvu::Korvu missing(korvutest::missingPath(), validator, 20000);
    const std::string message = "SQL Error  14: unable to open database file";
    testing::internal::CaptureStderr();
    EXPECT_ERROR(korvu::InternalError, 1, message, [&] { missing.getExten(adminAuth(), "101"); });
    EXPECT_ERROR(korvu::InternalError, 1, message,
                 [&] { missing.getExtens(adminAuth(), nullptr, nullptr, nullptr); });
    EXPECT_ERROR(korvu::InternalError, 1, message,
                 [&] { missing.updateExten(adminAuth(), {1}, "LOCK", 1, 0); });
    EXPECT_ERROR(korvu::InternalError, 1, message,
                 [&] { missing.updateExtenWithPass(adminAuth(), 1, "LOCK", 1, 0, "p"); });
    EXPECT_ERROR(korvu::InternalError, 1, message, [&] { missing.clearExten(adminAuth(), {1}); });
    EXPECT_ERROR(korvu::InternalError, 1, message, [&] { missing.changeExtenPass(extenAuth(), 1, "p"); });
    EXPECT_ERROR(korvu::InternalError, 1, message, [&] { missing.chargeExten(adminAuth(), {1}, 1.0); });
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_TRUE(validator.asked.empty());
}

}  // namespace
