#pragma once

#include <QColor>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

void GetScreenGeometry(int& width, int& height);
void SetWidgetFont(QWidget* widget, const QColor& color, int pixelSize);
// A settings dialog's status line: the text in red on every colour group.
void ShowTipsText(QLabel* tips, const QString& text);
void SetButtonSkin(QPushButton* button, const QString& normal, const QString& pressed, const QString& hover);
// The style sheet SetButtonSkin applies.
QString ButtonSkinStyle(const QString& skinDir, const QString& normal, const QString& pressed, const QString& hover);
