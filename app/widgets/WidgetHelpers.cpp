#include "WidgetHelpers.h"

#include "AppGlobals.h"
#include "ScreenArea.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>

void GetScreenGeometry(int& width, int& height)
{
    const QRect screen = ScreenArea::Geometry();
    width = screen.width();
    height = screen.height();
}

void ShowTipsText(QLabel* tips, const QString& text)
{
    if (!tips)
        return;
    QPalette palette = tips->palette();
    palette.setColor(QPalette::All, QPalette::WindowText, Qt::red);
    tips->setPalette(palette);
    tips->setText(text);
}

void SetWidgetFont(QWidget* widget, const QColor& color, int pixelSize)
{
    if (!widget)
        return;
    QFont font = widget->font();
    font.setPixelSize(pixelSize);
    font.setWeight(75);
    widget->setFont(font);
    QPalette palette = widget->palette();
    palette.setBrush(QPalette::All, QPalette::WindowText, QBrush(color, Qt::SolidPattern));
    widget->setPalette(palette);
}

QString ButtonSkinStyle(const QString& skinDir, const QString& normal, const QString& pressed, const QString& hover)
{
    return QStringLiteral("QPushButton {border-image:url(") + skinDir + normal +
           QStringLiteral("); font-size:12px;} QPushButton:hover:pressed {border-image:url(") + skinDir + pressed +
           QStringLiteral(");font-size:12px;} QPushButton:hover:!pressed {border-image:url(") + skinDir + hover +
           QStringLiteral(");font-size:12px;} ");
}

void SetButtonSkin(QPushButton* button, const QString& normal, const QString& pressed, const QString& hover)
{
    if (!button)
        return;
    button->setStyleSheet(ButtonSkinStyle(AppDirPath() + "/Skin/", normal, pressed, hover));
    button->setFocusPolicy(Qt::NoFocus);
}
