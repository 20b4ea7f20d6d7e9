#pragma once

#include <QDialog>
#include <QRect>
#include <QString>

class LeftTopWidget;

// The configuration-version prompt: shows the configured and the device's
// version and asks whether the device's becomes the configured one. The answer
// is written to config.ini through the configuration store and handed to the
// controller. Closing it any other way writes nothing.
class VersionInfoTips : public QDialog {
    Q_OBJECT

public:
    // owner: the controller that receives the answer (may be null).
    explicit VersionInfoTips(LeftTopWidget* owner);
    ~VersionInfoTips() override;

    void SetConfigVersion(const QString& version);
    void SetEquipVersion(const QString& version);
    void InitUI();

    bool IsDoNotRemind() const { return m_bDoNotRemind; }

    // Where InitUI puts the dialog and its controls on an available area of W x H.
    struct Layout {
        QRect dialog;
        QRect message;
        QRect checkBox;
        QRect configLabel;
        QRect configEdit;
        QRect equipLabel;
        QRect equipEdit;
        QRect yes;
        QRect no;
    };
    static Layout LayoutFor(int w, int h);

protected:
    void paintEvent(QPaintEvent* event) override;

private slots:
    void SetCheckedData();
    void OnBtnYes();
    void OnBtnNo();

private:
    // Writes the answer; with version also the configured version.
    void Answer(const QString* version);

    bool m_bDoNotRemind = false;
    int m_iScreenW = 0;
    int m_iScreenH = 0;
    LeftTopWidget* m_owner;
    int m_iDlgW = 0;
    int m_iDlgH = 0;
    QString m_strEquipVersion;
    QString m_strConfigVersion;
};
