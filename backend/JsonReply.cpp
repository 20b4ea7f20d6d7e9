#include "JsonReply.h"

#include <json/reader.h>

#include <climits>
#include <cstring>
#include <cmath>
#include <exception>
#include <memory>
#include <sstream>

namespace {
const Json::Value kNull;
}

bool JsonReply::ParseObject(const char* text, size_t length, Json::Value* root)
{
    if (!text || !root)
        return false;
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value value;
    std::string errors;
    try {
        // The parser throws on nesting deeper than its stack limit.
        if (!reader->parse(text, text + length, &value, &errors))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    if (!value.isObject())
        return false;
    *root = std::move(value);
    return true;
}

bool JsonReply::ParseObject(const std::string& text, Json::Value* root)
{
    return ParseObject(text.data(), text.size(), root);
}

bool JsonReply::ReadInt(const Json::Value& object, const char* key, int* out)
{
    if (!object.isObject())
        return false;
    const Json::Value* v = object.find(key, key + strlen(key));
    if (!v || v->isNull()) {
        *out = 0;
        return true;
    }
    if (v->isBool()) {
        *out = v->asBool() ? 1 : 0;
        return true;
    }
    if (v->isInt()) {   // also true for a double holding an integer in range
        *out = v->asInt();
        return true;
    }
    // Any other number within int range is cut toward zero, as the JSON library's
    // own conversion does; beyond the range it would throw.
    if (v->isDouble()) {
        const double d = v->asDouble();
        if (d >= double(INT_MIN) && d <= double(INT_MAX)) {
            *out = int(d);
            return true;
        }
    }
    return false;
}

bool JsonReply::ReadString(const Json::Value& object, const char* key, std::string* out)
{
    if (!object.isObject())
        return false;
    const Json::Value* v = object.find(key, key + strlen(key));
    if (!v || v->isNull()) {
        out->clear();
        return true;
    }
    if (v->isString()) {
        *out = v->asString();
        return true;
    }
    if (v->isInt64()) {
        *out = std::to_string(v->asInt64());
        return true;
    }
    if (v->isUInt64()) {
        *out = std::to_string(v->asUInt64());
        return true;
    }
    if (v->isDouble() && std::isfinite(v->asDouble())) {
        std::ostringstream s;
        s << v->asDouble();
        *out = s.str();
        return true;
    }
    return false;
}

const Json::Value& JsonReply::Member(const Json::Value& object, const char* key, Json::ValueType kind, bool* ok)
{
    *ok = true;
    if (!object.isObject())
        return kNull;
    const Json::Value* v = object.find(key, key + strlen(key));
    if (!v || v->isNull())
        return kNull;
    if (v->type() != kind) {
        *ok = false;
        return kNull;
    }
    return *v;
}

bool JsonReply::ReadRet(const char* body, size_t length, int* ret)
{
    Json::Value root;
    return ParseObject(body, length, &root) && ReadInt(root, "ret", ret);
}
