#pragma once

#include "Clock.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

// Pieces of the reply parsers that need no controller state.

// Milliseconds since 1970 of a local wall time (Clock::Now()).
int64_t WallClockMs(const WallTime& time);

// The codes of failed customisations in customized_items_result.
constexpr int CUSTOM_LOGO_FAILURE = 2;
constexpr int CUSTOM_MAC_FAILURE = 3;
constexpr int CUSTOM_COUNTRY_CITY_FAILURE = 4;

// Appends a failed customisation code to the comma list of a result record
// (customized_items_result): "3", then "3,4". A code already listed is not
// repeated; a code that would not fit with its NUL is left out. False when
// nothing was added.
bool AppendCustomizedCode(char (&list)[32], int code);

// The lamp-board code and untranslated name ("LeftTopWidget" context) of a
// LightMode value; false for a value the device kind does not list.
bool LightModeOf(int lightMode, bool iotDevice, int* code, const char** name);

// The clock item's result for the Time text of a reply ("yyyyMMdd hh:mm:ss",
// local): with sinceEpochMode (test mode 1) 1 when more than 3 whole hours lie
// between 1970-01-01 00:00:00 and it, else 1 when it is at most 5 whole hours
// from now, either way. -1 otherwise, also for a text that is no such time.
int RtcResultOf(const QString& timeText, bool sinceEpochMode, const WallTime& now);

// The UTF-8 bytes of text, at most maxBytes of them, cut before a character
// that would not fit whole.
QByteArray Utf8Within(const QString& text, int maxBytes);
