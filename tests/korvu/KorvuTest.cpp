#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "db/Database.h"
#include "db/Stmt.h"
#include "korvu/korvu/KorvuException.h"
#include "tests/korvu/KorvuFixture.h"

namespace {

using namespace korvutest;
using korvu::Korvu;

const std::string kInvalid = "Invalid user or password", kNotFound = "Exten not found",
                  kTooMany = "Too many rows. Current limit is ", kRange = "value is out of range",
                  kPrepaid = "Bad value of field: prepaid. Expected 0 or 1, got: ";

using Authorization = KorvuTest;

// An extension user needs one row with the exact password and names its own extension exactly (case and
// blanks count) before any other test of the operation; the administrator is the validator's alone.
TEST_F(Authorization, ExtensionUserIsExactAndTheAdministratorTheValidators) {
    database.exec(
        "INSERT INTO exten (id, exten, www_pass) VALUES (4,'104',''), (6,'106','p'), (7,'106','p'), "
        "(9,'Ab','p')");
    korvu.login(Auth{"104", "", false});
    Refusals refusals = {{6, kInvalid, [&] { korvu.login(Auth{"101", "secret101", true}); }}};
    for (const std::string pair :
         {"101/Secret101", "101/secret101 ", "101 /secret101", "/", "104/x", "106/p"}) {
        const Auth auth{pair.substr(0, pair.find('/')), pair.substr(pair.find('/') + 1), false};
        refusals.emplace_back(6, kInvalid, [&, auth] { korvu.login(auth); });
    }
    const Auth user{"Ab", "p", false};
    const std::string* bad = s("2015-03");
    const std::vector<std::function<void(const std::string*)>> ownOnly = {
        [&](const std::string* e) { korvu.getStatistics(user, false, bad, bad, e); },
        [&](const std::string* e) { korvu.getCallLogs(user, e, nullptr, nullptr, bad, nullptr); },
        [&](const std::string* e) { korvu.getRechargeHistory(user, e, nullptr, nullptr); },
        [&](const std::string* e) { korvu.getExten(user, e ? *e : "999"); },
        [&](const std::string* e) { korvu.getRate(user, e ? *e : "999"); },
    };
    for (const auto& call : ownOnly)
        for (const std::string* other : {s(nullptr), s("ab"), s("AB"), s("Ab "), s(" Ab"), s("101")})
            refusals.emplace_back(7, "Access denied", [&call, other] { call(other); });
    refused(refusals);
    database.exec("DROP TABLE exten");  // the administrator is never looked up there
    korvu.login(kAdmin);
}

// Every operation, its other arguments refused too (rate values aside); true: for the administrator only.
std::vector<std::pair<bool, std::function<void(const Korvu&, const Auth&)>>> everyOperation() {
    static const std::string free = "free", bad = "2015-03", empty, own = "101";
    static const std::list<long long> none, nine{9}, twice{1, 1};
    static const int two = 2;
    using K = const Korvu&;  // keeps each row on one line
    using A = const Auth&;
    return {
        {true, [](K k, A a) { k.setCurrency(a, "USD"); }},
        {true, [](K k, A a) { k.deleteCallLogs(a); }},
        {true, [](K k, A a) { k.deleteCallLogs(a, none); }},
        {true, [](K k, A a) { k.deleteRate(a, 9); }},
        {true, [](K k, A a) { k.activateRate(a, 2, 5); }},
        {true, [](K k, A a) { k.addRate(a, "7", nullptr, 1, 60, "08:00", "09:00", 0, 0, "1", 5); }},
        {true, [](K k, A a) { k.updateRate(a, 9, "7", nullptr, 1, 60, "08:00", "09:00", 0, 0, "1", 5); }},
        {true, [](K k, A a) { k.getRateHistory(a, 1); }},
        {true, [](K k, A a) { k.getRates(a); }},
        {true, [](K k, A a) { k.getExtens(a, nullptr, &free, &two); }},
        {true, [](K k, A a) { k.updateExten(a, nine, "free", 1, 2); }},
        {true, [](K k, A a) { k.updateExtenWithPass(a, 1, "free", 1, 2, ""); }},
        {true, [](K k, A a) { k.clearExten(a, twice); }},
        {true, [](K k, A a) { k.chargeExten(a, nine, 0); }},
        {true, [](K k, A a) { k.getStatistics(a, false, &bad, &bad, nullptr); }},
        {true, [](K k, A a) { k.getCallLogs(a, nullptr, &bad, nullptr, &empty, nullptr); }},
        {true, [](K k, A a) { k.getRechargeHistory(a, nullptr, &bad, nullptr); }},
        {false, [](K k, A a) { k.login(a); }},
        {false, [](K k, A a) { k.getSettings(a); }},
        {false, [](K k, A a) { k.getHelp(a, "en"); }},
        {false, [](K k, A a) { k.getExten(a, ""); }},
        {false, [](K k, A a) { k.getRate(a, ""); }},
        {false, [](K k, A a) { k.changeExtenPass(a, 9, ""); }},
        {false, [](K k, A a) { k.getStatistics(a, true, &bad, nullptr, &own); }},
        {false, [](K k, A a) { k.getRechargeHistory(a, &own, &bad, nullptr); }},
    };
}

// A missing file is found before the credentials, and it fails every operation but a bad rate value.
TEST_F(Authorization, CredentialsThenTheAdministratorComeBeforeEveryTestButTheRateValues) {
    const std::string path = database.path() + "-missing";
    const std::string noFile = "SQL Error  14: unable to open database file";
    const auto missing = withLimit(20000, path);
    Refusals refusals = {
        {4, "Invalid hour format: 9:00",
         [&] { missing->addRate(kBadAdmin, "0", nullptr, 1, 60, "9:00", "09:00", 0, 0, "1", 1); }},
        {4, "Bad value of field: rate. Expected value equal or greater than 0, got: -1",
         [&] { missing->updateRate(kBadAdmin, 1, "0", nullptr, -1.5, 60, "08:00", "09:00", 0, 0, "1", 1); }},
    };
    for (const auto& [adminOnly, call] : everyOperation()) {
        refusals.emplace_back(1, noFile, [&, call = call] { call(*missing, kBadAdmin); });
        refusals.emplace_back(6, kInvalid, [&, call = call] { call(korvu, kBadUser); });
        refusals.emplace_back(6, kInvalid, [&, call = call] { call(korvu, kBadAdmin); });
        if (adminOnly) refusals.emplace_back(7, "Access denied", [&, call = call] { call(korvu, kUser); });
    }
    testing::internal::CaptureStderr();
    refused(refusals);
    EXPECT_EQ(noFile + "\n", testing::internal::GetCapturedStderr());  // only the call listing echoes it
    EXPECT_THROW(testsupport::readFile(path), std::runtime_error);     // nothing was created
}

class ResultTable : public KorvuTest {
protected:
    std::unique_ptr<db::Database> connection{db::openDatabase(database.path(), SQLITE_OPEN_READWRITE, 30000)};

