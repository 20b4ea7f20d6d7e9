#include "AppGlobals.h"
#include "CommonHelpers.h"
#include "HostAdapters.h"
#include "ModalHook.h"
#include "QNvrWebMessageBox.h"
#include "TestIpRange.h"
#include "VantrelEvent.h"
#include "WidgetHelpers.h"

#include "TempAppDir.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

TEST(Helpers, SocketErrorTexts)
{
    const struct {
        int code;
        const char* text;
    } table[] = {
        {1, "Domain name resolution failed"},       {2, "socket initialization failed"},
        {3, "socket creation failed"},              {4, "Socket failed to set receive buffer"},
        {5, "socket connection timeout"},           {6, "Socket sending failed"},
        {7, "socket receiving timeout"},            {8, "socket receiving failed"},
        {11, "Receive cache is invalid"},           {100, "Server error, please contact server administrator"},
        {-98, "The length of the received data is 0"}, {-1, "Unknown reason error"},
        {0, ""}, {9, ""}, {10, ""}, {101, ""},
    };
    for (const auto& row : table)
        EXPECT_EQ(GetSocketErrorMessage(row.code), QString(row.text)) << row.code;
}

TEST(Helpers, LocalIpFillsAtMostTheGivenSlots)
{
    HostAdapters::SetOverride({{"eth0", "127.0.0.5", "255.0.0.0", {}},
                               {"eth1", "127.0.1.6", "255.255.255.0", {}},
                               {"eth2", "127.0.2.7", "255.255.255.0", {}}});
    std::vector<char> buffer(4 * LOCAL_IP_SLOT, '#');
    EXPECT_EQ(GetLocalIp(buffer.data(), 2), 2);
    EXPECT_STREQ(buffer.data(), "127.0.0.5");
    EXPECT_STREQ(buffer.data() + LOCAL_IP_SLOT, "127.0.1.6");
    for (size_t i = 2 * LOCAL_IP_SLOT; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], '#') << "written past the caller's buffer at " << i;
    EXPECT_EQ(GetLocalIp(buffer.data(), 4), 3);
    EXPECT_EQ(GetLocalIp(buffer.data(), 0), 0);
    EXPECT_EQ(GetLocalIp(nullptr, 4), 0);
    HostAdapters::ClearOverride();

    // The real host: never a loopback address.
    std::vector<char> host(32 * LOCAL_IP_SLOT, 0);
    const int n = GetLocalIp(host.data(), 32);
    for (int i = 0; i < n; ++i)
        EXPECT_NE(std::strncmp(host.data() + i * LOCAL_IP_SLOT, "127.", 4), 0);
}

TEST(Helpers, ButtonSkinPutsEachImageOnItsState)
{
    TempAppDir dir;
    QPushButton button;
    SetButtonSkin(&button, "min.png", "min_down.png", "min_hover.png");
    const QString skin = dir.path() + "/Skin/";
    EXPECT_EQ(button.styleSheet(),
              "QPushButton {border-image:url(" + skin + "min.png); font-size:12px;} "
              "QPushButton:hover:pressed {border-image:url(" + skin + "min_down.png);font-size:12px;} "
              "QPushButton:hover:!pressed {border-image:url(" + skin + "min_hover.png);font-size:12px;} ");
    EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
    SetButtonSkin(nullptr, "a", "b", "c");
}

TEST(Helpers, WidgetFontIsBoldPixelSizedAndColoured)
{
    QLabel label;
    SetWidgetFont(&label, Qt::red, 22);
    EXPECT_EQ(label.font().pixelSize(), 22);
    EXPECT_EQ(label.font().weight(), 75);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        EXPECT_EQ(label.palette().brush(group, QPalette::WindowText).color(), QColor(Qt::red));
    SetWidgetFont(nullptr, Qt::red, 22);
}

TEST(Helpers, ScreenGeometryIsTheDesktopOnOneScreen)
{
    int w = 0, h = 0;
    GetScreenGeometry(w, h);
    EXPECT_GT(w, 0);
    EXPECT_GT(h, 0);
}

struct BoxCase {
    const char* name;
    QString text;
};

