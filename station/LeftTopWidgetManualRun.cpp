// The manual script run: each step presses one manual item through the main
// window (event 1022, as a key would), holds it for the step's seconds,
// releases a press-and-hold item and goes on. A step's time is measured on the
// replaceable tick and polled by the step timer, so tests drive it with their clock.
#include "LeftTopWidget.h"

#include "AppGlobals.h"
#include "CMapManualDesc.h"
#include "Clock.h"
#include "DevChecks.h"
#include "EnumClass.h"
#include "Log.h"
#include "VantrelEvent.h"

#include <QTimer>

namespace {

constexpr int kStepPollMs = 100;
constexpr uint64_t kStopWaitCapMs = 5000;

// The key of a step as it stands in the list (not trimmed).
QString StepKey(const QString& step)
{
    return step.split(QLatin1Char(':')).value(0);
}

}  // namespace

void LeftTopWidget::dealWithManualAuto()
{
    LogPrint(LOG_INFO, "PelloxDebug###Enter LeftTopWidget::dealWithManualAuto(), m_qstrlManualAutomation.size()=%d",
             int(m_qstrlManualAutomation.size()));
    if (IsCurrentDevStopped())
        return;
    if (!StartManualAutomation())
        ShowBeginManualTestTip();
    LogPrint(LOG_INFO, "PelloxDebug###Leaver LeftTopWidget::dealWithManualAuto()");
}

bool LeftTopWidget::StartManualAutomation()
{
    m_pManualAutoTimer->stop();
    m_bManalAutoTesting = true;
    m_iChannelSwitchCount = 0;
    m_iCurManualAutoIndex = 0;
    QString key;
    int seconds = 0;
    if (!ParseManualAutoStep(m_qstrlManualAutomation.value(0), &key, &seconds)) {
        LogPrint(LOG_INFO, "PelloxDebug### qstrlTmp.size() =%d, return;",
                 int(m_qstrlManualAutomation.value(0).split(QLatin1Char(':')).size()));
        m_bManalAutoTesting = false;
        return false;
    }
    emit siganlBeginManulTest(true);
    PlayCurrentManualStep();
    return true;
}

bool LeftTopWidget::startManual(const QString& key, qint64 value, bool list)
{
    return PlayManualStep(key, value, list) == ManualStep::Played;
}

LeftTopWidget::ManualStep LeftTopWidget::PlayManualStep(const QString& key, qint64 value, bool list)
{
    QObject* mainWindow = MainWindowInstance.load();
    if (!mainWindow)
        return ManualStep::Stopped;
    ManualItemDesc desc;
    if (!CMapManualDesc::GetInstance()->FindItemByKeyName(key, desc)) {
        LogPrint(LOG_INFO, "PelloxDebug### LeftTopWidget::startManual(), qstrHotKey=%s, lValue=%lld cannot find hot key desc",
                 key.toUtf8().constData(), (long long)value);
        return ManualStep::Played;   // plays nothing, keeps the step's time
    }
    if (desc.iId == EnumClass::MANUAL_SWITCH_CHANNEL) {
        const int before = m_iChannelSwitchCount++;
        bool stop = false;
        if (m_lists.CurrentDevType().IsMultiChannel()) {
            // The last step, or one whose next step switches again, has no lens to show.
            stop = m_iCurManualAutoIndex + 1 >= m_qstrlManualAutomation.size();
            if (!stop && StepKey(m_qstrlManualAutomation.at(m_iCurManualAutoIndex + 1)) == key)
                return ManualStep::Skipped;
            value = before;
        } else {
            // One lens: the first switch is passed over, a second one ends the script.
            if (before == 0)
                return ManualStep::Skipped;
            stop = true;
        }
        if (stop) {
            LogPrint(LOG_INFO, "PelloxDebug###LeftTopWidget::startManual() m_iCurManualAutoIndex=%d, Test Stop!!!",
                     m_iCurManualAutoIndex);
            EndManualAutomation(true);
            return ManualStep::Stopped;
        }
    }
    if (list)
        AddAutoTestItem(desc.strDesc, true);
    LogPrint(LOG_INFO, "PelloxDebug### LeftTopWidget::startManual(), qstrHotKey=%s, lValue=%lld",
             key.toUtf8().constData(), (long long)value);
    PostVantrelEvent(mainWindow, WM_MANUAL_TEST, desc.iId, value);
    return ManualStep::Played;
}

