#include "VideoForm.h"
#include "ui_VideoForm.h"

#include "AppGlobals.h"
#include "CConfigFile.h"
#include "DeviceEntry.h"
#include "LivePlayPath.h"
#include "VantrelEvent.h"
#include "VideoPaneHost.h"

#include <QLabel>
#include <QMouseEvent>

#include <algorithm>

namespace {

QString Coloured(const QString& text, bool pass)
{
    // Device replies end up here: escape them so that they never turn into markup.
    return QString(pass ? "<font color = #00ff00>" : "<font color = #ff0000>") + text.toHtmlEscaped() + "< / font>";
}

}  // namespace

VideoForm::VideoForm(QWidget* parent)
    : OpenglRender(parent)
    , ui(new Ui::VideoForm)
    , m_owner(parent)
{
    ui->setupUi(this);
    QPalette pal = palette();
    pal.setBrush(QPalette::All, QPalette::Window, QBrush(QColor(0, 0, 0, 255)));
    setPalette(pal);
    setAutoFillBackground(true);

    CConfigFile::GetInstance()->GetConfigInfo(m_config);
    m_showAutoTest = m_config.m_FullOsd.bAutoTest;
    m_showManualTest = m_config.m_FullOsd.bManualTest;
    m_showVersionInfo = m_config.m_FullOsd.bVersionInfo;
    for (int type = RESULT_AUTO; type <= RESULT_VERSION; ++type) {
        Caption(type)->hide();
        Result(type)->hide();
        Result(type)->setWordWrap(false);
        Result(type)->setTextFormat(Qt::RichText);
    }
    ClearTestResultText();
}

VideoForm::~VideoForm()
{
    // No decode thread may hand pictures to a pane that is going away.
    UnbindDevice();
    delete ui;
}

QLabel* VideoForm::Caption(int type) const
{
    switch (type) {
    case RESULT_AUTO: return ui->m_lbAutoTest;
    case RESULT_MANUAL: return ui->m_lbManualTest;
    default: return ui->m_lbVersionInfo;
    }
}

QLabel* VideoForm::Result(int type) const
{
    switch (type) {
    case RESULT_AUTO: return ui->m_lbAutoTestResult;
    case RESULT_MANUAL: return ui->m_lbManualTestResult;
    default: return ui->m_lbVersionInfoResult;
    }
}

void VideoForm::UpdateOSDStyle()
{
    QFont font = ui->m_lbAutoTest->font();
    font.setPixelSize(std::max(1, height() / 30));
    ui->m_lbAutoTest->setText(tr("Automatic test") + ":");
    ui->m_lbManualTest->setText(tr("Manual test") + ":");
    ui->m_lbVersionInfo->setText(tr("Version Information") + ":");
    for (int type = RESULT_AUTO; type <= RESULT_VERSION; ++type) {
        for (QLabel* label : {Caption(type), Result(type)}) {
            label->setFont(font);
            QPalette pal = label->palette();
            pal.setColor(QPalette::WindowText, Qt::green);
            pal.setColor(QPalette::Window, QColor(255, 255, 255, 47));
            label->setPalette(pal);
            label->setAutoFillBackground(true);
        }
    }
    LayoutOSD();
    RememberCaptionHeight();
}

void VideoForm::RefreshOSDStyle()
{
    UpdateOSDStyle();
}

void VideoForm::LayoutOSD()
{
    for (int type = RESULT_AUTO; type <= RESULT_VERSION; ++type) {
        Caption(type)->adjustSize();
        Result(type)->adjustSize();
    }
    const int captionHeight = ui->m_lbAutoTest->height();
    // Results start right of the widest caption: a longer caption text (such as
    // the version one) would otherwise run under its result.
    const int resultX = std::max({ui->m_lbAutoTest->width(), ui->m_lbManualTest->width(),
                                  ui->m_lbVersionInfo->width()}) + 10;
    const int step = captionHeight + 10;
    int rowTop = height();
    // Rows from the bottom upward: version, manual, automatic.
    const struct { int type; bool shown; } rows[] = {
        {RESULT_VERSION, m_showVersionInfo}, {RESULT_MANUAL, m_showManualTest}, {RESULT_AUTO, m_showAutoTest}};
    for (const auto& row : rows) {
        if (!row.shown)
            continue;
        rowTop -= step;
        Caption(row.type)->move(5, rowTop);
        QLabel* result = Result(row.type);
        if (row.type == RESULT_AUTO)
            result->move(resultX, rowTop + captionHeight - result->height());   // grows upward
        else
            result->move(resultX, rowTop);
    }
}

