// The speaker test's sound file on its way to the device: the controller's
// talk-back job converts the MP3 to raw PCM once (libmpg123, mixed down to
// mono and resampled to 8000 Hz), then encodes it block by block with the
// encoder of the audio type the device asked for and sends each block as a
// talk-back frame. Frames follow each other without the station's pause.
//
// Input: the audio type, the sample rate (two bytes, big-endian), the bits
// and the channels the device asks for, a flags byte (1: the bytes are the
// PCM file an earlier conversion left, not the MP3), then the file's bytes.
#include "ControllerHarness.h"
#include "FuzzEnv.h"
#include "FuzzInput.h"

#include "AppGlobals.h"
#include "AuxJobs.h"
#include "FuncLib.h"
#include "AuxResponseInfo.h"
#include "LeftTopWidget.h"
#include "LeftTopWidgetTestPeer.h"
#include "SdkCallLog.h"
#include "TalkAudioParams.h"
#include "sim/SimLan.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <string>

namespace {

QString SoundPath(const char* name)
{
    return AppDirPath() + "/" + name;
}

// What the device asks for, as its acceptance event words it.
QByteArray StatusText(int audioType, int sampleRate, int bits, int channels)
{
    return QStringLiteral("audiotype=%1,samplerate=%2,bits=%3,channels=%4,")
        .arg(audioType)
        .arg(sampleRate)
        .arg(bits)
        .arg(channels)
        .toLatin1();
}

// Every whole block of the PCM file went out as one frame of half its bytes.
void CheckFrames(int64_t pcmBytes, int block)
{
    const QVector<SdkCall> frames = SdkCallLog::Instance().CallsOf("FC_Loc_SendTalkFrame");
    if (frames.size() != pcmBytes / block)
        FuzzEnv::Fail("%d frames sent for %lld bytes of PCM in blocks of %d", frames.size(), (long long)pcmBytes,
                      block);
    const QString length = QString::number(block / 2);
    for (const SdkCall& frame : frames) {
        if (frame.arguments.section(',', 1) != length)
            FuzzEnv::Fail("a frame of %s bytes, not %d", qPrintable(frame.arguments.section(',', 1)), block / 2);
    }
}

// A simulated camera logged in once: the job stops at the first frame its
// channel refuses, so the frames go to a camera that has accepted talk-back.
int64_t g_login = 0;

void LogInCamera()
{
    SimCameraConfig camera;
    camera.serial = QStringLiteral("VT21A00000000001");
    camera.address = QStringLiteral("127.0.0.21");
    camera.loginDelayMs = 0;
    camera.replyDelayMs = 0;
    if (!SimLan::Instance().AddCamera(camera))
        FuzzEnv::Fail("can't add the simulated camera");
    g_login = FC_Loc_Login("127.0.0.21", camera.port, "admin", "580347", 0);
    QElapsedTimer waited;
    waited.start();
    // The login finishes on the simulation's own thread.
    while (FC_Loc_StartSpeak(g_login, 0) != 0) {
        if (waited.elapsed() > 10000)
            FuzzEnv::Fail("the simulated camera did not log in");
        QThread::msleep(5);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Widgets);
    LeftTopWidgetTestPeer::SetTalkFramePauseMs(0);
    ControllerHarness::Controller();
    LogInCamera();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int audioType = in.Byte();
    const int sampleRate = (int(in.Byte()) << 8) | in.Byte();
    const int bits = in.Byte();
    const int channels = in.Byte();
    const bool pcmGiven = in.Byte() & 1;
    const std::string file = in.Rest();

    const QString mp3 = SoundPath("TrumpetTest.mp3");
    const QString pcm = SoundPath("TrumpetTest.pcm");
    QFile::remove(pcm);
    if (!FuzzEnv::WriteFile(mp3, pcmGiven ? std::string("not read") : file) ||
        (pcmGiven && !FuzzEnv::WriteFile(pcm, file)))
        FuzzEnv::Fail("can't write the sound files");

    LeftTopWidget& w = ControllerHarness::Controller();
    ControllerHarness::ResetCurrentDevice();
    DevInfo current = w.Lists().CurrentDevice();
    current.lUserID = g_login;
    w.Lists().SetCurrentDevice(current);
    if (FC_Loc_StartSpeak(g_login, 0) != 0)
        FuzzEnv::Fail("the simulated camera refused talk-back");
    SdkCallLog::Instance().Clear();
    QByteArray text = StatusText(audioType, sampleRate, bits, channels);
    AuxResponseInfo info{};
    info.lLoginID = g_login;
    info.pResponse = text.data();
    const AuxJobContext context = Peer(w).MakeAuxJobContext(AUX_SOURCE_AUTO);
    AuxJobCancel cancel;
    AuxJobRun run(context, cancel);
    const int result = Peer(w).dealStartAduioOk(&info, run);

    // A conversion either made the whole PCM file or left none.
    const bool converted = QFile::exists(pcm);
    if (result != 0 && !(result == -3 && !converted && !pcmGiven))
        FuzzEnv::Fail("the talk-back job gave %d (PCM file %s)", result, converted ? "there" : "missing");
    if (result == 0)
        CheckFrames(QFileInfo(pcm).size(), TalkAudioParams{audioType, sampleRate, bits, channels}.BlockBytes());
    ControllerHarness::Settle();
    return 0;
}
