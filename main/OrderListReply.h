#pragma once

#include "OrderRow.h"

#include <QVector>

#include <cstddef>

// Reads the orders of an order-list reply body ({"ret":0,"data":[{"order_sn",
// "model","complete_percent"}, ...]}), each member as text (a number as its
// decimal text, missing as empty). False, with no rows, when the body is not a
// JSON object, "data" is there but no array, or an element is not an object
// whose three members are texts or numbers: a reply is read whole or not at all.
bool ReadOrderListReply(const char* body, size_t length, QVector<OrderRow>* rows);
