#pragma once

#include "ConfigInfo.h"
#include "ManualItemDesc.h"
#include "TestConfig.h"

#include <QStringList>
#include <QVector>
#include <QWidget>

#include <memory>

class ManualTestController;
class QComboBox;
class QLineEdit;
class QTimer;

namespace Ui {
class ManualTestAutomation;
}

// The editor of manual test scripts: named, timed sequences of manual items
// kept in the MANUAL_AUTO_TEST group of config.ini. A script text is the
// display name, "#", then its steps joined by ",", each step a manual item's
// key name, ":" and whole seconds ("Line A#Q:5,I:1"). The window's outputs are
// the settings group and the current script's steps handed to the controller.
class ManualTestAutomation : public QWidget {
    Q_OBJECT
public:
    static constexpr int ROW_COUNT = 33;
    static constexpr int MAX_STEP_SECONDS = 3600;
    static constexpr int CLOSE_DELAY_MS = 1000;

    explicit ManualTestAutomation(QWidget* parent = nullptr);
    ~ManualTestAutomation() override;

    // The controller that runs the scripts; not owned, null to detach.
    void SetController(ManualTestController* controller);

    // Re-reads the group into the window; 0, or -2 when no script key is stored.
    int LoadConfig();
    // Creates or replaces the order's script `name` from its channel lists and
    // makes it current. 0, or -1 when the settings file could not be written.
    int ApplyServerConfig(int autoBeginRun, QString name, const QVector<QVector<ConfigItem>>& channels);

    // The display name of a script text: before the first "#" of the part before
    // the first ","; empty when there is none.
    static QString DisplayNameOf(const QString& text);
    // The steps of a script text as the controller takes them (one empty step
    // for a script without steps).
    static QStringList StepListOf(const QString& text);
    // A key one above the largest numeric key in keys (at least "1"), never one of them.
    static QString NextScriptKey(const QStringList& keys);
    // An order's script name as config.ini gives it back: "," and "#" (which
    // would split the text) become "_", and what GB2312 cannot hold becomes what
    // the file returns for it.
    static QString StoredScriptName(const QString& name);

private slots:
    void slot_cmb_currentIndexChanged(int index);
    void slot_cbxConfigChoise_currentIndexChanged(int index);
    void slot_BtnAddConfig_Clicked();
    void slot_BtnDeleteConfig_Clicked();
    void slot_BtnSave_Clicked();
    void slot_AutoBeginRun_stateChanged(int state);
    void slot_CloseWidget();

private:
    struct Row {
        QComboBox* combo = nullptr;
        QLineEdit* seconds = nullptr;
    };

    void InitWidget();
    void FillRowCombos(const QVector<ManualItemDesc>& group);
    void ShowStepsOf(const QString& text);
    bool BuildScriptText(const QString& name, QString* text);
    void CreateOrUpdateConfig(const QString& name, const QString& key, const QVector<ManualItemDesc>& group,
                              const QVector<QVector<ConfigItem>>& channels, int* written);
    void HandOverCurrentScript();
    QStringList KeysInUse() const;
    QString CurrentKey() const;
    void ShowErrorBox(const QString& title, const QString& text);

    ManualAutoTestConfig m_config;
    QStringList m_keyList;
    Row m_rows[ROW_COUNT];
    ManualTestController* m_pController = nullptr;
    QTimer* m_closeTimer = nullptr;
    std::unique_ptr<Ui::ManualTestAutomation> ui;
};