void LeftTopWidget::PlayCurrentManualStep()
{
    // A skipped step hands over to the next one at once; the run goes on.
    for (;;) {
        QString key;
        int seconds = 0;
        if (!ParseManualAutoStep(m_qstrlManualAutomation.value(m_iCurManualAutoIndex), &key, &seconds)) {
            LogPrint(LOG_INFO, "PelloxDebug###LeftTopWidget::onTimerManualAutoSignal() step %d \"%s\" is malformed, return;",
                     m_iCurManualAutoIndex, m_qstrlManualAutomation.value(m_iCurManualAutoIndex).toUtf8().constData());
            EndManualAutomation(false);
            return;
        }
        switch (PlayManualStep(key, 0, true)) {
        case ManualStep::Played:
            if (IsCurrentDevStopped()) {
                EndManualAutomation(false);
                return;
            }
            LogPrint(LOG_INFO, "PelloxDebug###LeftTopWidget::onTimerManualAutoSignal() qstrNext.at(0) =%s, "
                               "qstrNext.at(1) = %d",
                     key.toUtf8().constData(), seconds);
            StartManualStepTimer(seconds);
            return;
        case ManualStep::Stopped:
            if (m_bManalAutoTesting.load())
                EndManualAutomation(false);
            return;
        case ManualStep::Skipped:
            if (!AdvanceManualAutomation())
                return;
            break;
        }
    }
}

bool LeftTopWidget::AdvanceManualAutomation()
{
    ++m_iCurManualAutoIndex;
    if (m_iCurManualAutoIndex < m_qstrlManualAutomation.size() && !m_bManualAutoStopRequest)
        return true;
    LogPrint(LOG_INFO, "PelloxDebug###LeftTopWidget::onTimerManualAutoSignal() m_iCurManualAutoIndex=%d, Test Stop!!!",
             m_iCurManualAutoIndex);
    EndManualAutomation(!m_bManualAutoStopRequest);
    return false;
}

void LeftTopWidget::StartManualStepTimer(int seconds)
{
    m_uManualStepDueTick = Clock::TickMs() + uint64_t(seconds) * 1000;
    m_pManualAutoTimer->start(kStepPollMs);
}

void LeftTopWidget::onTimerManualAutoSignal()
{
    if (Clock::TickMs() < m_uManualStepDueTick)
        return;
    m_pManualAutoTimer->stop();
    const QString step = m_qstrlManualAutomation.value(m_iCurManualAutoIndex);
    QString key;
    int seconds = 0;
    if (!ParseManualAutoStep(step, &key, &seconds)) {
        // The list was replaced under the run.
        LogPrint(LOG_INFO, "PelloxDebug###LeftTopWidget::onTimerManualAutoSignal() step \"%s\" is malformed, return;",
                 step.toUtf8().constData());
        EndManualAutomation(true);
        return;
    }
    ReleaseManualStepKey(step);
    if (AdvanceManualAutomation())
        PlayCurrentManualStep();
}

void LeftTopWidget::ReleaseManualStepKey(const QString& step)
{
    const QString key = StepKey(step).trimmed();
    ManualItemDesc desc;
    if (CMapManualDesc::GetInstance()->FindItemByKeyName(key, desc) && desc.bRelease)
        startManual(key, 1, false);
}

void LeftTopWidget::EndManualAutomation(bool showTip)
{
    m_pManualAutoTimer->stop();
    if (showTip)
        ShowBeginManualTestTip();
    m_iChannelSwitchCount = 0;
    m_iCurManualAutoIndex = 0;
    m_bManalAutoTesting = false;
    m_bManualAutoStopRequest = false;
    emit siganlBeginManulTest(false);
}

void LeftTopWidget::StopManualAutomation()
{
    m_pWaitTimer->stop();
    m_bManualAutoStopRequest = false;
    // The next camera gets its own tip.
    m_bManualTipShown = false;
    if (m_bManalAutoTesting.load())
        EndManualAutomation(false);
}

void LeftTopWidget::RequestManualAutoRestart()
{
    m_bManualAutoStopRequest = true;
    m_uWaitLastStopTick = Clock::TickMs();
    m_pWaitTimer->start();
}

void LeftTopWidget::onTimerWaitLastStop()
{
    const uint64_t waited = Clock::TickMs() - m_uWaitLastStopTick;
    if (m_bManalAutoTesting.load() && waited <= kStopWaitCapMs)
        return;
    LogPrint(LOG_INFO, "PelloxDebug###LeftTopWidget::onTimerWaitLastStop() m_bManalAutoTesting =%d, m_ElapsedTimer->elapsed()=%llu",
             int(m_bManalAutoTesting.load()), (unsigned long long)waited);
    m_pWaitTimer->stop();
    if (m_bManalAutoTesting.load()) {
        // The old run still holds its step: let go of a held item before the new run presses.
        ReleaseManualStepKey(m_qstrlManualAutomation.value(m_iCurManualAutoIndex));
        EndManualAutomation(false);
    }
    m_bManualAutoStopRequest = false;
    dealWithManualAuto();
}

void LeftTopWidget::ShowBeginManualTestTip()
{
    if (m_bManualTipShown.exchange(true))
        return;
    AddAutoTestItem(tr("Please Begin Manual Test"), true);
}