TEST(Helpers, OnlyAPlainDottedIpv4AddressEndsATestRange)
{
    const struct {
        const char* text;
        bool address;
    } table[] = {
        {"192.168.1.100", true}, {"0.0.0.0", true},      {"255.255.255.255", true}, {"10.0.0", false},
        {"abc.999.1", false},    {"1.2.3.256", false},   {"1.2.3.4.5", false},      {"1.2..4", false},
        {"1.2.3.04", false},     {" 1.2.3.4", false},    {"1.2.3.4 ", false},       {"1.2.3.+4", false},
        {"", false},             {"1.2.3.\xd9\xa4", false},
    };
    for (const auto& row : table)
        EXPECT_EQ(TestIpRange::IsDottedIpv4(QString::fromUtf8(row.text)), row.address) << row.text;
    // Ends that pass are judged together: the search compares last numbers only.
    EXPECT_EQ(TestIpRange::Problem("127.0.0.10", "127.0.0.10"), QString());
    EXPECT_EQ(TestIpRange::Problem("127.0.0.9", "127.0.0.10"), QString()) << "numbers, not texts";
    EXPECT_EQ(TestIpRange::Problem("127.0.0.10", "127.0.1.20"),
              "start ip and end ip must differ only in the last number");
}

TEST(MessageBox, SizeFollowsTheTextWidth)
{
    QNvrWebMessageBox box;
    const QFontMetrics metrics(box.font());
    // A text close to 300 px wide, built from the box's own font.
    QString wide;
    while (metrics.horizontalAdvance(wide + "W") <= 300)
        wide += "W";
    for (const QString& text : {QString(), QString("ok"), wide, QString(30, 'M')}) {
        box.SetMessage(text);
        const int m = std::max(metrics.horizontalAdvance(text), 100);
        EXPECT_EQ(box.size(), QSize(m + 50, 70)) << text.toStdString();
        EXPECT_EQ(box.findChild<QLabel*>("m_labelText")->geometry(), QRect(20, 10, m + 10, 20));
        const int c = (m + 50) / 2;
        EXPECT_EQ(box.findChild<QPushButton*>("m_btnOK")->geometry(), QRect(c - 38, 35, 75, 23));
        EXPECT_EQ(box.findChild<QPushButton*>("m_btnCancel")->geometry(), QRect(c + 42, 35, 75, 23));
        EXPECT_EQ(box.minimumSize(), box.maximumSize());
        EXPECT_EQ(box.Message(), text);
        box.close();
        EXPECT_EQ(box.minimumSize(), QSize(0, 0));
    }
    box.SetMessage("");
    EXPECT_EQ(box.findChild<QPushButton*>("m_btnOK")->pos(), QPoint(37, 35));
    EXPECT_EQ(box.findChild<QPushButton*>("m_btnCancel")->pos(), QPoint(117, 35));
}

TEST(MessageBox, ASecondMessageResizesABoxThatWasNotClosed)
{
    // Esc and a hook's answer end the box without a close event; the next text
    // must still size it.
    QNvrWebMessageBox box;
    const QFontMetrics metrics(box.font());
    const QString wide(40, 'W');
    const int m = std::max(metrics.horizontalAdvance(wide), 100);
    ASSERT_GT(m, 100);
    box.SetMessage("ok");
    box.reject();
    box.SetMessage(wide);
    EXPECT_EQ(box.size(), QSize(m + 50, 70));
    EXPECT_EQ(box.minimumSize(), QSize(m + 50, 70));
    box.SetMessage("ok");
    EXPECT_EQ(box.size(), QSize(150, 70));
}

