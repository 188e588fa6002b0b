// The menu bar of the main window and the commands behind it.
#include "config/RunningConfig.h"
#include "config/ui/frmPasswordChange.h"
#include "core/frmOVGate.h"
#include "gateway/clsInetGateway.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/VbDate.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenuBar>
#include <QTextBrowser>
#include <QTreeView>
#include <QVBoxLayout>

using platform::MsgBox;
using platform::MsgButtons;
using platform::MsgIcon;

void frmOVGate::createMenus()
{
    QMenu* email = menuBar()->addMenu(QStringLiteral("&Email"));
    email->addAction(QStringLiteral("&Immediate"), QKeySequence(Qt::Key_F3), this, &frmOVGate::mnuEmailImmediate_Click);
    email->addAction(QStringLiteral("&SMTP Only"), this, &frmOVGate::mnuEmailSMTP_Click);
    email->addAction(QStringLiteral("&POP Only"), this, &frmOVGate::mnuEmailPOP_Click);
    email->addSeparator();
    email->addAction(QStringLiteral("P&OP Password"), this, &frmOVGate::mnuEmailPassword_Click);
    email->addSeparator();
    email->addAction(QStringLiteral("&Encode Test"), this, &frmOVGate::mnuEmailEncode_Click);
    email->addAction(QStringLiteral("&Decode Test"), this, &frmOVGate::mnuEmailDecode_Click);
    QMenu* www = menuBar()->addMenu(QStringLiteral("&WWW"));
    www->addAction(QStringLiteral("&Immediate"), QKeySequence(Qt::Key_F7), this, &frmOVGate::mnuWWWImmediate_Click);
    mnuPause_ = menuBar()->addAction(QStringLiteral("&Pause"), this, &frmOVGate::mnuPause_Click);
    menuBar()->addAction(QStringLiteral("&Reset"), this, &frmOVGate::mnuReset_Click);
    menuBar()->addAction(QStringLiteral("&Config"), this, &frmOVGate::mnuConfig_Click);
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&Docu"), this, &frmOVGate::mnuHelpDocu_Click);
    help->addAction(QStringLiteral("&About"), this, &frmOVGate::mnuHelpAbout_Click);
}

bool frmOVGate::robotIdle() const
{
    return InetMail && InetMail->State() == gateway::kStandby && !WWWBusy;
}

void frmOVGate::partialCycle(const QString& actions, bool prepareScript)
{
    if (!InetMail)
        return;
    InetMail->Actions = actions;
    if (prepareScript)
        PrepareEmailScript();
    InetMail->ProcessStart();
    if (InetMail)
        InetMail->Actions = QStringLiteral("NORMAL");
}

void frmOVGate::mnuEmailSMTP_Click() { partialCycle(QStringLiteral("SMTP"), false); }

void frmOVGate::mnuEmailPOP_Click() { partialCycle(QStringLiteral("POP"), true); }

void frmOVGate::mnuEmailEncode_Click() { partialCycle(QStringLiteral("ENCODE"), false); }

void frmOVGate::mnuEmailDecode_Click()
{
    if (!InetMail || InetMail->State() != gateway::kStandby) {
        busyMessage();
        return;
    }
    // Wide enough that the file names and dates are not cut off.
    QFileDialog dialog(this, QStringLiteral("Decode Test: choose a received message file"), config::Running().PathMsgIn);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.resize(860, 520);
    if (auto* view = dialog.findChild<QTreeView*>())
        view->header()->resizeSection(0, 420);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString file = dialog.selectedFiles().constFirst();
    PublishLog(QStringLiteral("INFO: Decode Test of ") + file);
    if (InetMail)
        InetMail->LocalPOPDeCode(file);
    PublishLog(QStringLiteral("INFO: Decode Test done; attachments go to ") + config::Running().PathAttachIn);
}

void frmOVGate::mnuEmailPassword_Click()
{
    if (!robotIdle()) {
        MsgBox(QStringLiteral("Tarnwick is busy processing, please try again later."));
        return;
    }
    withTimer1Off([this] { config::ChangePOPPassword(this, InetMail->Password); });
}

void frmOVGate::mnuWWWImmediate_Click()
{
    if (WWWBusy) {
        MsgBox(QStringLiteral("Internet Robot is already working at this moment."));
        return;
    }
    runWebCycleNow();
}


void frmOVGate::mnuPause_Click()
{
    Paused = !Paused;
    if (mnuPause_)
        mnuPause_->setText(Paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
}

void frmOVGate::mnuReset_Click()
{
    if (InetMail)
        InetMail->SocketDisconnect();
    releaseGateway();
    Form_Load();
}

QString frmOVGate::AboutText() const
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("Tarnwick ver ") + VersionText() + crlf + QStringLiteral("Installed in folder '")
           + programFolder() + QStringLiteral("'") + crlf + crlf
           + QStringLiteral("\u00a9 2026 The Tarnwick team: tarnwick@example.org") + crlf
           + QStringLiteral("Help and documentation: Help > Docu shows '") + DocumentationFile()
           + QStringLiteral("'; 'man tarnwick' in a terminal.") + crlf + crlf
           + QStringLiteral("Programmers' Comments (if any):") + crlf
           + QStringLiteral("2026-12: first Linux release.");
}

void frmOVGate::mnuHelpAbout_Click() { MsgBox(AboutText(), MsgButtons::OK, MsgIcon::Information); }

QString frmOVGate::DocumentationFile()
{
    // Installed: <prefix>/bin/tarnwick beside <prefix>/share/doc/tarnwick, wherever the prefix
    // is. Run from its build folder the program shows the checkout's own file.
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath()
                                              + QStringLiteral("/../share/doc/tarnwick/README.md"));
    if (QFileInfo::exists(installed))
        return installed;
    const QString source = QStringLiteral(TW_SOURCE_README);
    return QFileInfo::exists(source) ? source : installed;
}

void frmOVGate::mnuHelpDocu_Click()
{
    const QString file = DocumentationFile();
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        MsgBox(QStringLiteral("The documentation file '") + file
                   + QStringLiteral("' is not installed; 'man tarnwick' in a terminal shows the manual."),
               MsgButtons::OK, MsgIcon::Information);
        return;
    }
    if (!docu_) {
        docu_ = new QDialog(this, Qt::Window);
        docu_->setWindowTitle(QStringLiteral("Tarnwick documentation"));
        auto* browser = new QTextBrowser(docu_);
        browser->setObjectName(QStringLiteral("txtDocu"));
        browser->setOpenExternalLinks(true);
        auto* layout = new QVBoxLayout(docu_);
        layout->addWidget(browser);
        docu_->resize(780, 640);
    }
    auto* browser = docu_->findChild<QTextBrowser*>();
    browser->setMarkdown(QString::fromUtf8(f.readAll()));
    docu_->show();
    docu_->raise();
    docu_->activateWindow();
}
