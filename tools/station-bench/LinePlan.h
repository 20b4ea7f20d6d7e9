#pragma once

#include "sim/SimProfile.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <string>

// What a line of sound cameras owes the back-end: one form for each of its
// cameras, each with the pass verdict, and nothing else. station-bench holds
// the forms it receives against it; a run that breaks it gives no figures.
class LinePlan {
public:
    struct Form {
        QString serial;   // its dev_sn
        QString fault;    // how it breaks the plan; empty when it keeps it
    };

    explicit LinePlan(const SimLine& line);

    // One received form, its url-encoded body. It counts as received whether
    // or not it keeps the plan.
    Form Take(const std::string& body);
    // The line's cameras with a form so far.
    int Arrived() const { return m_forms.size(); }
    // The line's cameras without a form, in line order.
    QStringList Missing() const;
    // Every camera brought one passed form and no other form came.
    bool Kept() const { return m_faults == 0 && Arrived() == m_line.count; }

private:
    SimLine m_line;
    QMap<QString, int> m_forms;   // forms per camera of the line
    int m_faults = 0;
};
