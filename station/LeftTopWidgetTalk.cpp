// Speaker test: once a device has accepted talk-back (EVENT_STARTAUDIOOK, job
// 1124 of the auxiliary thread), the speaker test sound goes to it block by
// block in the audio type it asked for.
#include "LeftTopWidget.h"

#include "AppGlobals.h"
#include "AuxResponseInfo.h"
#include "Clock.h"
#include "FuncLib.h"
#include "Log.h"
#include "PlayCtrl.h"
#include "ReplyFields.h"
#include "TalkAudioParams.h"

#include <QFile>

#include <atomic>
#include <cstring>

namespace {

std::atomic<int> g_framePauseMs{25};
constexpr char kTalkMp3[] = "/TrumpetTest.mp3";
constexpr char kTalkPcm[] = "/TrumpetTest.pcm";

// One counter for every frame the station sends; never reset.
std::atomic<uint32_t> g_talkSequence{0};

// Closes the device's talk-back channel when the job ends, however it ends.
class TalkChannel {
public:
    explicit TalkChannel(int64_t login) : m_login(login) {}
    ~TalkChannel()
    {
        if (m_login > 0)
            FC_Loc_StopSpeak(m_login, 0);
    }
    TalkChannel(const TalkChannel&) = delete;
    TalkChannel& operator=(const TalkChannel&) = delete;

private:
    int64_t m_login;
};

}  // namespace

int LeftTopWidget::dealStartAduioOk(AuxResponseInfo* info, AuxJobRun& run)
{
    LogPrint(LOG_INFO, "##################Enter dealStartAduioOk() ###################");
    if (!info)
        return -1;
    // The frames and the close go to the device that accepted, by the handle of its event.
    const int64_t login = info->lLoginID;
    TalkChannel channel(login);
    if (!info->pResponse)
        return -1;
    TalkAudioParams params;
    if (!TalkAudioParams::Parse(info->pResponse, &params)) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::dealStartAduioOk() the audio parameters are incomplete: %.256s",
                 info->pResponse);
        return -2;
    }
    if (params.audioType == 1)
        PC_OpenTalkEncoder(params.sampleRate, params.bits, params.channels);

    const QString mp3 = AppDirPath() + QLatin1String(kTalkMp3);
    const QString pcm = AppDirPath() + QLatin1String(kTalkPcm);
    if (!QFile::exists(mp3)) {
        LogPrint(LOG_INFO, "LeftTopWidget::dealStartAduioOk() mp3 file not find");
        // The operator is told on the GUI thread; this thread does not wait for the box.
        m_handOffs.Post([this] {
            // Not while the controller closes: a modal box would hold up its end.
            if (!m_workers.StopRequested(StationWorkers::Aux))
                ShowInformationBox(QString(), tr("mp3 file not find"));
        });
        return -3;
    }
    if (!QFile::exists(pcm)) {
        const int converted = PC_Mp3ToPcm(QFile::encodeName(mp3).constData(), QFile::encodeName(pcm).constData(), 1,
                                          16, 8000);
        if (converted != 0) {
            LogPrint(LOG_MAJOR, "LeftTopWidget::dealStartAduioOk() mp3 to pcm conversion failed, ret=%d", converted);
            QFile::remove(pcm);   // nothing half made is taken for the sound next time
            return -3;
        }
    }
    LogPrint(LOG_INFO, "audiotype=%d, samplerate=%d, bitspersample=%d, channels=%d", params.audioType,
             params.sampleRate, params.bits, params.channels);

    QFile file(pcm);
    if (!file.open(QIODevice::ReadOnly)) {
        LogPrint(LOG_INFO, "open pcm file failed, return");
        return -3;
    }
    // The device is the one of the job's chain while no other became current
    // and its play was not stopped.
    const uint64_t generation = run.Context().token.device;
    auto stillCurrent = [&] {
        if (run.IsStopped() || m_lists.Generation() != generation)
            return false;
        bool current = false;
        m_lists.ReadCurrentDevice(
            [&](const DevInfo& dev) { current = dev.lUserID == login && DevLoad(dev.lStopFlag) == 0; });
        return current;
    };
    const int block = params.BlockBytes();
    char* in = m_talkInput.data();
    char* out = m_talkOutput.data();
    int count = 0;
    while (!file.atEnd() && stillCurrent()) {
        ++count;
        LogPrint(LOG_DEBUG0, "begin read icount=%d", count);
        std::memset(in, 0, m_talkInput.size());
        std::memset(out, 0, m_talkOutput.size());
        const bool whole = file.read(in, block) == block;
        LogPrint(LOG_DEBUG0, "LeftTopWidget::dealStartAduioOk iRet=%d", whole ? 1 : 0);
        if (!whole)
            break;   // a short last block is not sent
        const int encoded = params.audioType == 0 ? (PC_EncodeTalkType0(out, in, block), block / 2)
                                                  : PC_EncodeTalk(out, in, block);
        LogPrint(LOG_DEBUG0, "LeftTopWidget::dealStartAduioOk iRet=%d,nOut=%d", whole ? 1 : 0, encoded);
        if (encoded <= 0)
            continue;
        FC_TalkFrame frame{};
        frame.nLength = encoded;
        frame.dwTimeStamp = uint32_t(uint64_t(WallClockMs(Clock::Now())) & 0xFFFFFFFFu);
        const uint32_t sequence = ++g_talkSequence;
        frame.wSequence = uint16_t(sequence);
        frame.dwSequence = sequence;
        frame.pData = out;
        // A refused frame means the channel is gone: nothing more would be heard.
        const int sent = FC_Loc_SendTalkFrame(login, &frame);
        if (sent != 0) {
            LogPrint(LOG_GENERAL, "LeftTopWidget::dealStartAduioOk() frame %u refused (%d), streaming ends", sequence,
                     sent);
            break;
        }
        if (m_workers.SleepUnlessStopped(StationWorkers::Aux, g_framePauseMs.load()))
            break;
    }
    file.close();
    LogPrint(LOG_INFO, "##################Leave dealStartAduioOk() ###################");
    return 0;
}

void LeftTopWidget::SetTalkFramePauseMs(int ms)
{
    g_framePauseMs = ms < 0 ? 0 : ms;
}
