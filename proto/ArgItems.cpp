#include "proto/ArgItems.h"

#include "proto/ProtoException.h"

namespace proto {

std::string noItemMessage(const std::string& wording) { return "JSON arg item contains no " + wording; }

std::string badTypeMessage(const std::string& name, const std::string& expected) {
    return "JSON " + name + " item has bad type (expected " + expected + ")";
}

const cJSON* findArgItem(const RequestData& rd, const std::string& key) {
    const cJSON* const arg = rd.arg.get();
    return cJSON_IsObject(arg) ? cJSON_GetObjectItem(arg, key.c_str()) : nullptr;
}

const cJSON& requiredArgItemOrThrow(const RequestData& rd, const std::string& key,
                                    const std::string& absentWording) {
    const cJSON* const item = findArgItem(rd, key);
    if (item == nullptr) {
        throw InvalidArgException(noItemMessage(absentWording));
    }
    return *item;
}

std::string stringValueOrThrow(const cJSON& item, const std::string& name) {
    if (!cJSON_IsString(&item) || item.valuestring == nullptr) {
        throw InvalidArgException(badTypeMessage(name));
    }
    return item.valuestring;
}

bool boolValueOrThrow(const cJSON& item, const std::string& name) {
    if (!cJSON_IsBool(&item)) {
        throw InvalidArgException(badTypeMessage(name, "bool"));
    }
    return cJSON_IsTrue(&item) != 0;
}

void arrayOrThrow(const cJSON& item, const std::string& name) {
    if (!cJSON_IsArray(&item)) {
        throw InvalidArgException(badTypeMessage(name, "array"));
    }
}

std::string requiredStringOrThrow(const RequestData& rd, const std::string& key,
                                  const std::string& absentWording) {
    return stringValueOrThrow(requiredArgItemOrThrow(rd, key, absentWording), key);
}

std::unique_ptr<std::string> optionalStringOrThrow(const RequestData& rd, const std::string& key) {
    const cJSON* const item = findArgItem(rd, key);
    if (item == nullptr) {
        return nullptr;
    }
    return std::make_unique<std::string>(stringValueOrThrow(*item, key));
}

}  // namespace proto
