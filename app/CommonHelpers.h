#pragma once

#include <QColor>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

constexpr int LOCAL_IP_SLOT = 32;

// Local IPv4 interface addresses (loopback left out, stable order) as dotted text in
// consecutive 32-byte slots; at most maxCount. Returns the number written.
int GetLocalIp(char* slotBuffer, int maxCount);
// The operator text for a back-end transport code; empty for an unknown code.
QString GetSocketErrorMessage(int code);
void GetScreenGeometry(int& width, int& height);
// Upper-case MD5 hex of text into out: exactly 32 characters (caller gives >= 33 zeroed bytes).
void GetTextMd5(const char* text, char* out);
void SetWidgetFont(QWidget* widget, const QColor& color, int pixelSize);
// A settings dialog's status line: the text in red on every colour group.
void ShowTipsText(QLabel* tips, const QString& text);
void SetButtonSkin(QPushButton* button, const QString& normal, const QString& pressed, const QString& hover);
// The style sheet SetButtonSkin applies.
QString ButtonSkinStyle(const QString& skinDir, const QString& normal, const QString& pressed, const QString& hover);
