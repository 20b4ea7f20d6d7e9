#pragma once

#include "DevInfo.h"

#include <QByteArray>
#include <QSet>

#include <vector>

// Cameras that share a serial number (factory-default serials happen on real
// lines). The station keys a camera's record, its hold-back, its aliveness and
// its result by the serial, so it serves one camera of a serial at a time: the
// one it already holds, else the first the search found. Any other camera of
// that serial at another address is a duplicate: it is not logged in, so none
// of its replies or results can reach the other's record. The rule holds only
// between cameras on the line at once: one that left holds no serial, so the
// same camera put back for a retest is served again.
class DuplicateSerials {
public:
    // The address of the camera that holds dev's serial when that is another
    // camera, else empty. held: the records the station serves that are still
    // on the line (the current device until it left, the ready list's while
    // their link is up); searched: this search's records, of which only those
    // before dev count.
    static QByteArray HolderOf(const DevInfo& dev, const std::vector<DevInfo>& held,
                               const std::vector<DevInfo>& searched);

    // Notes a duplicate of this search; true when it was not one in the
    // search before, so that it is told once and not every cycle.
    bool Note(const DevInfo& dev);
    // Starts the next search.
    void NextSearch();

private:
    QSet<QByteArray> m_last;
    QSet<QByteArray> m_current;
};
