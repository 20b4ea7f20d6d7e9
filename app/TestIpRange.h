#pragma once

#include <QCoreApplication>
#include <QString>

// The range of device addresses a station tests (IP/StartIp .. IP/EndIP). The
// search judges a device by the last number of its address alone, so a range
// means something only when both ends are dotted IPv4 addresses that differ in
// the last number only, start not above end.
class TestIpRange {
    Q_DECLARE_TR_FUNCTIONS(TestIpRange)
public:
    // What is wrong with the range, for the operator; empty when it is usable.
    static QString Problem(const QString& start, const QString& end);

    // True for four decimal numbers 0..255 joined by "." (no sign, blank or leading zero).
    static bool IsDottedIpv4(const QString& text);
};