TEST(MessageBox, TestsAnswerWithoutAModalLoop)
{
    QNvrWebMessageBox box;
    box.SetTitle("Tips");
    box.SetMessage("Delete the record?");
    QString seenTitle;
    bool cancelShown = true;
    ModalHook::Set([&](QDialog* d) {
        seenTitle = d->windowTitle();
        cancelShown = !d->findChild<QPushButton*>("m_btnCancel")->isHidden();
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(box.exec(), QDialog::Rejected);
    EXPECT_EQ(seenTitle, "Tips");
    EXPECT_FALSE(cancelShown);

    box.ShowCancelButton(true);
    ModalHook::Set([&](QDialog* d) {
        cancelShown = !d->findChild<QPushButton*>("m_btnCancel")->isHidden();
        d->findChild<QPushButton*>("m_btnOK")->click();
        return d->result();
    });
    EXPECT_EQ(box.exec(), QDialog::Accepted);
    EXPECT_TRUE(cancelShown);
    ModalHook::Clear();
}

class Recorder : public QObject {
public:
    void customEvent(QEvent* e) override
    {
        auto* v = static_cast<VantrelEvent*>(e);
        seen.push_back({int(e->type()), v->code, v->word1, v->word2});
    }
    struct Seen {
        int type;
        qint64 code, word1, word2;
    };
    std::vector<Seen> seen;
};

TEST(VantrelEvent, PostedEventsArriveInOrderWithTheirWords)
{
    Recorder receiver;
    EXPECT_TRUE(PostVantrelEvent(&receiver, WM_MANUAL_TEST, 32, -1));
    EXPECT_TRUE(PostVantrelEvent(&receiver, WM_WIFI_TEST_FINISH, 0, 1));
    const qint64 pointerWord = qint64(0x7fffffff12345678LL);
    EXPECT_TRUE(PostVantrelEvent(&receiver, WM_DEV_RESPONSE, pointerWord, 0));
    EXPECT_FALSE(PostVantrelEvent(nullptr, WM_RUN_STATE, 1, 0));
    QCoreApplication::sendPostedEvents(&receiver);
    ASSERT_EQ(receiver.seen.size(), 3u);
    EXPECT_EQ(receiver.seen[0].type, 1022);
    EXPECT_EQ(receiver.seen[0].code, 1022);
    EXPECT_EQ(receiver.seen[0].word1, 32);
    EXPECT_EQ(receiver.seen[0].word2, -1);
    EXPECT_EQ(receiver.seen[1].type, 1023);
    EXPECT_EQ(receiver.seen[2].word1, pointerWord);
    EXPECT_GT(int(WM_UPDATE_VIDEO), int(QEvent::User));
}

// A record that counts its own ends.
struct CountedRecord {
    explicit CountedRecord(int* freed) : freed(freed) {}
    ~CountedRecord() { ++*freed; }
    int* freed;
};
using CountedPtr = std::unique_ptr<CountedRecord>;

// Hands each event's record to the test, or leaves it with the event.
class RecordReader : public QObject {
public:
    void customEvent(QEvent* e) override
    {
        auto* v = static_cast<VantrelEvent*>(e);
        seen.push_back(v->Record<CountedPtr>());
        otherKind.push_back(v->Record<std::unique_ptr<int>>());
        if (take)
            taken.push_back(v->TakeRecord<CountedPtr>());
    }
    bool take = false;
    std::vector<CountedRecord*> seen;
    std::vector<int*> otherKind;
    std::vector<CountedPtr> taken;
};

TEST(VantrelEvent, ARecordGoesWithItsEventWhetherHandledTakenOrDiscarded)
{
    int freed = 0;
    RecordReader reader;
    ASSERT_TRUE(PostVantrelEvent(&reader, WM_PLAYER_STATUS, 0, 0, std::make_unique<CountedRecord>(&freed)));
    QCoreApplication::sendPostedEvents(&reader);
    ASSERT_EQ(reader.seen.size(), 1u);
    EXPECT_NE(reader.seen[0], nullptr);
    EXPECT_EQ(reader.otherKind[0], nullptr) << "asked for another kind: none";
    EXPECT_EQ(freed, 1) << "handled: freed with the event";

    reader.take = true;
    ASSERT_TRUE(PostVantrelEvent(&reader, WM_PLAYER_STATUS, 0, 0, std::make_unique<CountedRecord>(&freed)));
    QCoreApplication::sendPostedEvents(&reader);
    ASSERT_EQ(reader.taken.size(), 1u);
    EXPECT_NE(reader.taken[0], nullptr);
    EXPECT_EQ(freed, 1) << "taken: the taker owns it";
    reader.taken.clear();
    EXPECT_EQ(freed, 2);

    EXPECT_FALSE(PostVantrelEvent(nullptr, WM_DEV_STATUS, 0, 0, std::make_unique<CountedRecord>(&freed)));
    EXPECT_EQ(freed, 3) << "no receiver: freed at once";

    {
        RecordReader gone;
        ASSERT_TRUE(PostVantrelEvent(&gone, WM_DEV_RESPONSE, 0, 0, std::make_unique<CountedRecord>(&freed)));
        EXPECT_EQ(freed, 3);
    }
    EXPECT_EQ(freed, 4) << "receiver gone before delivery: Qt's discard frees it";

    VantrelEvent plain(WM_DEV_STATUS, 5, 6);
    EXPECT_EQ(plain.Record<CountedPtr>(), nullptr);
    EXPECT_EQ(plain.TakeRecord<CountedPtr>(), nullptr);
    EXPECT_EQ(plain.word1, 5);
}

}  // namespace
