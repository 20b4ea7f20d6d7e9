#pragma once

#include <QByteArray>
#include <QStringList>
#include <QVector>

struct CustomizeItem;

// The record's custom-items text: "mark=result" pairs (the mark in UTF-8)
// joined by "&", at most maxBytes bytes. A pair that would not fit whole, or
// whose mark holds "&" or "=" (the form could not be read back), is left out
// and named in leftOut; later pairs that fit still go in. Never a cut pair.
QByteArray JoinCustomItems(const QVector<CustomizeItem>& items, int maxBytes, QStringList* leftOut = nullptr);
