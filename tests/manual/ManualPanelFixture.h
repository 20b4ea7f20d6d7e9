#pragma once

#include "ManualTestController.h"
#include "PresetCallParam.h"
#include "RightBottomWidget.h"
#include "TempAppDir.h"
#include "VantrelEvent.h"

#include <QCoreApplication>
#include <QObject>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// One WM_MANUAL_TEST as it reached the receiver.
struct PostedManualTest {
    int item;
    qint64 param;
    bool hasPreset;
    PresetCallParam preset;
};

// Stands in for the main window: records each posted 1022 and, like the main
// window, hands it to the panel's router when one is set.
class RecordingReceiver : public QObject {
public:
    std::vector<PostedManualTest> events;
    RightBottomWidget* router = nullptr;

protected:
    void customEvent(QEvent* event) override
    {
        auto* manual = dynamic_cast<VantrelEvent*>(event);
        if (!manual || manual->type() != static_cast<QEvent::Type>(WM_MANUAL_TEST))
            return;
        PostedManualTest rec{static_cast<int>(manual->word1), manual->word2, false, {}};
        // Peek at the record without taking it: the router takes it, or it goes with the event.
        if (const PresetCallParam* preset = manual->Record<std::unique_ptr<PresetCallParam>>()) {
            rec.hasPreset = true;
            rec.preset = *preset;
        }
        events.push_back(rec);
        if (router)
            router->RouteManualTest(event);
    }
};

// The controller as the panel sees it.
class FakeController : public ManualTestController {
public:
    struct Call {
        int item;
        qint64 param;
    };
    std::vector<Call> calls;
    std::vector<PresetCallParam> presets;

    void dealManualTest(int item, qint64 param) override { calls.push_back({item, param}); }
    void dealCallPreset(std::unique_ptr<PresetCallParam> param) override { presets.push_back(*param); }
    void SetManualAutomationList(const QStringList& list) override { steps.push_back(list); }
    void SetAutoBeginRun(bool on) override { autoBegin.push_back(on); }
    bool IsManualAutoTesting() const override { return running; }

    std::vector<QStringList> steps;   // every list handed over, in order
    std::vector<bool> autoBegin;
    bool running = false;
};

// A panel over a temporary application folder, posting to a recording receiver.
class ManualPanelTest : public ::testing::Test {
protected:
    explicit ManualPanelTest(int desktopWidth = 1920) : m_desktopWidth(desktopWidth) {}

    void SetUp() override
    {
        panel = std::make_unique<RightBottomWidget>(nullptr, &receiver, m_desktopWidth);
        Deliver();
    }

    // Runs the posted events, as the event loop would.
    void Deliver() { QCoreApplication::sendPostedEvents(&receiver, 0); }

    std::vector<PostedManualTest> TakeEvents()
    {
        Deliver();
        std::vector<PostedManualTest> out;
        out.swap(receiver.events);
        return out;
    }

    template <typename T = QWidget>
    T* Child(const char* name) const
    {
        T* child = panel->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    TempAppDir appDir;
    RecordingReceiver receiver;
    std::unique_ptr<RightBottomWidget> panel;

private:
    int m_desktopWidth;
};
