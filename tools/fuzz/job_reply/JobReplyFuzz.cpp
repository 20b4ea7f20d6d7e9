// The back-end's replies to the auxiliary thread's jobs: the 4G card checks
// and binding (one or two cards), the binding job, the authorization-code
// check and the label's identify code, each over connections played from the
// input (see ScriptedSocket.h). The device's own texts the jobs carry (card
// numbers, operators, UUID, key) come from the input too.
//
// Input: a job byte, a schedule byte, a flags byte, the device texts ICCID,
// ICCID2, Operator, Operator2, UUID and Key each ended by NUL, then the bytes
// the back-end sends, one reply per request, parted by "\n==next==\n".
#include "FuzzEnv.h"
#include "FuzzInput.h"
#include "ScriptedSocket.h"

#include "AuxJobs.h"
#include "DevTestResult.h"
#include "LeftTopWidget.h"
#include "LeftTopWidgetTestPeer.h"

#include <string>

namespace {

enum Job { FourGOneCard, FourGTwoCards, Bind, AuthorizeCheck, IdentifyCode, JobCount };

QString Text(FuzzInput& in)
{
    return QString::fromUtf8(QByteArray::fromStdString(in.Until(0)));
}

AuxJobContext Context(Job job)
{
    AuxJobContext c;
    c.bLoggedIn = true;
    c.strServerHost = "127.0.0.1";
    c.strSN = "VT21A00000000001";
    c.devType.strIpcType = "IPC";
    c.devType.eTypeDevMainType = 101;
    c.devType.eType = job == FourGTwoCards ? 6 : 3;
    c.strStationMac = "02-11-22-33-44-55";
    c.strModel = "VT";
    c.strCompanyId = "1001";
    c.strCustomerName = "Factory";
    c.telecomOperators = QStringList{"46003", "CT"};
    c.mobileOperators = QStringList{"46000", "CMCC"};
    c.config.m_Config4G.Signal4G = "20";
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Core);
    ScriptedSocket::Init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const Job job = Job(in.Byte() % JobCount);
    const uint8_t schedule = in.Byte();
    const uint8_t flags = in.Byte();
    Dev4GInfo card;
    card.ICCID = Text(in);
    card.ICCID2 = Text(in);
    card.Operator = Text(in);
    card.Operator2 = Text(in);
    card.SoftVersion = "V1";
    card.SignalStrength = 30;
    card.ConnectInternet = 1;
    const QString uuid = Text(in);
    const QString key = Text(in);

    const AuxJobContext context = Context(job);
    AuxJobCancel cancel;
    AuxJobRun run(context, cancel);
    ScriptedSocket::ArmPerConnection(in.Here(), in.Left(), schedule);
    switch (job) {
    case FourGOneCard:
    case FourGTwoCards:
        LeftTopWidgetTestPeer::do4GDevInfoTest(card, run);
        break;
    case Bind: {
        DevBindJob bind;
        bind.devType = context.devType;
        bind.strSN = context.strSN;
        bind.strMacAddr = context.strStationMac;
        bind.szModel = context.strModel;
        LeftTopWidgetTestPeer::DoBindDevJob(bind, run);
        break;
    }
    case AuthorizeCheck: {
        AuxAuthorizeCheckMsg check;
        check.iReplyStatus = 1;
        check.AutorizationStatus = 1;
        check.strUUID = uuid;
        check.strKey = key;
        check.strSN = context.strSN;
        check.strModel = context.strModel;
        check.iType = flags & 3;
        LeftTopWidgetTestPeer::DoAuthorizeCheckJob(check, run);
        break;
    }
    case IdentifyCode: {
        QString qrCode;
        QString identityPart;
        QString identifyCode;
        LeftTopWidgetTestPeer::GetIndentifyCode(run, context.devType.eType, context.strSN, flags & 1, uuid, qrCode,
                                        identityPart, identifyCode);
        break;
    }
    case JobCount:
        break;
    }
    if (!ScriptedSocket::Disarm())
        FuzzEnv::Fail("a job left its connection open");
    DevTestResult record{};
    run.Result().ApplyTo(record);
    return 0;
}
