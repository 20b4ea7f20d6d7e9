#include "ElidedComboBox.h"

#include <QFontMetrics>
#include <QStyleOptionComboBox>
#include <QStylePainter>

ElidedComboBox::ElidedComboBox(QWidget* parent) : QComboBox(parent)
{
    connect(this, &QComboBox::currentTextChanged, this, &ElidedComboBox::UpdateToolTip);
}

QString ElidedComboBox::ShownText() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return ShownText(option);
}

QString ElidedComboBox::ShownText(const QStyleOptionComboBox& option) const
{
    if (isEditable())
        return option.currentText;
    // The style draws the label one pixel in from each side of the field.
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    return fontMetrics().elidedText(option.currentText, Qt::ElideRight, qMax(0, field.width() - 2));
}

void ElidedComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = ShownText(option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void ElidedComboBox::resizeEvent(QResizeEvent* event)
{
    QComboBox::resizeEvent(event);
    UpdateToolTip();
}

void ElidedComboBox::UpdateToolTip()
{
    setToolTip(ShownText() == currentText() ? QString() : currentText());
}
