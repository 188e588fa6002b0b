// Settings dialog: shows the settings file (and some running values), writes every key on OK.
#include "config/ui/frmSettings.h"

#include "config/INISettings.h"
#include "config/RunningConfig.h"
#include "config/SettingsKeys.h"
#include "config/basINIWorks.h"
#include "config/ui/frmConfig.h"
#include "config/ui/frmPasswordChange.h"
#include "platform/Autostart.h"
#include "platform/Messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace config {

namespace k = config::keys;
using basINIWorks::INIRead;
using basINIWorks::INIWrite;

namespace {

// The dialog has always written this key with a small "n"; the reader matches either.
const QString kUsernameAsWritten = QStringLiteral("Username");

QString boolText(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }

// MonitorPause is the one value made a whole number before it is stored.
QString wholeNumberText(const QString& typed)
{
    const double v = std::floor(NumberValue(typed));
    if (std::isnan(v))
        return QStringLiteral("0");
    const double lo = std::numeric_limits<qint32>::min();
    const double hi = std::numeric_limits<qint32>::max();
    return QString::number(static_cast<qint64>(v < lo ? lo : v > hi ? hi : v));
}

// Keeps the busy pointer up for one scope, however it is left.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

QLineEdit* lineEdit(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

// An edit box followed by a unit label, as one form field.
QWidget* withUnit(QWidget* parent, QLineEdit* edit, const QString& unit)
{
    auto* box = new QWidget(parent);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(edit);
    row->addWidget(new QLabel(unit, box));
    row->addStretch(1);
    return box;
}

QLabel* note(QWidget* parent, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setWordWrap(true);
    l->setIndent(20);
    return l;
}

} // namespace

frmSettings::frmSettings(QString& popPassword, QString& smtpPassword, std::function<void()> applySettings,
                         QWidget* owner)
    : QDialog(owner), popPassword_(popPassword), smtpPassword_(smtpPassword), applySettings_(std::move(applySettings))
{
    setWindowTitle(QStringLiteral("Settings"));
    setModal(true);
    const QString seconds = QStringLiteral("seconds");

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));

    // Global
    auto* global = new QWidget(SSTab1);
    {
        auto* v = new QVBoxLayout(global);
        auto flag = [&](const char* name, const QString& caption, const QString& text) {
            auto* c = new QCheckBox(caption, global);
            c->setObjectName(QString::fromLatin1(name));
            v->addWidget(c);
            v->addWidget(note(global, text));
            v->addSpacing(8);
            return c;
        };
        chkUnattended = flag("chkUnattended", QStringLiteral("Unattended"),
                             QStringLiteral("Tick to prevent warning messages on change or shutdown."));
        chkMultiInstance = flag("chkMultiInstance", QStringLiteral("MultiInstance"),
                                QStringLiteral("Tick to allow more than one Tarnwick to start."));
        chkLogExtra = flag("chkLogExtra", QStringLiteral("LogExtra"),
                           QStringLiteral("Tick to log extra details. eg we may ask you to do this if you have "
                                          "a support question."));
        chkDesktopStart = flag("chkDesktopStart", QStringLiteral("Start with the desktop"),
                               QStringLiteral("Tick to start this robot, on this instance folder, whenever you log in "
                                              "to the desktop."));
        v->addStretch(1);
    }
    SSTab1->addTab(global, QStringLiteral("Global"));

    // Email
    auto* email = new QWidget(SSTab1);
    {
        txtEmailInterval = lineEdit(email, "txtEmailInterval");
        txtScriptOnReceive = lineEdit(email, "txtScriptOnReceive");
        txtTimeout = lineEdit(email, "txtTimeout");
        txtMessageMax = lineEdit(email, "txtMessageMax");
        auto* top = new QFormLayout;
        top->addRow(QStringLiteral("CheckInterval:"), withUnit(email, txtEmailInterval, seconds));
        top->addRow(QStringLiteral("Script on receive:"), txtScriptOnReceive);
        top->addRow(QStringLiteral("Timeout :"), withUnit(email, txtTimeout, seconds));
        top->addRow(QStringLiteral("Msg max size:"), txtMessageMax);

        auto* smtp = new QGroupBox(QStringLiteral("SMTP (Send Email)"), email);
        txtSMTPServer = lineEdit(smtp, "txtSMTPServer");
        txtSMTPDomain = lineEdit(smtp, "txtSMTPDomain");
        txtSMTPPort = lineEdit(smtp, "txtSMTPPort");
        auto* smtpForm = new QFormLayout(smtp);
        smtpForm->addRow(QStringLiteral("Server:"), txtSMTPServer);
        smtpForm->addRow(QStringLiteral("Domain:"), txtSMTPDomain);
        smtpForm->addRow(QStringLiteral("TCPPort:"), txtSMTPPort);

        auto* pop = new QGroupBox(QStringLiteral("POP (Receive Email)"), email);
        txtPOPServer = lineEdit(pop, "txtPOPServer");
        txtPOPUserName = lineEdit(pop, "txtPOPUserName");
        cmdPOPPassword = new QPushButton(QStringLiteral("Password"), pop);
        cmdPOPPassword->setObjectName(QStringLiteral("cmdPOPPassword"));
        cmdPOPPassword->setAutoDefault(false);
        txtReturnAddress = lineEdit(pop, "txtReturnAddress");
        chkDeleteOffServer = new QCheckBox(pop);
        chkDeleteOffServer->setObjectName(QStringLiteral("chkDeleteOffServer"));
        txtPOPPort = lineEdit(pop, "txtPOPPort");
        auto* userRow = new QWidget(pop);
        {
            auto* h = new QHBoxLayout(userRow);
            h->setContentsMargins(0, 0, 0, 0);
            h->addWidget(txtPOPUserName, 1);
            h->addWidget(cmdPOPPassword);
        }
        auto* popForm = new QFormLayout(pop);
        popForm->addRow(QStringLiteral("Server:"), txtPOPServer);
        popForm->addRow(QStringLiteral("UserName:"), userRow);
        popForm->addRow(QStringLiteral("Return Address:"), txtReturnAddress);
        popForm->addRow(QStringLiteral("Delete Off Server:"), chkDeleteOffServer);
        popForm->addRow(QStringLiteral("TCPPort:"), txtPOPPort);

        auto* v = new QVBoxLayout(email);
        v->addLayout(top);
        v->addWidget(smtp);
        v->addWidget(pop);
        v->addStretch(1);
    }
    SSTab1->addTab(email, QStringLiteral("Email"));

    // Email Adv
    auto* adv = new QWidget(SSTab1);
    {
        auto* v = new QVBoxLayout(adv);
        v->addWidget(new QLabel(QStringLiteral("Paths: blank means default."), adv));
        auto* form = new QFormLayout;
        auto path = [&](const char* name, const QString& label) {
            QLineEdit* e = lineEdit(adv, name);
            form->addRow(label, e);
            return e;
        };
        txtPathHome = path("txtPathHome", QStringLiteral("PathHome:"));
        txtPathMsgIn = path("txtPathMsgIn", QStringLiteral("PathMsgIn:"));
        txtPathMsgOut = path("txtPathMsgOut", QStringLiteral("PathMsgOut:"));
        txtPathAttachIn = path("txtPathAttachIn", QStringLiteral("PathAttachIn:"));
        txtPathAttachOut = path("txtPathAttachOut", QStringLiteral("PathAttachOut:"));
        txtExtMap = path("txtExtMap", QStringLiteral("PathExtMap:"));
        txtExtMapArchive = path("txtExtMapArchive", QStringLiteral("PathExtMapArchive:"));
        txtExtMapReject = path("txtExtMapReject", QStringLiteral("PathExtMapReject:"));
        v->addLayout(form);
        chkFollowLinks = new QCheckBox(QStringLiteral("Send files that symbolic links in PathExtMap point to"), adv);
        chkFollowLinks->setObjectName(QStringLiteral("chkFollowLinks"));
        v->addWidget(chkFollowLinks);
        chkSkipSeen = new QCheckBox(QStringLiteral("Leave messages already filed on the server alone (without DeleteOffServer)"), adv);
        chkSkipSeen->setObjectName(QStringLiteral("chkSkipSeen"));
        v->addWidget(chkSkipSeen);
        cmdExtMap = new QPushButton(QStringLiteral("&ExtMappings"), adv);
        cmdExtMap->setObjectName(QStringLiteral("cmdExtMap"));
        cmdExtMap->setAutoDefault(false);
        auto* row = new QHBoxLayout;
        row->addWidget(cmdExtMap);
        row->addStretch(1);
        v->addLayout(row);

        auto* secure = new QGroupBox(QStringLiteral("Secure connections"), adv);
        auto security = [&](const char* name) {
            auto* c = new QComboBox(secure);
            c->setObjectName(QString::fromLatin1(name));
            for (const Security s : {Security::None, Security::StartTLS, Security::TLS})
                c->addItem(SecurityText(s));
            return c;
        };
        cboSMTPSecurity = security("cboSMTPSecurity");
        cboPOPSecurity = security("cboPOPSecurity");
        txtSMTPUserName = lineEdit(secure, "txtSMTPUserName");
        cmdSMTPPassword = new QPushButton(QStringLiteral("Password"), secure);
        cmdSMTPPassword->setObjectName(QStringLiteral("cmdSMTPPassword"));
        cmdSMTPPassword->setAutoDefault(false);
        txtCAFile = lineEdit(secure, "txtCAFile");
        cmdCAFile = new QPushButton(QStringLiteral("..."), secure);
        cmdCAFile->setObjectName(QStringLiteral("cmdCAFile"));
        cmdCAFile->setAutoDefault(false);
        auto pair = [secure](QWidget* left, QWidget* right) {
            auto* box = new QWidget(secure);
            auto* h = new QHBoxLayout(box);
            h->setContentsMargins(0, 0, 0, 0);
            h->addWidget(left, 1);
            h->addWidget(right);
            return box;
        };
        auto* secureForm = new QFormLayout(secure);
        secureForm->addRow(QStringLiteral("SMTP security:"), cboSMTPSecurity);
        secureForm->addRow(QStringLiteral("SMTP UserName:"), pair(txtSMTPUserName, cmdSMTPPassword));
        secureForm->addRow(QStringLiteral("POP security:"), cboPOPSecurity);
        secureForm->addRow(QStringLiteral("CA file:"), pair(txtCAFile, cmdCAFile));
        secureForm->addRow(note(secure, QStringLiteral("StartTLS: plain connect, then secured; TLS: secured from the "
                                                       "first byte (usual ports 465 and 995). SMTP UserName blank "
                                                       "means no login. CA file: extra trusted certificates (PEM).")));
        v->addWidget(secure);
        v->addStretch(1);
    }
    SSTab1->addTab(adv, QStringLiteral("Email Adv"));

    // WWW
    auto* www = new QWidget(SSTab1);
    {
        txtWWWInterval = lineEdit(www, "txtWWWInterval");
        txtScriptOnInterval = lineEdit(www, "txtScriptOnInterval");
        txtMonitorPause = lineEdit(www, "txtMonitorPause");
        auto* form = new QFormLayout;
        form->addRow(QStringLiteral("CheckInterval:"), withUnit(www, txtWWWInterval, seconds));
        form->addRow(QStringLiteral("Script:"), txtScriptOnInterval);
        form->addRow(QStringLiteral("MonitorPause:"), withUnit(www, txtMonitorPause, seconds));
        auto* v = new QVBoxLayout(www);
        v->addLayout(form);
        v->addStretch(1);
    }
    SSTab1->addTab(www, QStringLiteral("WWW"));

    auto* buttons = new QDialogButtonBox(this);
    cmdOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cmdCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmSettings::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdPOPPassword, &QPushButton::clicked, this, &frmSettings::cmdPOPPassword_Click);
    connect(cmdExtMap, &QPushButton::clicked, this, &frmSettings::cmdExtMap_Click);
    connect(cmdSMTPPassword, &QPushButton::clicked, this, &frmSettings::cmdSMTPPassword_Click);
    connect(cmdCAFile, &QPushButton::clicked, this, &frmSettings::cmdCAFile_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1);
    layout->addWidget(buttons);

    load();
}

