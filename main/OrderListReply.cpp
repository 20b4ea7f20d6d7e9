#include "OrderListReply.h"

#include "JsonReply.h"

#include <json/value.h>

#include <string>

bool ReadOrderListReply(const char* body, size_t length, QVector<OrderRow>* rows)
{
    rows->clear();
    Json::Value root;
    if (!JsonReply::ParseObject(body, length, &root))
        return false;
    bool ok = true;
    const Json::Value& data = JsonReply::Member(root, "data", Json::arrayValue, &ok);
    if (!ok)
        return false;
    QVector<OrderRow> read;
    for (Json::ArrayIndex i = 0; i < data.size(); ++i) {
        std::string orderSn, model, percent;
        if (!JsonReply::ReadString(data[i], "order_sn", &orderSn) || !JsonReply::ReadString(data[i], "model", &model)
            || !JsonReply::ReadString(data[i], "complete_percent", &percent))
            return false;
        read.append(OrderRow{QString::fromStdString(orderSn), QString::fromStdString(model),
                             QString::fromStdString(percent)});
    }
    *rows = read;
    return true;
}
