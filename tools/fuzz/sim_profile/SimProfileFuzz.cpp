// The simulated LAN's JSON profile, as the loader reads it from its file.
//
// Qt 5.15's JSON reader itself leaks a little when a key repeats with an array
// or object as its value. Its frames are found only by the slow unwinder (Qt
// has no frame pointers), which the suppression of that leak needs.
#include "FuzzEnv.h"

#include "sim/SimProfile.h"

#include <QByteArray>
#include <QString>

extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

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
