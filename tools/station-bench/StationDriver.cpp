#include "StationDriver.h"

#include "OrderChooseDialog.h"
#include "PasswordScrambler.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QThread>

#include <unistd.h>

namespace {

// The run button's centre in the main window: the controller panel sits at
// (2, 72) and lays the button out at (0, 5, 120, 30).
const QPoint kBeginRunAt(2 + 60, 72 + 5 + 15);
// The close button is the title bar's last 25 x 25 pixels.
constexpr int kCloseButtonInset = 12;

bool CopyFile(const QString& from, const QString& to)
{
    QFile::remove(to);
    // A hard link spares copying a sanitizer build; across file systems, a copy.
    if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    return QFile::copy(from, to);
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray RunXdotool(const QStringList& args, bool* ok = nullptr)
{
    QProcess p;
    p.start("xdotool", args);
    const bool done = p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit;
    if (ok)
        *ok = done && p.exitCode() == 0;
    return p.readAllStandardOutput();
}

// Where the order dialog shows its first row and its "Next Step" button: the
// same form laid out here, with the fonts the station uses on this display.
struct OrderDialogPoints {
    QPoint row0;
    int rowHeight = 0;
    QPoint nextStep;
};

OrderDialogPoints MeasureOrderDialog()
{
    OrderChooseDialog dialog(nullptr);
    dialog.SetOrderList({{"WO-MEASURE-1", "VC-000", "0%"}, {"WO-MEASURE-2", "VC-000", "0%"}});
    dialog.setAttribute(Qt::WA_DontShowOnScreen);
    dialog.show();
    QCoreApplication::processEvents();
    OrderDialogPoints points;
    auto* table = dialog.findChild<QTableView*>("tableView");
    auto* next = dialog.findChild<QPushButton*>("btn_NextStep");
    if (!table || !next)
        return points;
    const QRect r0 = table->visualRect(table->model()->index(0, 0));
    points.row0 = table->viewport()->mapTo(&dialog, r0.center());
    points.rowHeight = r0.height();
    points.nextStep = next->mapTo(&dialog, next->rect().center());
    dialog.hide();
    return points;
}

// Where the retry box has its buttons, from its bottom-right corner: the same
// box laid out here. Its buttons sit at the bottom right whatever its text.
struct RetryBoxPoints {
    QPoint yesFromCorner;
    QPoint noFromCorner;
};

RetryBoxPoints MeasureRetryBox()
{
    QMessageBox box(QMessageBox::Information, "Hint",
                    "Test result: passed\nUpload result:failed, Unknown reason error\nData upload failed, do you want "
                    "to upload again?",
                    QMessageBox::Yes | QMessageBox::No, nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.button(QMessageBox::Yes)->setText("Yes");
    box.button(QMessageBox::No)->setText("No");
    box.setAttribute(Qt::WA_DontShowOnScreen);
    box.show();
    QCoreApplication::processEvents();
    const QPoint corner(box.width(), box.height());
    auto fromCorner = [&](QAbstractButton* button) {
        return corner - button->mapTo(&box, button->rect().center());
    };
    RetryBoxPoints points{fromCorner(box.button(QMessageBox::Yes)), fromCorner(box.button(QMessageBox::No))};
    box.hide();
    return points;
}

}  // namespace

bool StationDriver::LayOut(const Layout& layout, QString* error)
{
    const QDir dir(layout.appDir);
    if (!dir.mkpath(".") || !dir.mkpath("Skin")) {
        *error = "cannot create " + layout.appDir;
        return false;
    }
    const QFileInfo exe(layout.executable);
    const QDir built = exe.absoluteDir();
    if (!CopyFile(exe.absoluteFilePath(), dir.filePath("dravonix"))) {
        *error = "cannot place the program from " + layout.executable;
        return false;
    }
    for (const QString& image : QDir(built.filePath("Skin")).entryList(QDir::Files)) {
        if (!CopyFile(built.filePath("Skin/" + image), dir.filePath("Skin/" + image))) {
            *error = "cannot place Skin/" + image;
            return false;
        }
    }
    for (const QString& name : {QStringLiteral("dravonix_zh.qm"), QStringLiteral("TrumpetTest.mp3")}) {
        if (!CopyFile(built.filePath(name), dir.filePath(name))) {
            *error = "cannot place " + name + " from " + built.path();
            return false;
        }
    }

    QByteArray ini = "[LOGIN_CNF_INFO]\n";
    ini += "ServiceIp=" + layout.serviceHost.toUtf8() + "\n";
    ini += "LoginUserName=" + layout.user.toUtf8() + "\n";
    ini += "LoginPassword=" + ScramblePassword(layout.password) + "\n";
    ini += "bRemeberPassword=true\n";
    ini += QByteArray("bAutoLogin=") + (layout.autoLogin ? "true" : "false") + "\n\n";
    ini += "[CONFIG]\niLogSwitch=1\nStreamJudgeTime=" + QByteArray::number(layout.streamJudgeMs) + "\n\n";
    ini += layout.moreConfig;
    if (!WriteFile(dir.filePath("config.ini"), ini) || !WriteFile(dir.filePath("SimProfile.json"), layout.profile)) {
        *error = "cannot write the settings or the LAN profile";
        return false;
    }
    return true;
}

StationDriver::StationDriver(const QString& appDir) : m_appDir(appDir)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

StationDriver::~StationDriver()
{
    if (Running()) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}

bool StationDriver::Start(const QProcessEnvironment& env)
{
    QProcessEnvironment e = env;
    e.remove("STATION_SIM_PROFILE");   // the folder's own profile
    e.remove("QT_QPA_PLATFORM");       // a real window on the caller's display
    // The single-instance key's files live in the temporary folder: one of the
    // folder's own keeps a station running elsewhere on this machine out of the way.
    const QString tmp = QDir(m_appDir).filePath("tmp");
    QDir().mkpath(tmp);
    e.insert("TMPDIR", tmp);
    m_process.setProcessEnvironment(e);
    m_process.setWorkingDirectory(m_appDir);
    m_startedAt = QDateTime::currentDateTime();
    m_process.start(QDir(m_appDir).filePath("dravonix"), QStringList());
    return m_process.waitForStarted(10000);
}

QStringList StationDriver::Windows(const QString& titleRegex) const
{
    bool ok = false;
    const QByteArray out = RunXdotool({"search", "--onlyvisible", "--name", titleRegex}, &ok);
    if (!ok)
        return {};
    return QString::fromLatin1(out).split('\n', Qt::SkipEmptyParts);
}

bool StationDriver::WaitUntil(const std::function<bool()>& cond, int timeoutMs, int stepMs)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, stepMs);
        QThread::msleep(stepMs);
    }
    return true;
}

