#include "proto/Protocol.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "common/JsonEncode.h"
#include "common/ProtoConstants.h"
#include "proto/ProtoException.h"

namespace proto {

namespace {

JsonPtr ownedOrThrow(cJSON* item) {
    JsonPtr owned(item);
    if (!owned) {
        throw std::bad_alloc();
    }
    return owned;
}

// The parent owns the item only once the add succeeded; until then the JsonPtr does.
void addItemOrThrow(cJSON* object, const std::string& key, JsonPtr item) {
    if (!item || !cJSON_AddItemToObject(object, key.c_str(), item.get())) {
        throw std::bad_alloc();
    }
    item.release();
}

void addStringOrThrow(cJSON* object, const std::string& key, const std::string& value) {
    addItemOrThrow(object, key, JsonPtr(cJSON_CreateString(value.c_str())));
}

// Non-objects (arrays included) have no members, whatever their children are.
const cJSON* memberOf(const cJSON* object, const std::string& key) {
    return cJSON_IsObject(object) ? cJSON_GetObjectItem(object, key.c_str()) : nullptr;
}

std::string lackOfStringItem(const std::string& key) { return "Lack of string item \"" + key + "\""; }

std::string lackOfObjectItem(const std::string& key) { return "Lack of object item \"" + key + "\""; }

// cJSON points return_parse_end at the failure position of this very call; the process-wide
// cJSON_GetErrorPtr slot could hold another thread's failure.
std::string unparsedRest(const char* text, const char* parseEnd) {
    const char* const end = text + std::strlen(text);
    if (parseEnd == nullptr || parseEnd < text || parseEnd > end) {
        return text;  // no usable position (e.g. exhausted memory): quote the whole text
    }
    return parseEnd;
}

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// cJSON keeps strings NUL-terminated and reads "\u" followed by anything but four hex digits as U+0000, so
// either would cut a key or value short where it stands ("2\u0000999" read as "2") and the cut text would
// be acted on. Runs over the text that cJSON parsed: valid JSON holds a backslash only inside a string,
// each one opening an escape, so stepping from escape to escape never mistakes an escaped backslash for
// the start of one.
void refuseCutStringsOrThrow(const char* at, const char* end) {
    while ((at = static_cast<const char*>(std::memchr(at, '\\', end - at))) != nullptr && end - at >= 2) {
        if (at[1] != 'u') {
            at += 2;
            continue;
        }
        if (end - at < 6 || !std::all_of(at + 2, at + 6, isHexDigit)) {
            throw JSONException("Cannot parse JSON: " + std::string(at));
        }
        if (std::all_of(at + 2, at + 6, [](char c) { return c == '0'; })) {
            throw InvalidArgException("U+0000 is not accepted in a JSON string: " + std::string(at));
        }
        at += 6;
    }
}

// Runs the parse steps in their fixed order; methodTaken tells whether a refusal came after the
// method name was read.
void parseSteps(const std::string& text, RequestData& rd, bool& methodTaken) {
    methodTaken = false;
    rd.arg.reset();

    const char* parseEnd = nullptr;
    const JsonPtr root(cJSON_ParseWithOpts(text.c_str(), &parseEnd, 0));
    if (!root) {
        throw JSONException("Cannot parse JSON: " + unparsedRest(text.c_str(), parseEnd));
    }
    refuseCutStringsOrThrow(text.c_str(), parseEnd);  // cJSON sets the end of the value on success

    const cJSON* const request = memberOf(root.get(), ITEM_REQUEST);
    if (!cJSON_IsString(request)) {
        throw InvalidArgException(lackOfStringItem(ITEM_REQUEST));
    }
    rd.method = request->valuestring;
    methodTaken = true;

    const cJSON* const arg = memberOf(root.get(), ITEM_ARG);
    if (!cJSON_IsObject(arg) && !cJSON_IsNull(arg)) {
        throw InvalidArgException(lackOfObjectItem(ITEM_ARG));
    }
    const cJSON* const auth = memberOf(root.get(), ITEM_AUTH);
    if (!cJSON_IsObject(auth)) {
        throw InvalidArgException(lackOfObjectItem(ITEM_AUTH));
    }
    const cJSON* const name = memberOf(auth, ITEM_NAME);
    if (!cJSON_IsString(name)) {
        throw InvalidArgException(lackOfObjectItem(ITEM_NAME));
    }
    const cJSON* const pass = memberOf(auth, ITEM_PASS);
    if (!cJSON_IsString(pass)) {
        throw InvalidArgException(lackOfObjectItem(ITEM_PASS));
    }
    const cJSON* const admin = memberOf(auth, ITEM_ADMIN);
    if (!cJSON_IsBool(admin)) {
        throw InvalidArgException(lackOfObjectItem(ITEM_ADMIN));
    }

    JsonPtr argCopy = ownedOrThrow(cJSON_Duplicate(arg, 1));
    Auth parsed;
    parsed.name = name->valuestring;
    parsed.pass = pass->valuestring;
    parsed.admin = cJSON_IsTrue(admin);
    rd.auth = std::move(parsed);
    rd.arg = std::move(argCopy);
}

// Local to this unit: the one place that fixes the member order of every response object.
cJSON* createResponseObject(const std::string& method, int code, const std::string& description, cJSON* arg) {
    JsonPtr argument(arg);
    JsonPtr response = ownedOrThrow(cJSON_CreateObject());
    addStringOrThrow(response.get(), ITEM_RESPONSE, method);
    addItemOrThrow(response.get(), ITEM_ERRCODE, JsonPtr(cJSON_CreateNumber(code)));
    addStringOrThrow(response.get(), ITEM_ERRDESC, description);
    addItemOrThrow(response.get(), ITEM_ARG, std::move(argument));
    return response.release();
}

void appendEncoded(std::string& out, const std::string& text) {
    proto::appendEncodedJsonString(out, text.data(), text.size());
}

// Local to this unit: the hand-written twin of a printed createResponseObject tree. The argument text
// can be a listing of megabytes, so it is copied once, into a buffer sized for everything.
std::string buildResponseString(const std::string& method, int code, const std::string& description,
                                const std::string& argText) {
    const std::string codeText = std::to_string(code);
    std::string out;
    out.reserve(ITEM_RESPONSE.size() + method.size() + ITEM_ERRCODE.size() + codeText.size() +
                ITEM_ERRDESC.size() + description.size() + ITEM_ARG.size() + argText.size() + 32);
    out += '{';
    appendEncoded(out, ITEM_RESPONSE);
    out += ':';
    appendEncoded(out, method);
    out += ',';
    appendEncoded(out, ITEM_ERRCODE);
    out += ':';
    out += codeText;
    out += ',';
    appendEncoded(out, ITEM_ERRDESC);
    out += ':';
    appendEncoded(out, description);
    out += ',';
    appendEncoded(out, ITEM_ARG);
    out += ':';
    out += argText;
    out += '}';
    return out;
}

const std::string successDescription = "SUCCESS";

}  // namespace

void parseRequestOrThrow(const std::string& text, RequestData& rd) {
    bool methodTaken = false;
    parseSteps(text, rd, methodTaken);
}

int parseRequest(const std::string& text, RequestData& rd, cJSON** errorResponse) {
    if (errorResponse != nullptr) {
        *errorResponse = nullptr;
    }
    bool methodTaken = false;
    try {
        parseSteps(text, rd, methodTaken);
        return 0;
    } catch (const ProtoException& e) {
        if (errorResponse != nullptr) {
            *errorResponse = createResponseObject(methodTaken ? rd.method : METHOD_UNKNOWN, 2,
                                                  e.errorMessage(), cJSON_CreateNull());
        }
        return 2;
    }
}

cJSON* createErrorResponse(const std::string& method, int code, const std::string& description) {
    return createResponseObject(method, code, description, cJSON_CreateNull());
}

cJSON* createResponse(const std::string& method, cJSON* arg) {
    return createResponseObject(method, 0, successDescription, arg);
}

std::string jsonToString(const cJSON* json) {
    const JsonText printed(json != nullptr ? cJSON_PrintUnformatted(json) : nullptr);
    if (!printed) {
        throw std::bad_alloc();
    }
    // cJSON prints the bytes of its strings unchecked; answers must be UTF-8.
    return wellFormedUtf8(printed.get(), std::strlen(printed.get()));
}

std::string createErrorResponseString(const std::string& method, int code, const std::string& description) {
    const JsonPtr response(createErrorResponse(method, code, description));
    return jsonToString(response.get());
}

std::string createResponseString(const std::string& method, const cJSON* arg) {
    return buildResponseString(method, 0, successDescription, jsonToString(arg));
}

std::string createResponseString(const std::string& method) {
    return buildResponseString(method, 0, successDescription, "null");
}

std::string createResponseString(const std::string& method, const std::string& argText) {
    return buildResponseString(method, 0, successDescription, argText);
}

cJSON* createRequest(const std::string& method, cJSON* arg, const std::string& name, const std::string& pass,
                     bool admin) {
    JsonPtr argument = ownedOrThrow(arg);
    if (!cJSON_IsObject(argument.get()) && !cJSON_IsNull(argument.get())) {
        JsonPtr wrapper = ownedOrThrow(cJSON_CreateObject());
        addItemOrThrow(wrapper.get(), ITEM_VALUE, std::move(argument));
        argument = std::move(wrapper);
    }
    JsonPtr auth = ownedOrThrow(cJSON_CreateObject());
    addStringOrThrow(auth.get(), ITEM_NAME, name);
    addStringOrThrow(auth.get(), ITEM_PASS, pass);
    addItemOrThrow(auth.get(), ITEM_ADMIN, JsonPtr(cJSON_CreateBool(admin ? 1 : 0)));

    JsonPtr request = ownedOrThrow(cJSON_CreateObject());
    addStringOrThrow(request.get(), ITEM_REQUEST, method);
    addItemOrThrow(request.get(), ITEM_ARG, std::move(argument));
    addItemOrThrow(request.get(), ITEM_AUTH, std::move(auth));
    return request.release();
}

cJSON* createRequestWithExten(const std::string& method, const std::string& name, const std::string& pass,
                              bool admin, const std::string& exten) {
    JsonPtr arg = ownedOrThrow(cJSON_CreateObject());
    addStringOrThrow(arg.get(), ITEM_EXTEN, exten);
    return createRequest(method, arg.release(), name, pass, admin);
}

cJSON* createRequestWithExten(const std::string& method, const Auth& auth, const std::string& exten) {
    return createRequestWithExten(method, auth.name, auth.pass, auth.admin, exten);
}

cJSON* createRequestChangePass(const std::string& method, const std::string& name, const std::string& pass,
                               bool admin, const std::string& extenId, const std::string& newPass) {
    JsonPtr arg = ownedOrThrow(cJSON_CreateObject());
    addStringOrThrow(arg.get(), ITEM_EXTEN_ID, extenId);
    addStringOrThrow(arg.get(), ITEM_NEWPASS, newPass);
    return createRequest(method, arg.release(), name, pass, admin);
}

cJSON* createRequestChangePass(const std::string& method, const Auth& auth, const std::string& extenId,
                               const std::string& newPass) {
    return createRequestChangePass(method, auth.name, auth.pass, auth.admin, extenId, newPass);
}

}  // namespace proto
