// The order's configuration package: its 384-byte text header (length and
// MD5 of the body), the check that splits the body off, and the unpacking of
// the body (a .tgz) into the two configuration files' digests.
//
// Input: a flags byte, then the package file. Flag 1 writes the body's true
// length into the header and flag 2 its true digest, so that the fuzzer gets
// past checks it can't forge.
#include "FuzzEnv.h"
#include "FuzzInput.h"

#include "LeftTopWidget.h"
#include "Md5.h"
#include "WorkOrderFiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr size_t kLengthAt = 32;
constexpr size_t kLengthWidth = 288;
constexpr size_t kMd5At = 320;

void PutField(std::string& package, size_t at, size_t width, const std::string& text)
{
    if (package.size() < CONFIG_PACKAGE_HEADER_SIZE)
        package.resize(CONFIG_PACKAGE_HEADER_SIZE, '\0');
    package.replace(at, width, std::string(width, '\0'));
    package.replace(at, std::min(width, text.size()), text.substr(0, width));
}

std::string BodyDigest(const std::string& package)
{
    const std::string body = package.size() > CONFIG_PACKAGE_HEADER_SIZE ? package.substr(CONFIG_PACKAGE_HEADER_SIZE)
                                                                         : std::string();
    MD5_CTX context;
    MD5Init(&context);
    MD5Update(&context, reinterpret_cast<const unsigned char*>(body.data()), body.size());
    unsigned char digest[16];
    MD5Final(digest, &context);
    char hex[33];
    for (int i = 0; i < 16; ++i)
        snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return std::string(hex, 32);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Widgets);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t flags = in.Byte();
    std::string package = in.Rest();
    if (flags & 1) {
        const size_t body = package.size() > CONFIG_PACKAGE_HEADER_SIZE ? package.size() - CONFIG_PACKAGE_HEADER_SIZE : 0;
        PutField(package, kLengthAt, kLengthWidth, std::to_string(body));
    }
    if (flags & 2)
        PutField(package, kMd5At, 64, BodyDigest(package));

    const QString path = FuzzEnv::Dir() + "/package.tgz";
    if (!FuzzEnv::WriteFile(path, package))
        FuzzEnv::Fail("can't write the package");
    const bool intact = IsConfigPackageIntack(path);
    if ((flags & 3) == 3 && package.size() >= CONFIG_PACKAGE_HEADER_SIZE && !intact)
        FuzzEnv::Fail("a package with its true length and digest is refused");

    QString sysMd5 = "stale";
    QString hwMd5 = "stale";
    const int unpacked = UnCompressLocalConfigFile(path, sysMd5, hwMd5);
    static const QRegularExpression digest("^[0-9a-f]{32}$");
    if (unpacked == 0 && (!digest.match(sysMd5).hasMatch() || !digest.match(hwMd5).hasMatch()))
        FuzzEnv::Fail("an unpacked package gave digests '%s' and '%s'", qPrintable(sysMd5), qPrintable(hwMd5));
    if (unpacked != 0 && (!sysMd5.isEmpty() || !hwMd5.isEmpty()))
        FuzzEnv::Fail("a package refused with %d left digests", unpacked);
    // Nothing of the archive stays: no unpacking folder, no file outside the program folder's own.
    if (!QDir(FuzzEnv::Dir()).entryList({"unpack-*"}, QDir::AllEntries | QDir::Hidden).isEmpty())
        FuzzEnv::Fail("an unpacking folder was left behind");
    QFile::remove(path);
    return 0;
}