    // JSON text (limit -1: none), then the table (limit -1: the record limit), each by its own statement.
    std::string both(const Korvu& core, const std::string& sql, int limit) {
        const auto statement = db::prepare(*connection, sql), again = db::prepare(*connection, sql);
        const std::string json = core.performSelectAndReturnString(*statement, limit < 0 ? 1 << 30 : limit);
        return whole(limit < 0 ? *core.performSelect(*again) : *core.performSelect(*again, limit)) + " " +
               json;
    }
    static std::string count(int n) {
        return "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
               std::to_string(n) + ") SELECT x FROM n";
    }
};

TEST_F(ResultTable, CellsAreTextOrNullTheJsonTextIsExactAndTheLimitHolds) {
    const std::string sql = "SELECT 1 a, NULL b, '' c UNION ALL SELECT 2.5, 'x', 'q\"b\\s/' || char(9, 1)";
    EXPECT_EQ(
        "a|b|c;1|~|;2.5|x|q\"b\\s/\t\x01; "
        R"({"headers":["a","b","c"],"rows":[["1",null,""],["2.5","x","q\"b\\s/\t\u0001"]]})",
        both(korvu, sql, 9));
    EXPECT_EQ(R"(k"|v; {"headers":["k\"","v"],"rows":[]})", both(korvu, "SELECT 1 'k\"', 2 v WHERE 0", 0));
    // Exactly the limit passes, one more is refused naming the record limit.
    const auto three = withLimit(3), none = withLimit(0);
    EXPECT_EQ(R"(x;1;2;3; {"headers":["x"],"rows":[["1"],["2"],["3"]]})", both(*three, count(3), 3));
    refused({
        {10, kTooMany + "20000. ", [&] { both(korvu, count(20001), -1); }},  // by the table
        {10, kTooMany + "3. ", [&] { both(*three, count(4), -1); }},
        {10, kTooMany + "3. ", [&] { both(*three, count(2), 1); }},  // by the JSON text
        {10, kTooMany + "3. ", [&] { three->performSelect(*db::prepare(*connection, count(2)), 1); }},
        {10, kTooMany + "0. ", [&] { both(*none, count(1), -1); }},
    });
    EXPECT_EQ("x;1;2;", whole(*withLimit(4000000000u)->performSelect(*db::prepare(*connection, count(2)))));
}

