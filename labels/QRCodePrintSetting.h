#pragma once

#include "PrintTemplate.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <vector>

namespace Ui {
class QRCodePrintSetting;
}

class AddCustomContentDlg;
class CustomLabel;
class QLineEdit;
class QTimer;

// The label template editor: base size, QR size, which device texts show, column
// mode, copies, and custom items dragged on a 2.5-times preview. Opens and saves
// templates (switching the station's current one) and prints a sample label.
// GUI thread only.
class QRCodePrintSetting : public QDialog {
    Q_OBJECT
public:
    // Sample data of the preview and the test print.
    static const char* const SampleSerialNumber;
    static const char* const SampleIndentifyCode;
    static const char* const SampleMac;
    static const char* const SampleMacBarcode;
    // Host of the app-download service in the sample payload.
    static const char* const SampleAppDownloadHost;
    // "bind://v1@type3:" + serial number + ":" + verification code.
    static QString SampleBindText();
    // The sample bind text behind the app-download address.
    static QString SampleAppPayload();

    // owner: also the parent. When it has a slot onPrintConfigClose(), that slot is
    // invoked, queued, whenever the editor closes; any other widget may own it.
    explicit QRCodePrintSetting(QWidget* owner);
    ~QRCodePrintSetting() override;

    // Loads the current template into the form and the canvas; nothing without one.
    void LoadCurrentConfig();

    Ui::QRCodePrintSetting* Form() const { return ui; }
    // The items in template order (removed ones are gone).
    QList<CustomLabel*> Labels() const;
    // The label lines last written from the items or loaded.
    const QStringList& LabelLines() const { return m_strlLabels; }
    // The index the next custom item receives.
    int NextLabelIndex() const { return m_iLabelIndex; }
    // The template the form and the items describe now (items serialised first).
    PrintTemplate TemplateFromForm();

private slots:
    void onRefreshPreviewBtnClicked();
    void onQRCodeSettingSaveBtnClicked();
    void onLoadConfigFileBtnClicked();
    void onCloseQRCodePrintSettingWidget();
    void onAddContentBtnClicked();
    void onCreatSignalEmit(void* pPram);
    void onDelete();
    void onBtnClicked();
    void onCurrentIndexChanged(int index);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // One line of the template: an item, or a line that gave none (a picture that
    // does not load, an unknown type, an unreadable line), written back unchanged.
    struct LabelEntry {
        CustomLabel* item = nullptr;
        QString keptLine;
    };

    // A size edit of the form, the message when it is empty and the range it takes.
    struct SizeField {
        QLineEdit* edit;
        bool needed;
        QString emptyMessage;
        QString range;
        float min;
        float max;
    };

    void InitUi();
    void CreateDefaultLabels();
    void SetDefaultValues();
    std::vector<SizeField> SizeFields() const;
    // Every needed field filled; a box names the first that is not.
    bool CheckInput();
    // Every needed size within its range (the operator's actions only: a template
    // loaded while the station builds this dialog must not bring up a box).
    bool CheckRanges();
    static QString ItemName(const CustomLabel* item);
    // The shown items that reach beyond the label's base size.
    QStringList ItemsOutsideLabel() const;
    void WarnItemsOutsideLabel();
    // The refresh of the operator's buttons: checks, preview, and the warning.
    bool RefreshForOperator();
    void ClearLabels();
    void SerializeLabels();
    static QString SerializeLine(const CustomLabel* item);
    void CreateLabelsFromConfig();

    bool RefreshPreview();
    void RefreshFixedItem(CustomLabel* item);
    void RefreshStationText(CustomLabel* item, bool shown, const QString& text);
    CustomLabel* CreateLabelFromLine(const QString& line);
    void LoadTemplateIntoForm();
    void InstallValidators();
    void ConnectSignals();
    CustomLabel* NewLabel(int type, float canvasWidth, float canvasHeight);
    void SetIndex(CustomLabel* item, int index);
    // The smallest index from max(first custom index, from) that no line uses.
    int FreeIndexFrom(qint64 from) const;
    qint64 LargestIndex() const;
    void ShowError(const QString& text);
    void ShowInputError(const QString& text);
    void NotifyOwner();
    QString TemplateFolder() const;

    Ui::QRCodePrintSetting* ui;
    int m_iLabelIndex = 0;
    QWidget* m_pOwner = nullptr;
    float m_fBaseWidth = 0;
    float m_fBaseHeight = 0;
    QVector<LabelEntry> m_vecLabels;
    QStringList m_strlLabels;
    AddCustomContentDlg* m_pAddDlg = nullptr;
    QTimer* m_pCloseTimer = nullptr;   // single shot, after a save; object name "closeTimer"
};
