// The application folder the build lays out for the station program: every
// file the program reads from it and does not make itself is there and loads.
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTranslator>

#include <gtest/gtest.h>

namespace {

enum class Kind { Image, Animation, Translation, Sound };

struct RuntimeFile {
    const char* path;   // as the program names it, relative to the folder
    Kind kind;
};

// The names as the program's code gives them: an image named without a suffix
// is found by Qt with one.
const RuntimeFile kFiles[] = {
    {"Skin/mv_logo", Kind::Image},            // window icons
    {"Skin/mw_configA", Kind::Image},
    {"Skin/Logo2.png", Kind::Image},          // main window and login dialog
    {"Skin/mw_loginOut.png", Kind::Image},    // title-bar buttons
    {"Skin/mw_loginOutA.png", Kind::Image},
    {"Skin/mw_close.png", Kind::Image},
    {"Skin/mw_closA.png", Kind::Image},
    {"Skin/mw_closeA.png", Kind::Image},
    {"Skin/mw_minsize.png", Kind::Image},
    {"Skin/mw_minsizeA.png", Kind::Image},
    {"Skin/mw_config.png", Kind::Image},
    {"Skin/title.png", Kind::Image},          // configuration-version prompt
    {"Skin/tips.png", Kind::Image},
    {"Skin/wait.gif", Kind::Animation},       // video pane while a stream starts
    {"dravonix_zh.qm", Kind::Translation},
    {"TrumpetTest.mp3", Kind::Sound},         // the speaker item
};

// What is wrong with the file at path for its kind; empty when nothing is.
QString Problem(const QString& path, Kind kind)
{
    if (kind == Kind::Translation) {
        QTranslator translator;
        return translator.load(path) ? QString() : "no translation";
    }
    if (kind == Kind::Sound) {
        QFile sound(path);
        if (!sound.open(QIODevice::ReadOnly))
            return "missing";
        // An ID3 tag or an MPEG frame's sync bits.
        const QByteArray head = sound.read(3);
        const bool mpeg = head.size() == 3 && uchar(head[0]) == 0xFF && (uchar(head[1]) & 0xE0) == 0xE0;
        return head == "ID3" || mpeg ? QString() : "no MP3";
    }
    QImageReader reader(path);
    if (!reader.canRead() || reader.read().isNull())
        return "no image: " + reader.errorString();
    if (kind == Kind::Animation && reader.imageCount() < 2)
        return "not animated";
    return QString();
}

TEST(AppFolder, HoldsEveryFileTheProgramReadsFromIt)
{
    const QDir folder(STATION_APP_DIR);
    for (const RuntimeFile& f : kFiles)
        EXPECT_EQ(Problem(folder.filePath(QString::fromLatin1(f.path)), f.kind).toStdString(), "") << f.path;
}

}  // namespace
