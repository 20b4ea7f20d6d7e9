#pragma once

#include <json/value.h>

#include <cstddef>
#include <string>

// Type-checked reading of back-end replies. A reply is untrusted: a root that is
// not an object, or a member of the wrong kind, is reported as false, never thrown.
class JsonReply {
public:
    // Parses text as a JSON object. False for text that is not JSON, a root of
    // another kind, or input the parser rejects in any other way.
    static bool ParseObject(const char* text, size_t length, Json::Value* root);
    static bool ParseObject(const std::string& text, Json::Value* root);

    // A missing member or null reads as 0; true/false as 1/0; a number within int
    // range as its integer part. Any other kind or a number out of range: false, *out untouched.
    static bool ReadInt(const Json::Value& object, const char* key, int* out);
    // A missing member or null reads as ""; a number as its decimal text. Any other kind: false.
    static bool ReadString(const Json::Value& object, const char* key, std::string* out);
    // The member when it is an array/object, else null (missing or another kind: *ok false
    // for another kind, true for missing).
    static const Json::Value& Member(const Json::Value& object, const char* key, Json::ValueType kind, bool* ok);

    // "ret" of a reply body, 0 when absent. False, *ret untouched, when the body is
    // not a JSON object or "ret" is not an integer.
    static bool ReadRet(const char* body, size_t length, int* ret);
};
