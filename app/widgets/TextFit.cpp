#include "TextFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>

namespace {

QSize TextSize(const QWidget* control, const QString& text)
{
    return QFontMetrics(control->font()).size(Qt::TextShowMnemonic, text);
}

// A push or tool button: its text, icon, margin and frame; the style's minimum
// button width is left out, so a small button stays small when its text fits.
QSize ButtonNeeds(const QAbstractButton* button)
{
    const QStyle* style = button->style();
    QSize size = TextSize(button, button->text());
    if (!button->icon().isNull())
        size.rwidth() += button->iconSize().width() + 4;
    const auto* push = qobject_cast<const QPushButton*>(button);
    if (!push || !push->isFlat())
        size.rwidth() += style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button)
            + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    return size;
}

// A field: its text, its margins and frame, and the 2 pixels QLineEdit keeps
// on each side of the text.
QSize FieldNeeds(const QLineEdit* field)
{
    const QMargins text = field->textMargins();
    const QMargins contents = field->contentsMargins();
    const int frame = field->hasFrame() ? 2 * field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, field) : 0;
    const QSize size = TextSize(field, field->text());
    return QSize(size.width() + text.left() + text.right() + contents.left() + contents.right() + frame + 5,
                 size.height() + frame);
}

}  // namespace

QSize TextFit::Needed(const QWidget* control)
{
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        if (label->wordWrap())
            return QSize(label->width(), label->heightForWidth(label->width()));
        return label->sizeHint();
    }
    if (qobject_cast<const QCheckBox*>(control) || qobject_cast<const QRadioButton*>(control)) {
        const auto* box = static_cast<const QAbstractButton*>(control);
        return QSize(box->sizeHint().width(), TextSize(box, box->text()).height());
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return ButtonNeeds(button);
    if (const auto* field = qobject_cast<const QLineEdit*>(control))
        return FieldNeeds(field);
    return control->size();
}

void TextFit::Grow(QWidget* control, int maxRight)
{
    const QSize needed = Needed(control);
    const QRect at = control->geometry();
    const int room = maxRight == QWIDGETSIZE_MAX ? needed.width() : maxRight - at.x();
    const int width = qMax(at.width(), qMin(needed.width(), room));
    control->resize(width, qMax(at.height(), needed.height()));
}

void TextFit::GrowBefore(QWidget* caption, QWidget* next, int gap)
{
    Grow(caption);
    const int left = caption->geometry().right() + 1 + gap;
    const QRect at = next->geometry();
    if (left > at.x())
        next->setGeometry(left, at.y(), qMax(0, at.right() + 1 - left), at.height());
}

int TextFit::LongestWord(const QFont& font, const QString& text)
{
    const QFontMetrics fm(font);
    int widest = 0;
    for (const QString& word : text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        widest = qMax(widest, fm.horizontalAdvance(word));
    return widest;
}

int TextFit::LongestWord(const QLabel* label)
{
    const QMargins margins = label->contentsMargins();
    return LongestWord(label->font(), label->text()) + margins.left() + margins.right() + 2 * label->margin() + 1;
}

