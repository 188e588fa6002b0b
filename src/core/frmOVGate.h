// The main window: it is the program. Loading it starts the robot (settings, single-instance
// rule, start-up line, first-run question, scheduler); unloading it ends the process.
#pragma once

#include "config/RunningConfig.h"
#include "script/ScriptControl.h"
#include "script/Variant.h"

#include <QDateTime>
#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <memory>

class QDialog;
class QLabel;
class QListWidget;
class QSystemTrayIcon;
class QMenu;
class clsInetGateway;
class clsWWWTalk;
class InHandView;

namespace platform {
class InstanceLock;
}

class frmOVGate : public QMainWindow {
    Q_OBJECT
public:
    struct StartOptions {
        QString home;            // instance folder, absolute, ending in "/"
        QStringList arguments;   // the command line as given (for "REFRESH")
        bool headless = false;   // no window, no tray, no dialogs
    };

    // Where a close request comes from; only the window's own close command is questioned.
    enum class UnloadMode { FormControlMenu, FromCode, SessionEnd, TaskManager };

    explicit frmOVGate(StartOptions options, QWidget* parent = nullptr);
    ~frmOVGate() override;

    // The start-up sequence; run again whole by Reset.
    void Form_Load();
    // True when the close request from origin is to be cancelled.
    bool Form_QueryUnload(UnloadMode origin);
    // The end sequence: tray icon away, gateway released, socket holder unloaded, process ends.
    void Form_Unload();
    // A close request from origin: questioned where the close rule says so, then unloaded.
    void RequestUnload(UnloadMode origin, const QString& reason);

    // A request of the operating system to end (SIGTERM, SIGINT). A cycle in progress finishes
    // the message in hand and tells its server QUIT first, for at most kStopGraceSeconds; a
    // second request, or an idle robot, ends at once. --once and --web-once then exit with
    // kExitInterrupted.
    void TerminationRequested(int signalNumber);
    static constexpr int kStopGraceSeconds = 5;
    static constexpr int kExitInterrupted = 5;

    void ShutdownSequence();
    void RestartSequence();

    // Reads the settings file into the running configuration and the gateway.
    void INISettings();

    // One log event: top of the monitor list and the logbook. A line that does not report a
    // cycle's outcome (the browser's set-up) leaves the --once exit code alone.
    void PublishLog(const QString& text, bool cycleOutcome = true);
    // Direct logbook line (the start-up line goes only there).
    void WriteLogbook(const QString& text);

    // The scheduler tick: starts due e-mail cycles and repairs a stuck gateway.
    void Timer1_Timer();
    void mnuEmailImmediate_Click();
    // --once: one e-mail cycle as the Immediate command starts it, then the end sequence.
    void RunOnce();
    // --web-once: one web cycle (the interval script), then the end sequence.
    void RunWebOnce();
    void PrepareEmailScript();
    void RecoverGateway(const QString& text);

    // Menu commands.
    void mnuEmailSMTP_Click();
    void mnuEmailPOP_Click();
    void mnuEmailEncode_Click();
    void mnuEmailDecode_Click();
    void mnuEmailPassword_Click();
    void mnuWWWImmediate_Click();
    void mnuPause_Click();
    void mnuReset_Click();
    void mnuHelpAbout_Click();
    // Shows the installed documentation (the README, rendered) in a window of its own.
    void mnuHelpDocu_Click();
    QString AboutText() const;
    // The documentation file Help > Docu shows: the installed one, else the checkout's.
    static QString DocumentationFile();
    void RunWWWInterval();

    void mPopRestore_Click();
    void mPopLogBook_Click();
    void mPopExit_Click();
    void mnuConfig_Click();

    QString POPPassword() const;
    void setPOPPassword(const QString& password);

    // True once the end sequence has run; the process is then ending.
    bool ended() const { return ended_; }
    int exitCode() const { return interrupted_ ? kExitInterrupted : exitCode_; }
    static QString VersionText();
    QString programFolder() const { return options_.home; }

    // The receive script: loaded at every due e-mail tick, run for every filed message.
    void InetMail_ScriptPOP();
    // A receive script's request for a web cycle now; b tells whether it ran.
    void InetMail_XWWWInterval(bool& b);
    // Runs a named script in the never-reset named-script engine; "OK" or the error text.
    QString XRun(const QString& XScriptFile);
    // "<prefix><number>, Line=<line>, '<description>'" of an engine's last error.
    static QString ScriptErrorLine(const QString& prefix, const script::ScriptErrorInfo& error);
    // A script file of the instance folder as code (each line + CR LF); false if unreadable.
    bool ReadScriptFile(const QString& name, QString& code) const;

    // Owned objects.
    std::unique_ptr<clsInetGateway> InetMail;
    std::unique_ptr<clsWWWTalk> InetWWW;             // made once; its browser only on first use
    script::Ref<script::Dispatch> FileSystem;        // "FS" in every script
    script::Ref<script::Dispatch> CommonDictionary;  // "XCommon", shared by all scripts
    script::ScriptControl ScriptEmail;
    script::ScriptControl ScriptWWW;
    script::ScriptControl ScriptXRUN;
    bool EmailScriptReady = false;
    bool Paused = false;
    bool WWWBusy = false;
    QDateTime NextEmailDue;
    QDateTime NextWWWDue;
    QString LastState;

    QTimer Timer1;
    QListWidget* lstMon = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblProgress = nullptr;

signals:
    void unloaded(int exitCode);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool actionsAllowCycle() const;
    bool robotIdle() const;
    // "GATEWAY cannot respond now: ..." for commands that need an idle gateway.
    void busyMessage();
    // Runs f with the scheduler switched off, and switches it back on unless the robot ended.
    template <class F> void withTimer1Off(F&& f)
    {
        const bool wasActive = Timer1.isActive();
        Timer1.stop();
        f();
        if (wasActive && !ended_)
            Timer1.start();
    }
    // A web cycle started by hand or by a receive script: WWWBusy set, scheduler off.
    void runWebCycleNow();
    void createMenus();
    // Sets Actions, starts a cycle, and puts "NORMAL" back.
    void partialCycle(const QString& actions, bool prepareScript);
    void InetMail_LogMessage();
    void InetWWW_LogMessage();
    void createWebObject();
    void releaseWebObject();
    void createGateway();
    void releaseGateway();
    void addTrayIcon();
    void removeTrayIcon();
    bool firstRunCheckNeeded() const;
    // Ends a start that cannot go on: text to standard error, the logbook and a message box.
    void refuseStart(const QString& text);
    void logShutdown(const QString& reason);

    StartOptions options_;
    std::unique_ptr<platform::InstanceLock> lock_;
    QTimer lockRetry_;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QDialog* docu_ = nullptr;
    QAction* mnuPause_ = nullptr;
    bool startupLogged_ = false;
    QStringList pendingLog_;   // messages raised before the start-up line is in the logbook
    bool flushingPending_ = false;
    bool onceMode_ = false;
    std::unique_ptr<InHandView> inHandView_;
    bool ended_ = false;
    int exitCode_ = 0;
    bool interrupted_ = false;     // --once or --web-once ended by a termination request
    bool stopping_ = false;        // a termination request waits for the cycle to end
    int terminationsSeen_ = 0;     // termination requests already acted on
};
