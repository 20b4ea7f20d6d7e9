#pragma once

#include "ConfigInfo.h"
#include "OpenglRender.h"

#include <QPointer>

class QLabel;
struct DeviceEntry;

namespace Ui {
class VideoForm;
}

// The station's video pane: a renderer with a three-row overlay in its lower
// left corner (automatic results, last manual result, version information).
// A double click asks the main window to enter or leave full screen.
class VideoForm : public OpenglRender {
    Q_OBJECT

public:
    enum ResultType : int {
        RESULT_AUTO = 0,
        RESULT_MANUAL = 1,
        RESULT_VERSION = 2,
    };

    explicit VideoForm(QWidget* parent = nullptr);
    ~VideoForm() override;

    void UpdateOSDStyle();
    void RefreshOSDStyle();
    void LayoutOSD();
    void ClearTestResultText();
    void VideoRefresh();
    // Appends (automatic) or replaces (manual, version) a result text, green
    // when pass is true, red otherwise. The text is shown as plain text.
    void SetTestResultText(int type, const QString& text, bool pass);
    void ShowTestOSD(bool show);

    // The three overlay switches (FULL_OSD bAutoTest, bManualTest, bVersionInfo).
    void SetOsdSwitches(bool autoTest, bool manualTest, bool versionInfo);
    bool IsAutoTestShown() const { return m_showAutoTest; }
    bool IsManualTestShown() const { return m_showManualTest; }
    bool IsVersionInfoShown() const { return m_showVersionInfo; }

    // 0, or -1 (nothing changed) for a null entry or a channel without a slot.
    int BindDevice(DeviceEntry* entry, int channel);
    int UnbindDevice();
    int GetDevice(DeviceEntry*& entry) const;
    bool IsBind() const { return m_bound; }
    int Channel() const { return m_channel; }
    void SetAudioFlag(bool on) { m_audio = on; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QLabel* Caption(int type) const;
    QLabel* Result(int type) const;
    void SetResultLabelText(QLabel* label, const QString& html);
    void RememberCaptionHeight();

    Ui::VideoForm* ui;
    QPointer<QWidget> m_owner;    // may go before the pane once the pane is moved elsewhere
    DeviceEntry* m_device = nullptr;
    int m_channel = 0;
    bool m_bound = false;
    bool m_audio = false;
    ConfigInfo m_config;
    bool m_showAutoTest = true;
    bool m_showManualTest = true;
    bool m_showVersionInfo = true;
    int m_captionHeight = 0;    // caption height while the automatic result text is empty
};
