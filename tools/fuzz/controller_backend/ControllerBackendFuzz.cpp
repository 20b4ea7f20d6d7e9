// The back-end's replies the controller reads on its own thread: the custom
// MAC it writes into the camera, the answer to a result submission (with its
// retries) and the order refresh, over connections played from the input
// (see ScriptedSocket.h).
//
// Input: an operation byte, a schedule byte, then the bytes the back-end
// sends, one reply per request, parted by "\n==next==\n".
#include "ControllerHarness.h"
#include "FuzzEnv.h"
#include "FuzzInput.h"
#include "ScriptedSocket.h"

#include "AppGlobals.h"
#include "DevCommand.h"
#include "LeftTopWidget.h"
#include "LeftTopWidgetTestPeer.h"

namespace {

enum Operation { CustomMac, Submission, OrderRefresh, OperationCount };

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Widgets);
    ScriptedSocket::Init();
    ServerHost = "127.0.0.1";
    ControllerHarness::Controller();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const Operation op = Operation(in.Byte() % OperationCount);
    const uint8_t schedule = in.Byte();
    LeftTopWidget& w = ControllerHarness::Controller();
    ControllerHarness::ResetCurrentDevice();
    w.SetOrderDetail("ORDER-1", QString(), QString());

    ScriptedSocket::ArmPerConnection(in.Here(), in.Left(), schedule);
    switch (op) {
    case CustomMac:
        Peer(w).AutoModifyMac();
        break;
    case Submission:
        w.slot_UploadCurrentDevTestResult();
        break;
    case OrderRefresh:
        Peer(w).slot_RefreshOrderInfo();
        break;
    case OperationCount:
        break;
    }
    if (!ScriptedSocket::Disarm())
        FuzzEnv::Fail("the controller left its connection open");
    // A MAC the controller took goes into a device command as it is.
    const QByteArray mac = Peer(w).MakeAuxJobContext(AUX_SOURCE_AUTO).strCustomMac.toUtf8();
    if (!mac.isEmpty() && !IsSafeAttributeValue(mac))
        FuzzEnv::Fail("the back-end's MAC '%s' was taken", mac.constData());
    ControllerHarness::Settle();
    return 0;
}
