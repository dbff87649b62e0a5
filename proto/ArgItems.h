#pragma once

#include <cjson/cJSON.h>

#include <memory>
#include <string>

#include "proto/RequestData.h"

// Shared steps of the argument classes' prepare(): look an item up in "arg", refuse it when missing
// or of the wrong JSON type, read its value. Every refusal is a proto::InvalidArgException.
namespace proto {

// "JSON arg item contains no " + wording; the wording is each class's own ("value", "language item",
// "item prefix", "exten_ids array").
std::string noItemMessage(const std::string& wording);

// "JSON " + name + " item has bad type (expected " + expected + ")"; name is usually the key.
std::string badTypeMessage(const std::string& name, const std::string& expected = "string");

// The first member of "arg" whose key matches without regard to ASCII case, or null. A JSON null
// "arg" (or a missing tree) reads as an object without members.
const cJSON* findArgItem(const RequestData& rd, const std::string& key);

// The item, or a refusal with noItemMessage(absentWording).
const cJSON& requiredArgItemOrThrow(const RequestData& rd, const std::string& key,
                                    const std::string& absentWording);

// The item's text when it is a JSON string, else a refusal with badTypeMessage(name). JSON null is
// a wrong type here.
std::string stringValueOrThrow(const cJSON& item, const std::string& name);

// The item's value when it is JSON true or false, else badTypeMessage(name, "bool").
bool boolValueOrThrow(const cJSON& item, const std::string& name);

// Refuses an item that is not a JSON array with badTypeMessage(name, "array").
void arrayOrThrow(const cJSON& item, const std::string& name);

// A required string item: missing gives noItemMessage(absentWording), another type
// badTypeMessage(key).
std::string requiredStringOrThrow(const RequestData& rd, const std::string& key,
                                  const std::string& absentWording);

// An optional string item: null when missing, a new copy when a string, badTypeMessage(key) otherwise.
std::unique_ptr<std::string> optionalStringOrThrow(const RequestData& rd, const std::string& key);

}  // namespace proto
