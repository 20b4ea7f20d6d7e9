#include "LabelLine.h"

#include <cmath>

namespace {

bool ReadMillimetres(const QString& field, double* out)
{
    // Unreadable numbers count as 0, as the editor has always read them.
    const double v = field.toDouble();
    if (!std::isfinite(v) || std::fabs(v) > LabelLine::MaxMillimetres)
        return false;
    *out = v;
    return true;
}

}  // namespace

QStringList LabelLine::SplitFields(const QString& line)
{
    QStringList fields = line.split(',', Qt::KeepEmptyParts);
    if (fields.size() < FieldCount)
        return QStringList();
    if (fields.size() == FieldCount)
        return fields;
    const int extra = fields.size() - FieldCount;
    QStringList text = fields.mid(6, extra + 1);
    QStringList out = fields.mid(0, 6);
    out << text.join(',') << fields.at(fields.size() - 2) << fields.last();
    return out;
}

bool LabelLine::Parse(const QString& line, LabelLine* out)
{
    const QStringList f = SplitFields(line);
    if (f.isEmpty())
        return false;
    LabelLine l;
    l.type = f.at(0).toInt();
    if (!ReadMillimetres(f.at(1), &l.x) || !ReadMillimetres(f.at(2), &l.y)
        || !ReadMillimetres(f.at(3), &l.width) || !ReadMillimetres(f.at(4), &l.height)
        || !ReadMillimetres(f.at(5), &l.fontSize))
        return false;
    l.text = f.at(6);
    l.picturePath = f.at(7);
    l.index = f.at(8).toInt();
    *out = l;
    return true;
}

bool LabelLine::IsStorableField(const QString& field)
{
    return !field.contains(',');
}