void VideoForm::ClearTestResultText()
{
    for (int type = RESULT_AUTO; type <= RESULT_VERSION; ++type) {
        Result(type)->setText(QString());
        Result(type)->adjustSize();
    }
    LayoutOSD();
    RememberCaptionHeight();
}

void VideoForm::RememberCaptionHeight()
{
    // A restyle may come while results are shown (and may change the caption's
    // height): a list that holds text must still start its next result on a new line.
    const bool empty = ui->m_lbAutoTestResult->text().isEmpty();
    m_captionHeight = ui->m_lbAutoTest->height() - (empty ? 0 : 1);
}

void VideoForm::VideoRefresh()
{
    ClearTestResultText();
}

void VideoForm::SetResultLabelText(QLabel* label, const QString& html)
{
    label->setText(html);
    label->adjustSize();
}

void VideoForm::SetTestResultText(int type, const QString& text, bool pass)
{
    const QString coloured = Coloured(text, pass);
    if (type == RESULT_MANUAL || type == RESULT_VERSION) {
        SetResultLabelText(Result(type), coloured);
        return;
    }
    if (type != RESULT_AUTO)
        return;
    QLabel* result = ui->m_lbAutoTestResult;
    if (ui->m_lbAutoTest->height() != m_captionHeight) {
        // Not the first line: keep the bottom edge while the label grows.
        const int before = result->height();
        SetResultLabelText(result, result->text() + "<br>");
        result->move(result->x(), result->y() - (result->height() - before));
    }
    SetResultLabelText(result, result->text() + coloured);
    if (m_captionHeight == ui->m_lbAutoTest->height())
        m_captionHeight -= 1;
    LayoutOSD();
}

void VideoForm::ShowTestOSD(bool show)
{
    const bool shown[] = {m_showAutoTest, m_showManualTest, m_showVersionInfo};
    for (int type = RESULT_AUTO; type <= RESULT_VERSION; ++type) {
        Caption(type)->setVisible(show && shown[type]);
        Result(type)->setVisible(show && shown[type]);
    }
}

void VideoForm::SetOsdSwitches(bool autoTest, bool manualTest, bool versionInfo)
{
    m_showAutoTest = autoTest;
    m_showManualTest = manualTest;
    m_showVersionInfo = versionInfo;
}

int VideoForm::BindDevice(DeviceEntry* entry, int channel)
{
    // A pane must never count as bound to nothing or to a channel without a slot.
    if (!entry || channel < 0 || channel >= DeviceEntry::SLOT_COUNT)
        return -1;
    // A pane shows one stream: a slot it leaves behind would go on handing
    // pictures to it, also after the pane is gone.
    if (m_bound && m_device && (m_device != entry || m_channel != channel))
        UnbindDevice();
    SetStopRender(false);
    LivePlayPath::StartRealPlay(entry, this, channel);
    m_device = entry;
    m_channel = channel;
    m_bound = true;
    return 0;
}

int VideoForm::UnbindDevice()
{
    if (!m_bound || !m_device)
        return -1;
    bool stopAudio = false;
    if (m_audio && m_channel >= 0 && m_channel < DeviceEntry::SLOT_COUNT) {
        std::lock_guard<std::mutex> lock(m_device->mutex);
        DeviceEntry::Slot& slot = m_device->channels[m_channel];
        if (m_device->bHaveAudio && slot.bAudioOn) {
            slot.bAudioOn = false;
            stopAudio = true;
        }
    }
    if (stopAudio) {
        m_audio = false;
        LivePlayPath::StopAudioPlay();
    }
    SetStopRender(true);
    LivePlayPath::StopRealPlay(m_device, this, m_channel);
    m_bound = false;
    m_device = nullptr;
    return 0;
}

int VideoForm::GetDevice(DeviceEntry*& entry) const
{
    entry = m_device;
    return 0;
}

void VideoForm::mousePressEvent(QMouseEvent* event)
{
    if (MainWindowInstance && WholeMachineTestMode) {
        if (auto* host = dynamic_cast<VideoPaneHost*>(m_owner.data()))
            host->ShowResultPanelOnTop();
    }
    OpenglRender::mousePressEvent(event);
}

void VideoForm::mouseDoubleClickEvent(QMouseEvent* /*event*/)
{
    auto* host = dynamic_cast<VideoPaneHost*>(m_owner.data());
    if (!MainWindowInstance || !host)
        return;
    if (host->IsFullScreen()) {
        for (int type = RESULT_AUTO; type <= RESULT_VERSION; ++type) {
            Caption(type)->hide();
            Result(type)->hide();
        }
        PostVantrelEvent(MainWindowInstance, WM_FULL_SCREEN, 0, 0);
    } else {
        PostVantrelEvent(MainWindowInstance, WM_FULL_SCREEN, 1, 0);
        ShowTestOSD(true);
    }
}
