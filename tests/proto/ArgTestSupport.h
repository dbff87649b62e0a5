#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "ProtoTestHelpers.h"

// Running argument classes' prepare() on literal "arg" texts.
namespace argtest {

template <typename Arg>
void prepareInto(const std::string& argText, Arg& arg) {
    const proto::RequestData rd = prototest::requestWithArg(argText);
    Arg::prepare(rd, arg);
}

template <typename Arg>
Arg prepared(const std::string& argText) {
    Arg arg;
    prepareInto(argText, arg);
    return arg;
}

// Expects the refusal; arg keeps whatever prepare stored before it failed.
template <typename Arg>
void expectRefused(const std::string& message, const std::string& argText, Arg& arg) {
    SCOPED_TRACE(argText);
    const proto::RequestData rd = prototest::requestWithArg(argText);
    prototest::expectInvalidArg(message, [&] { Arg::prepare(rd, arg); });
}

template <typename Arg>
void expectRefused(const std::string& message, const std::string& argText) {
    Arg arg;
    expectRefused(message, argText, arg);
}

// An "arg" object made of members given as a key and a raw JSON value, kept in order.
class ArgObject {
public:
    using Member = std::pair<std::string, std::string>;

    ArgObject(std::initializer_list<Member> members) : mMembers(members) {}

    // Replaces the member's value, or appends the member when it is not there.
    ArgObject with(const std::string& key, const std::string& raw) const {
        ArgObject copy = *this;
        const auto found = copy.find(key);
        if (found == copy.mMembers.end()) {
            copy.mMembers.emplace_back(key, raw);
        } else {
            found->second = raw;
        }
        return copy;
    }

    ArgObject without(const std::string& key) const {
        ArgObject copy = *this;
        const auto found = copy.find(key);
        if (found != copy.mMembers.end()) {
            copy.mMembers.erase(found);
        }
        return copy;
    }

    // The members before key.
    ArgObject before(const std::string& key) const {
        ArgObject copy = *this;
        copy.mMembers.erase(copy.find(key), copy.mMembers.end());
        return copy;
    }

    const std::vector<Member>& members() const { return mMembers; }

    std::string text() const {
        std::string text = "{";
        for (const Member& member : mMembers) {
            text += (text.size() > 1 ? "," : "") + ("\"" + member.first + "\":" + member.second);
        }
        return text + "}";
    }

private:
    std::vector<Member>::iterator find(const std::string& key) {
        return std::find_if(mMembers.begin(), mMembers.end(),
                            [&](const Member& m) { return m.first == key; });
    }

    std::vector<Member> mMembers;
};

}  // namespace argtest
