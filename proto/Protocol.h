#pragma once

#include <cjson/cJSON.h>

#include <string>

#include "common/Auth.h"
#include "proto/RequestData.h"

namespace proto {

// --- Request parsing ---

// Fills rd from one request text or throws proto::JSONException (code 2) or
// proto::InvalidArgException (code 4). Whatever happens, rd.arg is released first; after a refusal
// of a later member rd.method already holds the method name, rd.auth is untouched and rd.arg is null.
void parseRequestOrThrow(const std::string& text, RequestData& rd);

// The same parse reporting by result: 0 on success, 2 on every refusal. On a refusal and when
// errorResponse is given, *errorResponse receives a new error-response object owned by the caller
// (code 2, the refusal's message, method "UNKNOWN" until the method name was read).
int parseRequest(const std::string& text, RequestData& rd, cJSON** errorResponse);

// --- Response trees (new objects owned by the caller; cJSON_Delete them) ---
// A null item pointer handed to a builder is taken for a failed allocation: std::bad_alloc.
// So is any allocation failure inside the builders.

cJSON* createErrorResponse(const std::string& method, int code, const std::string& description);
// Success with code 0 and "SUCCESS"; takes ownership of arg.
cJSON* createResponse(const std::string& method, cJSON* arg);

// --- Response texts; both families write the same text for the same content ---

// The tree printed unformatted; the tree stays the caller's.
std::string jsonToString(const cJSON* json);
std::string createErrorResponseString(const std::string& method, int code, const std::string& description);
// Success whose "arg" is the tree printed unformatted; the tree stays the caller's.
std::string createResponseString(const std::string& method, const cJSON* arg);
// Success with "arg" null.
std::string createResponseString(const std::string& method);
// Success whose "arg" is argText inserted unchanged: it must be one complete JSON value.
std::string createResponseString(const std::string& method, const std::string& argText);

// --- Client-side request trees (new objects owned by the caller; print with jsonToString) ---

// arg is used as it is when it is an object or JSON null, otherwise wrapped as {"value": arg};
// takes ownership of arg.
cJSON* createRequest(const std::string& method, cJSON* arg, const std::string& name, const std::string& pass,
                     bool admin);
cJSON* createRequestWithExten(const std::string& method, const std::string& name, const std::string& pass,
                              bool admin, const std::string& exten);
cJSON* createRequestWithExten(const std::string& method, const Auth& auth, const std::string& exten);
cJSON* createRequestChangePass(const std::string& method, const std::string& name, const std::string& pass,
                               bool admin, const std::string& extenId, const std::string& newPass);
cJSON* createRequestChangePass(const std::string& method, const Auth& auth, const std::string& extenId,
                               const std::string& newPass);

}  // namespace proto
