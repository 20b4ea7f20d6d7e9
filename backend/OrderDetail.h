#pragma once

#include <QString>

// The "data" of a test/data/order/detail reply: what the work-order dialog and the
// controller's order refresh read of the current order.
struct OrderDetail {
    QString regions;
    QString logo;               // URL of the order's logo file, empty when none
    int mac = 0;                // 1: the order brings its own MAC addresses
    QString module_model;
    QString cloud_module_alias;
    QString order_sn;
    int num = 0;
    int complete_num = 0;
    QString opt_username;
    int opt_complete_num = 0;
};

// Reads the reply body. A missing "data" or member gives zeros and empty texts;
// a body that is not a JSON object, or a member of another kind, gives false with
// the offending key in *error.
bool ParseOrderDetail(const char* body, OrderDetail* detail, QString* error);

// "Order Num:<sn> \ntotal:<n> Completed Num:<n> <user>:<n> ", as the station shows it.
QString OrderDataText(const OrderDetail& detail);