TEST_F(KorvuTest, SettingsAreReadByAnyoneAndTheCurrencySetByTheAdministrator) {
    EXPECT_EQ("settings_key|settings_value;CURRENCY|EUR;LANGUAGE|en;", whole(*korvu.getSettings(kUser)));
    korvu.setCurrency(kAdmin, "x' WHERE 1; --");  // bound, or it would have changed every row
    korvu.setCurrency(kAdmin, "");
    EXPECT_EQ("CURRENCY|;LANGUAGE|en;", q("SELECT * FROM settings ORDER BY rowid"));
    database.exec("DELETE FROM settings WHERE settings_key = 'CURRENCY'");
    korvu.setCurrency(kAdmin, "USD");
    EXPECT_EQ("LANGUAGE|en;", flat(*korvu.getSettings(kAdmin)));
    EXPECT_EQ(2u, korvu.getHelp(kUser, "en")->rows.size());
    EXPECT_EQ("key|value;", whole(*korvu.getHelp(kUser, "EN")));  // no other language stands in
}

class Extens : public KorvuTest {
protected:
    // The billing columns of every row; of last_mod only whether the clock has stamped it since the seed.
    std::string billing() const {
        return q(
            "SELECT id, bill_status, limit_credit, prepaid, total_charge, balance, www_pass, "
            "iif(last_mod > '2016-01', 'new', 'old') FROM exten ORDER BY id");
    }
    std::string ids(const char* exten, const char* status, const int* prepaid) {
        std::string text;
        const auto table = korvu.getExtens(kAdmin, s(exten), s(status), prepaid);
        for (const auto& row : table->rows) text += row[0].str() + ";";
        return text;
    }
};