void frmSettings::load()
{
    const basINIWorks::ReadOnce readOnce;
    const RunningConfig& rc = Running();
    chkUnattended->setChecked(rc.Unattended);
    chkMultiInstance->setChecked(rc.MultiInstance);
    chkLogExtra->setChecked(rc.LogExtra);
    desktopStartLoaded_ = platform::AutostartEnabled(instanceFolder());
    chkDesktopStart->setChecked(desktopStartLoaded_);

    txtEmailInterval->setText(QString::number(rc.EmailInterval));
    txtScriptOnReceive->setText(rc.ScriptOnReceive);
    txtTimeout->setText(INIRead(k::kEmail, k::kTimeout, QStringLiteral("50")));
    txtMessageMax->setText(INIRead(k::kEmail, k::kMessageMax, QStringLiteral("2000000")));
    txtSMTPServer->setText(INIRead(k::kEmail, k::kSMTPServer, QString()));
    txtSMTPDomain->setText(INIRead(k::kEmail, k::kSMTPDomain, QString()));
    txtSMTPPort->setText(INIRead(k::kEmail, k::kSMTPPort, QStringLiteral("25")));
    txtPOPServer->setText(INIRead(k::kEmail, k::kPOPServer, QStringLiteral("127.0.0.1")));
    txtPOPUserName->setText(INIRead(k::kEmail, k::kUserName, QStringLiteral("127.0.0.1")));
    txtReturnAddress->setText(INIRead(k::kEmail, k::kReturnAddress, QString()).trimmed());
    chkDeleteOffServer->setChecked(FlagValue(INIRead(k::kEmail, k::kDeleteOffServer, QStringLiteral("False"))));
    txtPOPPort->setText(INIRead(k::kEmail, k::kPOPPort, QStringLiteral("110")));

    txtPathHome->setText(INIRead(k::kEmail, k::kPathHome, QString()));
    txtPathMsgIn->setText(INIRead(k::kEmail, k::kPathMsgIn, QString()));
    txtPathMsgOut->setText(INIRead(k::kEmail, k::kPathMsgOut, QString()));
    txtPathAttachIn->setText(INIRead(k::kEmail, k::kPathAttachIn, QString()));
    txtPathAttachOut->setText(INIRead(k::kEmail, k::kPathAttachOut, QString()));
    txtExtMap->setText(INIRead(k::kEmail, k::kPathExtMap, QString()));
    txtExtMapArchive->setText(INIRead(k::kEmail, k::kPathExtMapArchive, QString()));
    txtExtMapReject->setText(INIRead(k::kEmail, k::kPathExtMapReject, QString()));
    // A value the reader does not know shows as what the robot runs with: None.
    const auto showSecurity = [](QComboBox* c, const QString& key) {
        const int at = c->findText(INIRead(k::kEmail, key, k::kSecurityNone).trimmed(), Qt::MatchFixedString);
        c->setCurrentIndex(at < 0 ? 0 : at);
    };
    showSecurity(cboSMTPSecurity, k::kSMTPSecurity);
    showSecurity(cboPOPSecurity, k::kPOPSecurity);
    txtSMTPUserName->setText(INIRead(k::kEmail, k::kSMTPUserName, QString()));
    txtCAFile->setText(INIRead(k::kEmail, k::kCAFile, QString()));
    chkFollowLinks->setChecked(FlagValue(INIRead(k::kEmail, k::kFollowLinks, QStringLiteral("False"))));
    chkSkipSeen->setChecked(FlagValue(INIRead(k::kEmail, k::kSkipSeen, QStringLiteral("False"))));

    txtWWWInterval->setText(QString::number(rc.WWWInterval));
    txtScriptOnInterval->setText(rc.ScriptOnInterval);
    txtMonitorPause->setText(INIRead(k::kWWW, k::kMonitorPause, QStringLiteral("8")));
}