QString StationDriver::WaitWindow(const QString& titleRegex, int timeoutMs)
{
    QString found;
    WaitUntil([&] {
        const QStringList ids = Windows(titleRegex);
        if (!ids.isEmpty())
            found = ids.first();
        return !found.isEmpty() || !Running();
    }, timeoutMs, 5);
    return found;
}

bool StationDriver::WaitWindowGone(const QString& titleRegex, int timeoutMs)
{
    return WaitUntil([&] { return Windows(titleRegex).isEmpty(); }, timeoutMs, 5);
}

bool StationDriver::Click(const QString& window, QPoint at)
{
    bool ok = false;
    RunXdotool({"mousemove", "--window", window, QString::number(at.x()), QString::number(at.y()), "click", "1"},
               &ok);
    return ok;
}

bool StationDriver::PickOrder(int row, int timeoutMs)
{
    static const OrderDialogPoints points = MeasureOrderDialog();
    if (points.rowHeight <= 0)
        return false;
    QElapsedTimer t;
    t.start();
    // On a busy machine a click can reach the dialog before it takes input; the
    // row is then not selected and "Next Step" asks for one in a box. Such a
    // box is closed and the pick made again until the dialog goes.
    for (;;) {
        const int left = timeoutMs - int(t.elapsed());
        const QString dialog = left > 0 ? WaitWindow(kOrderTitle, left) : QString();
        if (dialog.isEmpty())
            return false;
        if (!Click(dialog, points.row0 + QPoint(0, row * points.rowHeight)))
            return false;
        m_nextStepClickedMs = QDateTime::currentMSecsSinceEpoch();
        if (!Click(dialog, points.nextStep))
            return false;
        QStringList boxes;
        WaitUntil([&] {
            boxes = Windows(kErrorTitle);
            return !boxes.isEmpty() || Windows(kOrderTitle).isEmpty();
        }, qMax(0, timeoutMs - int(t.elapsed())), 20);
        if (boxes.isEmpty())
            return Windows(kOrderTitle).isEmpty();
        for (const QString& box : boxes)
            RunXdotool({"key", "--window", box, "Return"});
        WaitUntil([&] { return Windows(kErrorTitle).isEmpty(); }, 10000, 20);
    }
}