TEST_F(Extens, OneExtensionIsReadWholeAndTheListIsFiltered) {
    EXPECT_EQ(
        "id|exten|outboundcid|name|email|dialplan|analog_phone|vm|sip|can_reinvite|iax2|t38|agent|nat|"
        "pickupgroup|delete_vm|dtmf_mode|video_call|permit_ip|provision_man|provision_mac|alaw|ulaw|g729|"
        "gsm|speex|h261|h263|h263p|h264|bill_status|total_charge|balance|limit_credit|prepaid|last_mod|"
        "active;1|101|\"Alice\" <101>|Alice|alice@example.com|default|0|0|1|0|0|0|0|0||0|rfc2833|0||||1|1|"
        "0|0|0|0|0|0|0|FREE|12.5|2.5|100.0|0|2015-01-10 09:00:00|1;",
        whole(*korvu.getExten(kUser, "101")));
    EXPECT_EQ(
        "id|exten|name|active|bill_status|total_charge|limit_credit|balance|last_mod|prepaid;2|102|Bob|1|"
        "LOCK|30.0|50.0|20.0|2015-01-11 10:00:00|1;",
        whole(*korvu.getExtens(kAdmin, s("02"), s("LOCK"), nullptr)));
    database.exec("INSERT INTO exten (id, exten) VALUES (8, NULL), (9, '2100')");
    const int zero = 0, one = 1, two = 2;
    EXPECT_EQ("8;1;2;3;9;", ids(nullptr, nullptr, nullptr));  // in order of the number
    EXPECT_EQ("1;2;3;9;", ids("", nullptr, nullptr));         // a NULL number is no substring match
    EXPECT_EQ("8;1;9;", ids(nullptr, nullptr, &zero));
    EXPECT_EQ("3;", ids("10", "FREE", &one));
    refused({
        {4, "Invalid value for 'bill_status'", [&] { ids(nullptr, "free", &two); }},
        {4, "Filed 'bill_status' cannot be empty", [&] { ids(nullptr, "", nullptr); }},
        {4, kPrepaid + "2", [&] { ids(nullptr, "LOCK", &two); }},
        {4, "exten is empty", [&] { korvu.getExten(kUser, ""); }},  // before the own-extension rule
        {4, "exten is empty", [&] { korvu.getExten(kAdmin, ""); }},
        {8, kNotFound, [&] { korvu.getExten(kAdmin, "999"); }},
    });
}

// A missing or repeated id first, then bill status, prepaid; an empty password before a foreign row.
TEST_F(Extens, RefusalsComeInOrderAndWritesChangeOnlyTheirRows) {
    const std::string bill = "Bad value of field: bill_status. Expected 'FREE' or 'LOCK', got: ";
    const double inf = std::numeric_limits<double>::infinity();
    const std::list<long long> one{1}, none, missing{1, 9}, ones{1, 1}, twos{2, 2}, nine{9}, both{1, 2};
    refused({
        {8, kNotFound, [&] { korvu.updateExten(kAdmin, missing, "free", 1, 2); }},
        {8, kNotFound, [&] { korvu.updateExten(kAdmin, ones, "LOCK", 1, 0); }},
        {4, bill + "free", [&] { korvu.updateExten(kAdmin, one, "free", 1, 2); }},
        {4, kPrepaid + "2", [&] { korvu.updateExten(kAdmin, one, "LOCK", 1, 2); }},
        {4, bill + "FREE ", [&] { korvu.updateExtenWithPass(kAdmin, 1, "FREE ", 1, 5, "pw"); }},
        {8, kNotFound, [&] { korvu.clearExten(kAdmin, twos); }},
        {8, kNotFound, [&] { korvu.changeExtenPass(kAdmin, 9, ""); }},
        {4, "new pass is empty", [&] { korvu.changeExtenPass(kUser, 2, ""); }},
        {7, "can not change the another exten password ", [&] { korvu.changeExtenPass(kUser, 2, "pw"); }},
        {8, kNotFound, [&] { korvu.chargeExten(kAdmin, nine, 0); }},
        {4, "value must be greater than zero", [&] { korvu.chargeExten(kAdmin, both, 0.0); }},
        {4, "value must be greater than zero", [&] { korvu.chargeExten(kAdmin, both, std::nan("")); }},
        {4, kRange, [&] { korvu.chargeExten(kAdmin, none, inf); }},
    });
    database.exec("INSERT INTO exten (id, exten, last_mod) VALUES (-5, '105', '2015-01-01')");
    korvu.changeExtenPass(kUser, 1, "fresh");
    korvu.changeExtenPass(kAdmin, 3, "carol2");
    korvu.updateExten(kAdmin, {3, -5}, "LOCK", -75.5, 0);  // the credit limit is stored unchecked
    korvu.updateExtenWithPass(kAdmin, 2, "FREE", 7.25, 0, "");
    korvu.updateExtenWithPass(kAdmin, 42, "LOCK", 1, 1, "x");  // no such row: no change, no error
    korvu.updateExten(kAdmin, {}, "LOCK", 1, 1);
    korvu.clearExten(kAdmin, {});
    korvu.clearExten(kAdmin, {1});
    EXPECT_EQ(
        "-5|LOCK|-75.5|0|0.0|0.0||new;1|FREE|100.0|0|0.0|0.0|fresh|new;2|FREE|7.25|0|30.0|20.0||new;3|"
        "LOCK|-75.5|0|0.0|0.0|carol2|new;",
        billing());
}

