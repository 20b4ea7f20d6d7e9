#pragma once

#include "PrintTemplate.h"

#include <QString>

#include <memory>

class QSettings;

// The store of label templates. It always works on the file named by
// CurrentPrintConfigPath at the moment of each Load, Save or Reload. GUI thread only,
// apart from the creation in Instance.
class LabelPrintConfig {
public:
    enum LoadStatus {
        LoadOk = 0,
        LoadNoSettings,        // no settings object could be made
        LoadLegacyFieldCount,  // a legacy line with fewer than nine fields; reading stopped there
    };

    // The process-wide store, created and loaded on first use. That first load shows
    // no box; its outcome is in LastLoadStatus.
    static LabelPrintConfig* Instance();

    // Reads the current file into the caller's record; the store's own record is left
    // alone. False for LoadNoSettings and LoadLegacyFieldCount (LastLoadStatus tells
    // which); a missing file is read as empty and gives true.
    bool Load(PrintTemplate& tpl);
    // Writes the whole file from tpl and reads it back into the store's own record.
    // False when the file could not be written, or when a line holds a character
    // GB2312 cannot store (UnstorableLine); the file is then left as it was.
    bool Save(PrintTemplate tpl);
    // Reads the current file into the store's own record.
    void Reload();
    void OpenSettings();

    LoadStatus LastLoadStatus() const { return m_lastLoadStatus; }
    const PrintTemplate& Template() const { return m_template; }

    // The first label line holding a character a template file (GB2312) cannot
    // store, or -1.
    static int UnstorableLine(const PrintTemplate& tpl);
    // Shows the operator box for a failed load; nothing for LoadOk. Call it outside any lock.
    static void ShowLoadError(LoadStatus status);
    // The value written to VERINFO/buildTime: the program's build date and time.
    static QString BuildTime();
    // A float as the shortest text that reads back as the same float ("90", "2.5", "40.7").
    static QString FloatText(float value);

    // A store of its own (tests); the station uses Instance.
    LabelPrintConfig();
    ~LabelPrintConfig();
    LabelPrintConfig(const LabelPrintConfig&) = delete;
    LabelPrintConfig& operator=(const LabelPrintConfig&) = delete;

private:
    void SetDefaults();
    bool ReadLabels(int count, bool legacy, QStringList& labels);

    std::unique_ptr<QSettings> m_settings;
    PrintTemplate m_template;
    LoadStatus m_lastLoadStatus = LoadOk;
};
