#include "proto/ArgItems.h"


#include "proto/Convert.h"
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

int requiredIntOrThrow(const RequestData& rd, const std::string& key, const std::string& absentWording) {
    return toInt(requiredStringOrThrow(rd, key, absentWording));
}

long long requiredLongLongOrThrow(const RequestData& rd, const std::string& key,
                                  const std::string& absentWording) {
    return toLongLong(requiredStringOrThrow(rd, key, absentWording));
}

double requiredDoubleOrThrow(const RequestData& rd, const std::string& key,
                             const std::string& absentWording) {
    return toDouble(requiredStringOrThrow(rd, key, absentWording));
}

std::unique_ptr<int> optionalIntOrThrow(const RequestData& rd, const std::string& key) {
    const std::unique_ptr<std::string> text = optionalStringOrThrow(rd, key);
    if (!text) {
        return nullptr;
    }
    return std::make_unique<int>(toInt(*text));
}

std::unique_ptr<int> nullableIntOrThrow(const RequestData& rd, const std::string& key,
                                        const std::string& absentWording, const std::string& expected) {
    const cJSON& item = requiredArgItemOrThrow(rd, key, absentWording);
    if (cJSON_IsNull(&item)) {
        return nullptr;
    }
    if (!cJSON_IsString(&item) || item.valuestring == nullptr) {
        throw InvalidArgException(badTypeMessage(key, expected));
    }
    return std::make_unique<int>(toInt(item.valuestring));
}

const cJSON& requiredArrayOrThrow(const RequestData& rd, const std::string& key,
                                  const std::string& absentWording, const std::string& name) {
    const cJSON& item = requiredArgItemOrThrow(rd, key, absentWording);
    arrayOrThrow(item, name);
    return item;
}

const cJSON& nonEmptyIdArrayOrThrow(const RequestData& rd, const IdListWords& words) {
    const cJSON& array = requiredArrayOrThrow(rd, words.key, words.absent, words.name);
    if (cJSON_GetArraySize(&array) == 0) {
        throw InvalidArgException(words.empty);
    }
    return array;
}

void readIdsOrThrow(const cJSON& array, const std::string& notStringMessage, std::list<long long>& ids) {
    ids.clear();
    // Walked as a chain: indexing each element again would cost quadratic time on long lists.
    const cJSON* const list = &array;
    const cJSON* element = nullptr;
    cJSON_ArrayForEach(element, list) {
        if (!cJSON_IsString(element) || element->valuestring == nullptr) {
            throw InvalidArgException(notStringMessage);
        }
        ids.push_back(toLongLong(element->valuestring));
    }
}

void idListOrThrow(const RequestData& rd, const IdListWords& words, std::list<long long>& ids) {
    readIdsOrThrow(nonEmptyIdArrayOrThrow(rd, words), words.notString, ids);
}

std::string joinedStringsOrThrow(const cJSON& array, const std::string& notStringMessage) {
    std::string joined;
    const cJSON* const list = &array;
    const cJSON* element = nullptr;
    cJSON_ArrayForEach(element, list) {
        if (!cJSON_IsString(element) || element->valuestring == nullptr) {
            throw InvalidArgException(notStringMessage);
        }
        joined += element->valuestring;
        if (element->next != nullptr) {
            joined += ',';
        }
    }
    return joined;
}

}  // namespace proto
