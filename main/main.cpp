// The station program.
#include "AppGlobals.h"
#include "CrashDumpWriter.h"
#include "SingleApplication.h"
#include "StationStartup.h"

#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    SingleApplication app(argc, argv);   // a later start ends in here with 0
    if (!CrashDumpWriter::Install(QFile::encodeName(AppDirPath()).constData()))
        fprintf(stderr, "dravonix: no crash dumps (the program folder's path is too long)\n");
    return RunStation(app);
}
