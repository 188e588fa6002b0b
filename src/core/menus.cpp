// The menu bar of the main window and the commands behind it.
#include "config/RunningConfig.h"
#include "config/ui/frmPasswordChange.h"
#include "core/frmOVGate.h"
#include "gateway/clsInetGateway.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/VbDate.h"

#include <QAction>
#include <QFileDialog>
#include <QMenuBar>

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
    help->addAction(QStringLiteral("&Docu"));
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
    const QString file = QFileDialog::getOpenFileName(this, QString(), config::Running().PathMsgIn);
    if (!file.isEmpty() && InetMail)
        InetMail->LocalPOPDeCode(file);
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
           + QStringLiteral("Help and documentation supplied as file 'Tarnwick.htm'.") + crlf + crlf
           + QStringLiteral("Programmers' Comments (if any):") + crlf
           + QStringLiteral("2026-12: first Linux release.");
}

void frmOVGate::mnuHelpAbout_Click() { MsgBox(AboutText(), MsgButtons::OK, MsgIcon::Information); }