TEST_F(Extens, ChargingAddsToPrepaidAndPostpaidRowsInOneTransaction) {
    database.exec(
        "INSERT INTO exten (id, exten, prepaid, total_charge, balance, last_mod) VALUES "
        "(4, '104', 2, 1.0, 1.0, '2015-01-13'), (5, '105', NULL, 1.0, 2.0, '2015-01-14')");
    korvu.chargeExten(kAdmin, {5, 1, 4, 2}, 10.0);
    korvu.chargeExten(kAdmin, {}, 10.0);
    EXPECT_EQ(
        "1|FREE|100.0|0|22.5|12.5|secret101|new;2|LOCK|50.0|1|40.0|30.0|secret102|new;3|FREE|0.0|1|0.0|"
        "0.0|secret103|old;4|FREE|0.0|2|1.0|1.0||old;5|FREE|0.0|~|11.0|12.0||new;",
        billing());
    // Row 1 is postpaid: it fails in the second update, after the prepaid row 2 was charged.
    database.exec(
        "CREATE TRIGGER refuse BEFORE UPDATE OF total_charge ON exten WHEN old.id = 1 "
        "BEGIN SELECT RAISE(ABORT, 'charge refused'); END");
    refused({{1, "SQL Error  19: charge refused", [&] { korvu.chargeExten(kAdmin, {2, 3, 1}, 5.0); }}});
    // A lock left behind would stall this write; then a finite charge overflowing a total is refused.
    database.exec("DROP TRIGGER refuse; UPDATE exten SET total_charge = 1.5e308 WHERE id = 1");
    refused({{4, kRange, [&] { korvu.chargeExten(kAdmin, std::list<long long>{1, 2}, 1.0e308); }}});
}

// The head of the call listing, then the seeded calls by AcctId; 555 has no exten row, so no name.
const char* const kCalls[] = {
    R"({"headers":["AcctId","start","exten_name","src","dst","billsec","disposition","cost"],"rows":[)",
    R"(["1","2015-02-27 10:15:00","Alice","101","0048221234567","60","ANSWERED","0.5"])",
    R"(["2","2015-02-28 23:59:30","Bob","102","0049301234567","0","NO ANSWER","0.0"])",
    R"(["3","2015-03-01 00:00:00","Alice","101","102","30","ANSWERED","0.0"])",
    R"(["4","2015-03-02 08:30:00","Alice","101","0048227654321","120","ANSWERED","1.25"])",
    R"(["5","2015-03-02 12:00:00",null,"555","101","10","ANSWERED","0.0"])",
    R"(["6","2015-03-31 18:00:00","Bob","102","0048600100200","40","ANSWERED","0.75"])",
    R"(["7","2015-03-31 23:59:59","Carol","103","0048221111111","0","BUSY","0.0"])",
};

class CallLogs : public KorvuTest {
protected:
    static std::string listing(const std::vector<int>& ids) {
        std::string text = kCalls[0];
        for (const int id : ids) text += std::string(text.back() == '[' ? "" : ",") + kCalls[id];
        return text + "]}";
    }
    // As the extension user for its own number, else as the administrator.
    std::string logs(const char* exten, const char* from = nullptr, const char* to = nullptr,
                     const char* name = nullptr, const char* value = nullptr, unsigned limit = 20000) {
        const Auth& auth = exten && std::string(exten) == "101" ? kUser : kAdmin;
        return withLimit(limit)->getCallLogs(auth, s(exten), s(from), s(to), s(name), s(value));
    }
    std::string sums(bool monthly, const char* from, const char* to, const char* exten = nullptr) {
        return flat(*korvu.getStatistics(exten ? kUser : kAdmin, monthly, s(from), s(to), s(exten)));
    }
};

