#include "LinePlan.h"

#include <QUrl>
#include <QUrlQuery>

namespace {

constexpr const char* kPassed = "1";   // total_result of a camera that passed

}  // namespace

LinePlan::LinePlan(const SimLine& line)
    : m_line(line)
{
}

LinePlan::Form LinePlan::Take(const std::string& body)
{
    const QUrlQuery query(QString::fromStdString(body));
    const QString verdict = query.queryItemValue("total_result", QUrl::FullyDecoded);
    Form form{query.queryItemValue("dev_sn", QUrl::FullyDecoded), QString()};
    if (!m_line.Holds(form.serial))
        form.fault = QStringLiteral("a form for \"%1\", no camera of the line").arg(form.serial);
    else if (++m_forms[form.serial] > 1)
        form.fault = QStringLiteral("%1 forms for %2, where one is due").arg(m_forms[form.serial]).arg(form.serial);
    else if (verdict != kPassed)
        form.fault = QStringLiteral("%1 has total_result \"%2\" where \"%3\" (passed) is due: the line's cameras "
                                    "are all sound")
                         .arg(form.serial, verdict, kPassed);
    if (!form.fault.isEmpty())
        ++m_faults;
    return form;
}

QStringList LinePlan::Missing() const
{
    QStringList missing;
    for (int i = 0; i < m_line.count; ++i) {
        const QString serial = m_line.SerialAt(i);
        if (!m_forms.contains(serial))
            missing << serial;
    }
    return missing;
}