bool StationDriver::BeginRun(const QString& mainWindow)
{
    return Click(mainWindow, kBeginRunAt);
}

bool StationDriver::CloseByButton(const QString& mainWindow)
{
    bool ok = false;
    const QByteArray shell = RunXdotool({"getwindowgeometry", "--shell", mainWindow}, &ok);
    const QRegularExpressionMatch width = QRegularExpression("WIDTH=(\\d+)").match(QString::fromLatin1(shell));
    if (!ok || !width.hasMatch())
        return false;
    return Click(mainWindow, QPoint(width.captured(1).toInt() - kCloseButtonInset, kCloseButtonInset));
}

bool StationDriver::AnswerRetryBox(bool uploadAgain, int timeoutMs)
{
    static const RetryBoxPoints points = MeasureRetryBox();
    QElapsedTimer t;
    t.start();
    // A click that comes before the box takes input is lost: click until it goes.
    for (;;) {
        const int left = timeoutMs - int(t.elapsed());
        const QString box = left > 0 ? WaitWindow(kHintTitle, left) : QString();
        if (box.isEmpty())
            return false;
        bool ok = false;
        const QByteArray shell = RunXdotool({"getwindowgeometry", "--shell", box}, &ok);
        const QString text = QString::fromLatin1(shell);
        const QRegularExpressionMatch width = QRegularExpression("WIDTH=(\\d+)").match(text);
        const QRegularExpressionMatch height = QRegularExpression("HEIGHT=(\\d+)").match(text);
        if (!ok || !width.hasMatch() || !height.hasMatch())
            return false;
        const QPoint corner(width.captured(1).toInt(), height.captured(1).toInt());
        if (!Click(box, corner - (uploadAgain ? points.yesFromCorner : points.noFromCorner)))
            return false;
        if (WaitUntil([&] { return !Windows(kHintTitle).contains(box); }, 2000, 20))
            return true;
    }
}

void StationDriver::Kill()
{
    if (!Running())
        return;
    m_process.kill();
    m_process.waitForFinished(30000);
}

bool StationDriver::PressKey(const QString& key)
{
    bool ok = false;
    RunXdotool({"key", key}, &ok);
    return ok;
}

bool StationDriver::WaitFinished(int timeoutMs)
{
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
}

QByteArray StationDriver::Output()
{
    m_output += m_process.readAll();
    return m_output;
}

QByteArray StationDriver::Log() const
{
    QDir logs(QDir(m_appDir).filePath("Log_Dir"));
    QByteArray all;
    for (const QString& name : logs.entryList({"*.log"}, QDir::Files, QDir::Name)) {
        QFile f(logs.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            all += f.readAll();
    }
    return all;
}

long StationDriver::ResidentKiB() const
{
    if (!Running())
        return -1;
    QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

double StationDriver::CpuSeconds() const
{
    if (!Running())
        return -1;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(m_process.processId()));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The command name may hold blanks: the fields are counted after its ')'.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    constexpr int kUtime = 11;   // field 14 of proc(5), counted from field 3
    constexpr int kStime = 12;
    if (fields.size() <= kStime)
        return -1;
    const double ticks = double(fields[kUtime].toLongLong() + fields[kStime].toLongLong());
    return ticks / double(sysconf(_SC_CLK_TCK));
}

QDateTime StationLogTime(const QByteArray& line, const QDateTime& reference)
{
    static const QRegularExpression stamp("^ \\[\\w+\\]\\[(\\d\\d)/(\\d\\d) (\\d\\d):(\\d\\d):(\\d\\d)\\.(\\d\\d\\d)\\]");
    const QRegularExpressionMatch m = stamp.match(QString::fromLatin1(line));
    if (!m.hasMatch())
        return QDateTime();
    const QDate day(reference.date().year(), m.captured(2).toInt(), m.captured(1).toInt());
    const QTime time(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    return QDateTime(day, time);
}
