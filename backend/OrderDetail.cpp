#include "OrderDetail.h"

#include "JsonReply.h"

#include <QCoreApplication>

#include <json/value.h>

#include <cstring>

namespace {

bool ReadText(const Json::Value& data, const char* key, QString* out, QString* error)
{
    std::string v;
    if (!JsonReply::ReadString(data, key, &v)) {
        *error = QString::fromLatin1(key);
        return false;
    }
    *out = QString::fromUtf8(v.c_str());
    return true;
}

bool ReadNumber(const Json::Value& data, const char* key, int* out, QString* error)
{
    if (!JsonReply::ReadInt(data, key, out)) {
        *error = QString::fromLatin1(key);
        return false;
    }
    return true;
}

}  // namespace

bool ParseOrderDetail(const char* body, OrderDetail* detail, QString* error)
{
    *detail = OrderDetail();
    QString unused;
    QString* e = error ? error : &unused;
    Json::Value root;
    if (!body || !JsonReply::ParseObject(body, strlen(body), &root)) {
        *e = "reply";
        return false;
    }
    bool ok = true;
    Json::Value data = JsonReply::Member(root, "data", Json::objectValue, &ok);
    if (!ok) {
        *e = "data";
        return false;
    }
    if (data.isNull())
        data = Json::Value(Json::objectValue);
    OrderDetail d;
    if (!ReadText(data, "regions", &d.regions, e) || !ReadText(data, "logo", &d.logo, e)
        || !ReadNumber(data, "mac", &d.mac, e) || !ReadText(data, "module_model", &d.module_model, e)
        || !ReadText(data, "cloud_module_alias", &d.cloud_module_alias, e)
        || !ReadText(data, "order_sn", &d.order_sn, e) || !ReadNumber(data, "num", &d.num, e)
        || !ReadNumber(data, "complete_num", &d.complete_num, e)
        || !ReadText(data, "opt_username", &d.opt_username, e)
        || !ReadNumber(data, "opt_complete_num", &d.opt_complete_num, e))
        return false;
    *detail = d;
    return true;
}

QString OrderDataText(const OrderDetail& d)
{
    // Each text goes in with one arg() call, so a "%1" inside a name stays as it is.
    const char* context = "OrderChooseDialog";
    return QCoreApplication::translate(context, "Order Num:%1 ").arg(d.order_sn) + "\n"
        + QCoreApplication::translate(context, "total:%1 ").arg(d.num)
        + QCoreApplication::translate(context, "Completed Num:%1 ").arg(d.complete_num)
        + QCoreApplication::translate(context, "%1:%2 ").arg(d.opt_username, QString::number(d.opt_complete_num));
}