bool frmSettings::save()
{
    // The settings file is 8-bit; a character beyond that would be stored as "?".
    for (const QLineEdit* e : findChildren<QLineEdit*>())
        for (const QChar c : e->text())
            if (c.unicode() > 0xFF) {
                platform::MsgBox(QStringLiteral("The value \"") + e->text()
                                     + QStringLiteral("\" holds characters that the settings file cannot store; "
                                                      "please use 8-bit characters only."),
                                 platform::MsgButtons::OK, platform::MsgIcon::Exclamation);
                return false;
            }

    bool failed = false;
    {
        BusyCursor busy;
        // Every key, changed or not, in the order the dialog has always written them.
        bool ok = true;
        auto put = [&ok](const QString& section, const QString& key, const QString& value) {
            ok = INIWrite(section, key, value) && ok;
        };
        put(k::kGlobal, k::kUnattended, boolText(chkUnattended->isChecked()));
        put(k::kGlobal, k::kMultiInstance, boolText(chkMultiInstance->isChecked()));
        put(k::kGlobal, k::kLogExtra, boolText(chkLogExtra->isChecked()));
        put(k::kEmail, k::kTimeout, txtTimeout->text());
        put(k::kEmail, k::kSMTPPort, txtSMTPPort->text());
        put(k::kEmail, k::kSMTPServer, txtSMTPServer->text());
        put(k::kEmail, k::kSMTPDomain, txtSMTPDomain->text());
        put(k::kEmail, k::kPOPPort, txtPOPPort->text());
        put(k::kEmail, k::kPOPServer, txtPOPServer->text());
        put(k::kEmail, kUsernameAsWritten, txtPOPUserName->text());
        put(k::kEmail, k::kDeleteOffServer, boolText(chkDeleteOffServer->isChecked()));
        put(k::kEmail, k::kMessageMax, txtMessageMax->text());
        put(k::kEmail, k::kCheckInterval, txtEmailInterval->text());
        put(k::kWWW, k::kCheckInterval, txtWWWInterval->text());
        put(k::kWWW, k::kMonitorPause, wholeNumberText(txtMonitorPause->text()));
        put(k::kEmail, k::kPathHome, txtPathHome->text());
        put(k::kEmail, k::kPathMsgIn, txtPathMsgIn->text());
        put(k::kEmail, k::kPathMsgOut, txtPathMsgOut->text());
        put(k::kEmail, k::kPathAttachIn, txtPathAttachIn->text());
        put(k::kEmail, k::kPathAttachOut, txtPathAttachOut->text());
        put(k::kEmail, k::kPathExtMap, txtExtMap->text());
        put(k::kEmail, k::kPathExtMapArchive, txtExtMapArchive->text());
        put(k::kEmail, k::kPathExtMapReject, txtExtMapReject->text());
        put(k::kEmail, k::kFollowLinks, boolText(chkFollowLinks->isChecked()));
        put(k::kEmail, k::kSkipSeen, boolText(chkSkipSeen->isChecked()));
        put(k::kEmail, k::kReturnAddress, txtReturnAddress->text());
        put(k::kEmail, k::kScriptOnReceive, txtScriptOnReceive->text());
        put(k::kWWW, k::kScriptOnInterval, txtScriptOnInterval->text());
        put(k::kEmail, k::kSMTPSecurity, cboSMTPSecurity->currentText());
        put(k::kEmail, k::kPOPSecurity, cboPOPSecurity->currentText());
        put(k::kEmail, k::kSMTPUserName, txtSMTPUserName->text());
        put(k::kEmail, k::kCAFile, txtCAFile->text());

        failed = !ok;
        if (ok && applySettings_)
            applySettings_();
    }
    // Not a key of the settings file: the entry lives with the desktop's own settings.
    if (!failed && chkDesktopStart->isChecked() != desktopStartLoaded_) {
        if (platform::SetAutostart(instanceFolder(), chkDesktopStart->isChecked(),
                                   QCoreApplication::applicationFilePath()))
            desktopStartLoaded_ = chkDesktopStart->isChecked();
        else
            platform::MsgBox(QStringLiteral("The desktop start entry ") + platform::AutostartPath(instanceFolder())
                                 + QStringLiteral(" could not be changed."),
                             platform::MsgButtons::OK, platform::MsgIcon::Exclamation);
    }
    if (failed) {
        // Saying "saved" here would hide that the robot still runs on the old file; the dialog
        // stays open so the entries can be saved again or given up with Cancel.
        platform::MsgBox(QStringLiteral("The settings file ") + Running().INIPath
                             + QStringLiteral(" could not be written; the settings were not saved."),
                         platform::MsgButtons::OK, platform::MsgIcon::Critical);
        return false;
    }
    platform::MsgBox(QStringLiteral("Settings saved and actioned"), platform::MsgButtons::OK,
                     platform::MsgIcon::Information);
    return true;
}

QString frmSettings::instanceFolder() const { return QFileInfo(Running().INIPath).absolutePath(); }

void frmSettings::cmdOK_Click()
{
    if (save())
        accept();
}

void frmSettings::cmdPOPPassword_Click() { ChangePOPPassword(this, popPassword_); }

void frmSettings::cmdExtMap_Click() { EditExtMap(this, ExtMapPath(Running().PathHome)); }

void frmSettings::cmdSMTPPassword_Click() { ChangeSMTPPassword(this, smtpPassword_); }

void frmSettings::cmdCAFile_Click()
{
    const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("CA file"), instanceFolder(),
                                                        QStringLiteral("Certificates (*.pem *.crt);;All files (*)"));
    if (chosen.isEmpty())
        return;
    // A file inside the instance folder is kept relative, so the folder can move as a whole.
    const QString relative = QDir(instanceFolder()).relativeFilePath(chosen);
    txtCAFile->setText(relative.startsWith(QStringLiteral("../")) ? chosen : relative);
}

bool ShowSettingsDialog(QWidget* owner, QString& popPassword, QString& smtpPassword,
                        const std::function<void()>& applySettings)
{
    frmSettings dialog(popPassword, smtpPassword, applySettings, owner);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace config
