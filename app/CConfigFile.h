#pragma once

#include "ConfigInfo.h"

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class QTextCodec;

// Owner of config.ini (GB2312) and of the ConfigInfo record that mirrors it.
// All callers are on the GUI thread. Each operation reads the file as it stands;
// a write changes only the lines of the keys it writes (and adds those the file
// lacks), so what an operator edited by hand, a key twice or a value the station
// does not know stays as it was. Operations return 0 on success and -1 when a
// write did not reach the disk, or the file is there but can't be read (each
// write reports its own outcome, not an earlier one). A write whose texts hold a
// character GB2312 can't store is refused whole: -1, a log line, nothing changed.
class CConfigFile {
public:
    // The process-wide store over AppDirPath() + "/config.ini", created on first use.
    static CConfigFile* GetInstance();

    // A store over the given file; tests build their own to read a file afresh.
    explicit CConfigFile(const QString& iniPath);
    ~CConfigFile();
    CConfigFile(const CConfigFile&) = delete;
    CConfigFile& operator=(const CConfigFile&) = delete;

    bool IsOpen() const;
    QString FilePath() const;

    void GetConfigInfo(ConfigInfo& info) const;
    int SaveAll(ConfigInfo info);
    int LoadAll(ConfigInfo& info);

    int ReadLoginInfo(LoginInfo& info);
    int WriteLoginInfo(LoginInfo info);
    int ReadConfig(SystemConfig& config);
    int WriteConfig(SystemConfig config);

    // 0 when AllKeyName names at least one script, -2 when it is empty.
    int ReadManualAutoTest(ManualAutoTestConfig& config);
    // Writes the four header keys and the entry of CurChoiseKey only.
    // -1 for a CurChoiseKey that is blank or holds "/", "\\" or ",".
    int WriteManualAutoTest(ManualAutoTestConfig config);
    // Removes the entry of key, then writes config as WriteManualAutoTest does.
    int RemoveManualAutoTestConfig(QString key, ManualAutoTestConfig config);

    int ReadManualTestItemDisplay(ManualItemDisplayFlags& flags);
    int WriteManualTestItemDisplay(const ManualItemDisplayFlags& flags);
    int ReadFunctionCode(int codes[FUNCODE_COUNT]);
    int WriteFunctionCode(const int codes[FUNCODE_COUNT]);
    // The configuration-version prompt's answer: TIPS/bVesionInfo and, with a
    // version, UIVersion/szVersion. No other key is written.
    int WriteVersionPromptAnswer(bool remind, const QString* version);

    // True for a script key that may name a settings entry.
    static bool IsValidScriptKey(const QString& key);

private:
    // Reads the file as it stands into m_ini (empty when it can't be read);
    // its values are read again only when its bytes changed.
    void Refresh();
    // Holds ini as the file's bytes, with every value they give.
    void Hold(const QByteArray& ini);
    // The groups from the values held (each public Read* refreshes first).
    void FillLoginInfo(LoginInfo& info) const;
    void FillConfig(SystemConfig& c) const;
    int FillManualAutoTest(ManualAutoTestConfig& config) const;
    void FillManualTestItemDisplay(ManualItemDisplayFlags& flags) const;
    void FillFunctionCode(int codes[FUNCODE_COUNT]) const;
    // Logs the lines of m_ini whose quote is read as a character, once for
    // each content of the file and only once the log is open.
    void LogOpenQuotes();
    // The file's bytes: empty for no file, false (logged) when it can't be read.
    bool ReadFile(QByteArray* ini) const;
    QString ReadText(const QString& key) const;
    int ReadInt(const QString& key) const;
    bool ReadBool(const QString& key) const;
    // The keys and values of one write.
    using SettingWrites = QVector<QPair<QString, QVariant>>;
    static void AddLogin(const LoginInfo& info, SettingWrites& w);
    static void AddConfig(const SystemConfig& config, SettingWrites& w);
    static void AddFunctionCodes(const int codes[FUNCODE_COUNT], SettingWrites& w);
    static void AddDisplayFlags(const ManualItemDisplayFlags& flags, SettingWrites& w);
    static void AddManualGroup(const ManualAutoTestConfig& config, SettingWrites& w);
    // False when a text holds a character GB2312 can't store (logged by key).
    bool Fits(const SettingWrites& writes) const;
    // Drops the removed keys and writes the values into the file as it stands.
    int Commit(const SettingWrites& writes, const QStringList& removed = QStringList());

    ConfigInfo m_info;
    QString m_iniPath;
    QTextCodec* m_codec;
    QByteArray m_ini;                  // the file as the last operation read or wrote it
    QHash<QString, QString> m_values;  // every key of m_ini with the value LineValue reads
    bool m_openQuotesLogged = false;
};