TEST_F(CallLogs, ListedNewestFirstFilteredUnderTheRecordLimitAndDeleted) {
    EXPECT_EQ(listing({7, 6, 5, 4, 3, 2, 1}), logs(nullptr));
    EXPECT_EQ(listing({4, 3, 1}), logs("101"));
    EXPECT_EQ(listing({}), logs("555", nullptr, nullptr, nullptr, nullptr, 0));  // no exten row: no match
    EXPECT_EQ(listing({7, 6, 5, 4, 3, 2, 1}), logs(nullptr, nullptr, nullptr, nullptr, nullptr, 4294967295u));
    EXPECT_EQ(listing({4, 1}), logs("101", "2015-02-01 00:00", "2015-03-31 23:59", "dst", "0048", 1000));
    // 00:00:00 sorts after the lower bound's minute and is in; 23:59:59 sorts after the upper bound.
    EXPECT_EQ(listing({6, 5, 4, 3}), logs(nullptr, "2015-03-01 00:00", "2015-03-31 23:59"));
    EXPECT_EQ(listing({2}), logs(nullptr, nullptr, nullptr, "disposition", "O_A"));
    const std::string index = "SQL Error  25: column index out of range";
    testing::internal::CaptureStderr();
    refused({
        {10, kTooMany + "6. ", [&] { logs(nullptr, nullptr, nullptr, nullptr, nullptr, 6); }},
        {4, "filter value is null", [&] { logs(nullptr, nullptr, nullptr, "src"); }},
        {4, "Invalid value for 'filterName'", [&] { logs(nullptr, "2015-03-01", "2015-03-01", "SRC"); }},
        {4, "Filed 'filterName' cannot be empty", [&] { logs(nullptr, "2015-03-01", nullptr, "", "1"); }},
        {4, "Invalid date format: 2015-03-01", [&] { logs(nullptr, "2015-03-01", "2015-03-31 23:59:59"); }},
        {4, "Invalid date format: 2015-03-31T23:59", [&] { logs(nullptr, "2015-03-31T23:59"); }},
        {1, index, [&] { logs(nullptr, nullptr, nullptr, nullptr, "1"); }},  // a value meets no parameter
    });
    EXPECT_EQ(index + "\n", testing::internal::GetCapturedStderr());
    // Deleting takes the listed records, or every one.
    database.exec("INSERT INTO cdr (AcctId) VALUES (-2)");
    refused({{4, "acctIds is empty", [&] { korvu.deleteCallLogs(kAdmin, std::list<long long>()); }}});
    korvu.deleteCallLogs(kAdmin, {3, 17, -2, 5, 5});
    EXPECT_EQ("1;2;4;6;7;", q("SELECT AcctId FROM cdr ORDER BY AcctId"));
    korvu.deleteCallLogs(kAdmin);
    EXPECT_EQ("0;", q("SELECT count(*) FROM cdr"));
}

TEST_F(CallLogs, DailyStatisticsCountTheDayOfTheUpperBoundButNotOfTheLower) {
    EXPECT_EQ("calls|total_duration|avg_duration|total_cost|date|exten;",
              whole(*korvu.getStatistics(kAdmin, false, s("2016-01-01 00:00"), nullptr, nullptr)));
    const std::string lastDays = "2|145|73.0|1.25|2015-03-02|ALL;2|50|25.0|0.75|2015-03-31|ALL;";
    EXPECT_EQ(lastDays, sums(false, "2015-03-01 00:00", "2015-03-31 23:59"));
    EXPECT_EQ(lastDays, sums(false, "2015-03-01 00:00", "2015-03-31 00:00"));
    EXPECT_EQ("1|35|35.0|0.0|2015-03-01|101;1|130|130.0|1.25|2015-03-02|101;",
              sums(false, "2015-02-27 23:59", "2015-03-02 00:00", "101"));
    EXPECT_EQ("5|230|46.0|2.0|2015-03|ALL;", sums(true, "2015-03-01 00:00", "2015-03-31 23:59"));
    // Month 13 passes the shape test; strftime cannot read it, the daily form compares it as text.
    EXPECT_EQ("", sums(true, "2015-13-01 00:00", nullptr) + sums(false, "2015-13-01 00:00", nullptr));
    EXPECT_EQ(lastDays, sums(false, "2015-03-01 00:00", "2015-13-01 00:00"));
    refused({
        {4, "Invalid date format: 2015-03-31 23:5", [&] { sums(false, "2015-03-01", "2015-03-31 23:5"); }},
        {4, "Invalid date format: 2015-03-01", [&] { sums(true, "2015-03-01", "2015-03-31 23:59"); }},
    });
}

