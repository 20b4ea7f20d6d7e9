// The simulated LAN's JSON profile, as the loader reads it from its file.
#include "FuzzEnv.h"

#include "sim/SimProfile.h"

#include <QByteArray>
#include <QString>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Core);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char*>(data), int(size));
    SimProfile profile;
    QString error;
    if (!SimProfile::Parse(json, &profile, &error) && error.isEmpty())
        FuzzEnv::Fail("a profile was refused without a reason");
    return 0;
}
