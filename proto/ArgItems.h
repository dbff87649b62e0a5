#pragma once

#include <cjson/cJSON.h>

#include <list>
#include <memory>
#include <string>

#include "common/ProtoConstants.h"
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

// Required string items converted as soon as they pass their checks: missing gives
// noItemMessage(absentWording), another type badTypeMessage(key), a bad text the converter's refusal.
int requiredIntOrThrow(const RequestData& rd, const std::string& key, const std::string& absentWording);
long long requiredLongLongOrThrow(const RequestData& rd, const std::string& key,
                                  const std::string& absentWording);
double requiredDoubleOrThrow(const RequestData& rd, const std::string& key, const std::string& absentWording);

// An optional number sent as a string: null when missing, otherwise as optionalStringOrThrow, converted.
std::unique_ptr<int> optionalIntOrThrow(const RequestData& rd, const std::string& key);

// A required item that may be JSON null (giving null) or a string converted to int; any other
// type gives badTypeMessage(key, expected).
std::unique_ptr<int> nullableIntOrThrow(const RequestData& rd, const std::string& key,
                                        const std::string& absentWording, const std::string& expected);

// A required array item: missing gives noItemMessage(absentWording), another type
// badTypeMessage(name, "array").
const cJSON& requiredArrayOrThrow(const RequestData& rd, const std::string& key,
                                  const std::string& absentWording, const std::string& name);

// The wording of one list of ids in its class's messages; the classes word them differently.
struct IdListWords {
    std::string key;        // the item's key
    std::string absent;     // what follows "JSON arg item contains no "
    std::string name;       // the name in the bad-type message
    std::string empty;      // the whole message for an empty array
    std::string notString;  // the whole message for an element that is not a string
};

// The list's array, refused when missing, not an array or empty.
const cJSON& nonEmptyIdArrayOrThrow(const RequestData& rd, const IdListWords& words);

// Replaces ids with the array's elements converted by toLongLong, in order, duplicates kept.
// Each id is stored before the next element is looked at; a failing element ends the reading.
void readIdsOrThrow(const cJSON& array, const std::string& notStringMessage, std::list<long long>& ids);

// Both steps above.
void idListOrThrow(const RequestData& rd, const IdListWords& words, std::list<long long>& ids);

// The array's strings joined with ",", refused with notStringMessage at the first element that is not
// a string. An empty array gives an empty text.
std::string joinedStringsOrThrow(const cJSON& array, const std::string& notStringMessage);

// The ten items that ADD_RATE and UPDATE_RATE share, in their check order. The two records share no
// base, and the methods word the bad type of "number_length" differently.
template <typename RateArg>
void readRateItemsOrThrow(const RequestData& rd, RateArg& arg, const std::string& numberLengthExpected) {
    arg.prefix = requiredStringOrThrow(rd, ITEM_PREFIX, "item prefix");
    arg.numberLength = nullableIntOrThrow(rd, ITEM_NUMBER_LEN, "item number_length", numberLengthExpected);
    arg.rate = requiredDoubleOrThrow(rd, ITEM_RATE, "item rate");
    arg.billUnit = requiredIntOrThrow(rd, ITEM_BILL_UNIT, "item bill_unit");
    arg.fromHour = requiredStringOrThrow(rd, ITEM_FROM_HOUR, "item from_hour");
    arg.toHour = requiredStringOrThrow(rd, ITEM_TO_HOUR, "item to_hour");
    arg.initCost = requiredDoubleOrThrow(rd, ITEM_INIT_COST, "item init_cost");
    arg.initTime = requiredDoubleOrThrow(rd, ITEM_INIT_TIME, "item init_time");
    arg.extensions =
        joinedStringsOrThrow(requiredArrayOrThrow(rd, ITEM_EXTENSIONS, "item extensions", ITEM_EXTENSIONS),
                             "Item in extensions array has bad type (expected string)");
    arg.active = requiredIntOrThrow(rd, ITEM_ACTIVE, "item active");
}

}  // namespace proto
