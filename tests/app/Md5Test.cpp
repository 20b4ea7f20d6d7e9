#include "CommonHelpers.h"
#include "Md5.h"

#include "TempAppDir.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <cstring>

namespace {

QByteArray Digest(const QByteArray& data, size_t chunk)
{
    MD5_CTX ctx;
    MD5Init(&ctx);
    for (int at = 0; at < data.size(); at += int(chunk)) {
        const size_t n = std::min(chunk, size_t(data.size() - at));
        MD5Update(&ctx, reinterpret_cast<const unsigned char*>(data.constData() + at), n);
    }
    unsigned char out[16];
    MD5Final(out, &ctx);
    return QByteArray(reinterpret_cast<char*>(out), 16).toHex();
}

TEST(Md5, Rfc1321TestSuite)
{
    const struct {
        const char* text;
        const char* digest;
    } vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& v : vectors) {
        EXPECT_EQ(Digest(v.text, 1 << 20), QByteArray(v.digest)) << v.text;
        EXPECT_EQ(Digest(v.text, 1), QByteArray(v.digest)) << v.text;
    }
}

TEST(Md5, BlockAndPaddingBoundaries)
{
    for (int length : {55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 511, 512, 513, 1025, 100000}) {
        QByteArray data(length, '\0');
        for (int i = 0; i < length; ++i)
            data[i] = char(i * 31 + 7);
        const QByteArray reference = QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
        for (size_t chunk : {size_t(1), size_t(63), size_t(64), size_t(100), size_t(512)})
            EXPECT_EQ(Digest(data, chunk), reference) << length << " in chunks of " << chunk;
    }
}

TEST(Md5, FileDigestIsLowerCaseHexOfTheWholeFile)
{
    TempAppDir dir;
    for (int length : {0, 511, 512, 513, 4096 + 3}) {
        QByteArray data(length, 'q');
        dir.writeFile("f.bin", data);
        char out[33];
        std::memset(out, 'z', sizeof out);
        ASSERT_EQ(GetFileMd5(dir.file("f.bin"), out), out);
        EXPECT_EQ(QByteArray(out), QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex()) << length;
        EXPECT_EQ(FileMd5Hex(dir.file("f.bin")), QString::fromLatin1(out));
    }
    char* owned = GetFileMd5(dir.file("f.bin"), nullptr);
    ASSERT_NE(owned, nullptr);
    EXPECT_EQ(std::strlen(owned), 32u);
    delete[] owned;
}

TEST(Md5, UnreadableFileGivesNoDigestAndLeavesTheBufferAlone)
{
    char out[33];
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(GetFileMd5("/nonexistent/file.tgz", out), nullptr);
    // Opens, then fails on the first read.
    EXPECT_EQ(GetFileMd5("/proc/self/mem", out), nullptr);
    for (char c : out)
        EXPECT_EQ(c, 'z');
    EXPECT_TRUE(FileMd5Hex("/nonexistent/file.tgz").isEmpty());
}

TEST(Md5, TextDigestIsUpperCaseAndExactly32Characters)
{
    char out[40];
    std::memset(out, 0, sizeof out);
    out[33] = '#';
    GetTextMd5("", out);
    EXPECT_STREQ(out, "D41D8CD98F00B204E9800998ECF8427E");
    GetTextMd5("abc", out);
    EXPECT_STREQ(out, "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(out[33], '#');
}

}  // namespace
