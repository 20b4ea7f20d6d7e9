// The back-end's JSON replies: the "ret" of every reply, the typed member
// reads, the order detail and the order's test configuration. The input is a
// reply body as it arrives (not NUL-terminated; the readers that take a C text
// get a terminated copy, as the client hands it to them).
#include "FuzzEnv.h"

#include "JsonReply.h"
#include "OrderDetail.h"
#include "TestConfig.h"

#include <json/value.h>

#include <string>

namespace {

// Every typed read on one object, as the dialogs make them.
void ReadMembers(const Json::Value& object)
{
    static const char* const kKeys[] = {"ret", "msg", "data", "list", "flag", "tool_permissions", "customer_name",
                                        "url", "num", "time", "id", "name"};
    for (const char* key : kKeys) {
        int number = 0;
        JsonReply::ReadInt(object, key, &number);
        std::string text;
        JsonReply::ReadString(object, key, &text);
        bool ok = true;
        const Json::Value& array = JsonReply::Member(object, key, Json::arrayValue, &ok);
        for (Json::ArrayIndex i = 0; i < array.size() && i < 8; ++i)
            JsonReply::ReadString(array[i], "flag", &text);
        JsonReply::Member(object, key, Json::objectValue, &ok);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Core);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    int ret = 0;
    JsonReply::ReadRet(text, size, &ret);

    Json::Value root;
    if (JsonReply::ParseObject(text, size, &root)) {
        ReadMembers(root);
        bool ok = true;
        ReadMembers(JsonReply::Member(root, "data", Json::objectValue, &ok));
    }

    const std::string body(text, size);
    TestConfig config;
    QString error;
    ParseTestConfigReply(body.c_str(), &config, &error);
    OrderDetail detail;
    if (ParseOrderDetail(body.c_str(), &detail, &error))
        OrderDataText(detail);
    return 0;
}
