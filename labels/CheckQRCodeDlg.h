#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class CheckQRCodeDlg;
}

class QLineEdit;

// Receives the scan of a printed label (the scanner types it and ends with Enter)
// and reports whether it is exactly what the label's QR code carries.
class CheckQRCodeDlg : public QDialog {
    Q_OBJECT
public:
    // Compares with strQRCode when the current template prints the app-download
    // payload, else with strIndentityPart. Connects addCheckItem to the parent's
    // slot onCheckQRCodeSignalEimt(bool) when the parent has one.
    CheckQRCodeDlg(const QString& strQRCode, const QString& strIndentityPart, QWidget* parent = nullptr);
    ~CheckQRCodeDlg() override;

    bool ComparesFullCode() const { return m_bCompareFullCode; }
    QLineEdit* ScanEdit() const;
    // True only for a non-empty scan equal, case and blanks included, to a non-empty expected text.
    static bool IsMatch(const QString& scanned, const QString& expected);

signals:
    void addCheckItem(bool bSame);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    Ui::CheckQRCodeDlg* ui;
    QString strQRCode;
    QString strIndentityPart;
    QString m_strScanned;
    bool m_bCompareFullCode = true;
    QWidget* m_pParent = nullptr;
};
