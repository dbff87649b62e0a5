#include <gtest/gtest.h>

#include <string>

#include "ProtoTestHelpers.h"
#include "proto/ArgItems.h"
#include "proto/MethodCurrencyArg.h"
#include "proto/MethodEchoArg.h"
#include "proto/MethodExtenArg.h"
#include "proto/MethodLanguageArg.h"
#include "proto/MethodNullArg.h"
#include "proto/MethodRateIdArg.h"

namespace {

using prototest::expectInvalidArg;
using prototest::requestWithArg;

template <typename Arg>
Arg prepared(const std::string& argText) {
    const proto::RequestData rd = requestWithArg(argText);
    Arg arg;
    Arg::prepare(rd, arg);
    return arg;
}

template <typename Arg>
void expectRefused(const std::string& message, const std::string& argText) {
    const proto::RequestData rd = requestWithArg(argText);
    Arg arg;
    expectInvalidArg(message, [&] { Arg::prepare(rd, arg); });
}

TEST(NullArgument, OnlyJsonNullPasses) {
    EXPECT_NO_THROW(prepared<proto::MethodNullArg>("null"));
    expectRefused<proto::MethodNullArg>("arg must by null", "{}");
    expectRefused<proto::MethodNullArg>("arg must by null", "{\"x\":null}");
    // a request whose tree was already released is not null either
    proto::RequestData released;
    proto::MethodNullArg arg;
    expectInvalidArg("arg must by null", [&] { proto::MethodNullArg::prepare(released, arg); });
}

TEST(EchoArgument, ValueMustBeAPresentString) {
    expectRefused<proto::MethodEchoArg>("JSON arg item contains no value", "null");
    expectRefused<proto::MethodEchoArg>("JSON arg item contains no value", "{}");
    expectRefused<proto::MethodEchoArg>("JSON arg item contains no value", "{\"values\":\"x\"}");
    expectRefused<proto::MethodEchoArg>("JSON value item has bad type (expected string)", "{\"value\":5}");
    expectRefused<proto::MethodEchoArg>("JSON value item has bad type (expected string)", "{\"value\":null}");
    expectRefused<proto::MethodEchoArg>("JSON value item has bad type (expected string)",
                                        "{\"value\":[\"x\"]}");
    expectRefused<proto::MethodEchoArg>("JSON value item has bad type (expected string)", "{\"value\":true}");
}

TEST(EchoArgument, KeyCaseIgnoredFirstMatchWinsTextDecoded) {
    EXPECT_EQ("", prepared<proto::MethodEchoArg>("{\"value\":\"\"}").value);
    EXPECT_EQ("x", prepared<proto::MethodEchoArg>("{\"VALUE\":\"x\"}").value);
    EXPECT_EQ("x", prepared<proto::MethodEchoArg>("{\"Value\":\"x\"}").value);
    EXPECT_EQ("a", prepared<proto::MethodEchoArg>("{\"value\":\"a\",\"value\":\"b\"}").value);
    EXPECT_EQ("q\"\\\n\xc3\xa9", prepared<proto::MethodEchoArg>("{\"value\":\"q\\\"\\\\\\n\\u00e9\"}").value);
    // a wrong first match is refused even though a later one is a string
    expectRefused<proto::MethodEchoArg>("JSON value item has bad type (expected string)",
                                        "{\"value\":1,\"value\":\"b\"}");
}

TEST(ExtenArgument, ReadsOneStringIgnoringOtherMembers) {
    EXPECT_EQ("200", prepared<proto::MethodExtenArg>("{\"exten\":\"200\",\"x\":1}").exten);
    EXPECT_EQ("", prepared<proto::MethodExtenArg>("{\"EXTEN\":\"\"}").exten);
    expectRefused<proto::MethodExtenArg>("JSON arg item contains no exten", "null");
    expectRefused<proto::MethodExtenArg>("JSON arg item contains no exten", "{\"exten_id\":\"200\"}");
    expectRefused<proto::MethodExtenArg>("JSON exten item has bad type (expected string)", "{\"exten\":200}");
    expectRefused<proto::MethodExtenArg>("JSON exten item has bad type (expected string)", "{\"exten\":{}}");
}

TEST(LanguageArgument, MessagesNameTheItem) {
    EXPECT_EQ("en", prepared<proto::MethodLanguageArg>("{\"Language\":\"en\"}").language);
    expectRefused<proto::MethodLanguageArg>("JSON arg item contains no language item", "{}");
    expectRefused<proto::MethodLanguageArg>("JSON arg item contains no language item", "null");
    expectRefused<proto::MethodLanguageArg>("JSON language item has bad type (expected string)",
                                            "{\"language\":false}");
}

TEST(CurrencyArgument, MessagesNameTheItem) {
    EXPECT_EQ("EUR", prepared<proto::MethodCurrencyArg>("{\"currency\":\"EUR\"}").currency);
    expectRefused<proto::MethodCurrencyArg>("JSON arg item contains no currency item", "{\"value\":\"EUR\"}");
    expectRefused<proto::MethodCurrencyArg>("JSON currency item has bad type (expected string)",
                                            "{\"currency\":[\"USD\"]}");
    expectRefused<proto::MethodCurrencyArg>("JSON currency item has bad type (expected string)",
                                            "{\"currency\":null}");
}

TEST(RateIdArgument, StringIsConvertedToLongLong) {
    EXPECT_EQ(17LL, prepared<proto::MethodRateIdArg>("{\"rate_id\":\"17\"}").rateId);
    EXPECT_EQ(-3LL, prepared<proto::MethodRateIdArg>("{\"RATE_ID\":\"-3\"}").rateId);
    EXPECT_EQ(9000000000LL, prepared<proto::MethodRateIdArg>("{\"rate_id\":\"9000000000\"}").rateId);
    expectRefused<proto::MethodRateIdArg>("JSON arg item contains no rate_id", "null");
    expectRefused<proto::MethodRateIdArg>("JSON rate_id item has bad type (expected string)",
                                          "{\"rate_id\":17}");
    expectRefused<proto::MethodRateIdArg>("cannot convert '1.5' to long long int", "{\"rate_id\":\"1.5\"}");
    expectRefused<proto::MethodRateIdArg>("cannot convert '' to long long int", "{\"rate_id\":\"\"}");
    // Beyond 64 bits the standard conversion would clamp to another rate's id.
    expectRefused<proto::MethodRateIdArg>("cannot convert '9223372036854775808' to long long int",
                                          "{\"rate_id\":\"9223372036854775808\"}");
    EXPECT_EQ(9223372036854775807LL,
              prepared<proto::MethodRateIdArg>("{\"rate_id\":\"9223372036854775807\"}").rateId);
}

TEST(RateIdArgument, FailedConversionStoresNothing) {
    const proto::RequestData rd = requestWithArg("{\"rate_id\":\"x1\"}");
    proto::MethodRateIdArg arg;
    arg.rateId = 99;
    expectInvalidArg("cannot convert 'x1' to long long int",
                     [&] { proto::MethodRateIdArg::prepare(rd, arg); });
    EXPECT_EQ(99LL, arg.rateId);
}

// The shared item steps that every argument class builds on.
TEST(ArgumentItems, OptionalAndTypedReadsFollowThePattern) {
    const proto::RequestData rd =
        requestWithArg("{\"s\":\"\",\"n\":5,\"z\":null,\"b\":true,\"f\":false,\"a\":[],\"t\":\"x\"}");
    EXPECT_EQ(nullptr, proto::optionalStringOrThrow(rd, "missing"));
    const auto empty = proto::optionalStringOrThrow(rd, "S");
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ("", *empty);
    expectInvalidArg("JSON n item has bad type (expected string)",
                     [&] { proto::optionalStringOrThrow(rd, "n"); });
    expectInvalidArg("JSON z item has bad type (expected string)",
                     [&] { proto::optionalStringOrThrow(rd, "z"); });

    EXPECT_TRUE(proto::boolValueOrThrow(*proto::findArgItem(rd, "b"), "b"));
    EXPECT_FALSE(proto::boolValueOrThrow(*proto::findArgItem(rd, "f"), "f"));
    expectInvalidArg("JSON monthly item has bad type (expected bool)",
                     [&] { proto::boolValueOrThrow(*proto::findArgItem(rd, "t"), "monthly"); });

    EXPECT_NO_THROW(proto::arrayOrThrow(*proto::findArgItem(rd, "a"), "exten_ids"));
    expectInvalidArg("JSON exten_ids item has bad type (expected array)",
                     [&] { proto::arrayOrThrow(*proto::findArgItem(rd, "t"), "exten_ids"); });

    expectInvalidArg("JSON arg item contains no item prefix",
                     [&] { proto::requiredArgItemOrThrow(rd, "prefix", "item prefix"); });
    EXPECT_EQ("x", proto::requiredStringOrThrow(rd, "T", "item t"));
    EXPECT_EQ("JSON number_length item has bad type (expected string or NULL)",
              proto::badTypeMessage("number_length", "string or NULL"));

    const proto::RequestData nullArg = requestWithArg("null");
    EXPECT_EQ(nullptr, proto::findArgItem(nullArg, "s"));
    EXPECT_EQ(nullptr, proto::optionalStringOrThrow(nullArg, "s"));
}

}  // namespace
