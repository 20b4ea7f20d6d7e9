#pragma once

#include <QString>

// One work order of the back-end's order list (init/order/info).
struct OrderRow {
    QString order_sn;
    QString model;
    QString complete_percent;
};