TEST_F(CallLogs, RechargeHistoryNewestFirstWithInclusiveBounds) {
    const auto history = [&](const Auth& auth, const char* exten, const char* from, const char* to) {
        return whole(*korvu.getRechargeHistory(auth, s(exten), s(from), s(to)));
    };
    const std::string heads = "id|exten_id|recharge_date|exten|pre_balance|charge;";
    const std::string r1 = "1|1|2015-02-01 10:00:00|101|0.0|10.0;";
    EXPECT_EQ(heads + "3|2|2015-03-06 09:00:00|102|0.0|30.0;2|1|2015-03-05 11:30:00|101|10.0|2.5;" + r1,
              history(kAdmin, nullptr, nullptr, nullptr));
    database.exec(
        "UPDATE recharge_history SET recharge_date = '2015-03-05 11:30' WHERE id = 2");  // on the bound
    EXPECT_EQ(heads + "2|1|2015-03-05 11:30|101|10.0|2.5;" + r1,
              history(kUser, "101", "2015-02-01 10:00", "2015-03-05 11:30"));
    EXPECT_EQ(heads, history(kAdmin, "103", nullptr, nullptr));
    refused({{4, "Invalid date format: 2015-03-01", [&] { history(kAdmin, nullptr, "2015-03-01", "3"); }}});
    database.exec("DROP TABLE recharge_history");  // found when preparing, before a bad bound
    refused({{1, "SQL Error  1: no such table: recharge_history",
              [&] { history(kAdmin, nullptr, "2015-03-01", nullptr); }}});
}

// The message is what follows the first ": " of the log text.
void expectText(const Exception& e, int code, const std::string& what) {
    EXPECT_EQ(code, e.errorCode()) << what;
    EXPECT_EQ(what, e.what());
    EXPECT_EQ(what.substr(what.find(": ") + 2), e.errorMessage());
}

// Name, two blanks, code, ": ", message; three names lack "Exception" and trailing blanks stay.
TEST(ExceptionText, EachClassHasItsNameAndCode) {
    expectText(korvu::InternalError("SQL Error  1: m"), 1, "InternalError  1: SQL Error  1: m");
    expectText(korvu::InvalidArgException("m"), 4, "InvalidArgException  4: m");
    expectText(korvu::AuthException(""), 6, "AuthException  6: ");
    expectText(korvu::AccessDeniedException("m"), 7, "AccessDeniedException  7: m");
    expectText(korvu::ExtenNotFoundException("m"), 8, "ExtenNotFoundException  8: m");
    expectText(korvu::TooManyRowsException("m "), 10, "TooManyRows  10: m ");
    expectText(korvu::CorruptedRatesTableException("m"), 11, "CorruptedRatesTable  11: m");
    expectText(korvu::RateNotFoundException("m"), 12, "RateNotFound  12: m");
    // caught as its family or as the base, a class keeps its own code and message
    EXPECT_ERROR(korvu::KorvuException, 8, "m", [] { throw korvu::ExtenNotFoundException("m"); });
    EXPECT_ERROR(Exception, 12, "m", [] { throw korvu::RateNotFoundException("m"); });
}

}  // namespace
