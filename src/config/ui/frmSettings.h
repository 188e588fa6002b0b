// The "Settings" dialog: every key of Tarnwick.ini on four tabs, saved and put into effect on OK.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace config {

class frmSettings : public QDialog {
    Q_OBJECT
public:
    // popPassword and smtpPassword are the running passwords that the two Password buttons
    // change; applySettings rereads the settings file into the running robot after a save.
    frmSettings(QString& popPassword, QString& smtpPassword, std::function<void()> applySettings,
                QWidget* owner = nullptr);

    QTabWidget* SSTab1;

    QCheckBox* chkUnattended;
    QCheckBox* chkMultiInstance;
    QCheckBox* chkLogExtra;
    QCheckBox* chkDesktopStart;

    QLineEdit* txtEmailInterval;
    QLineEdit* txtScriptOnReceive;
    QLineEdit* txtTimeout;
    QLineEdit* txtMessageMax;
    QLineEdit* txtSMTPServer;
    QLineEdit* txtSMTPDomain;
    QLineEdit* txtSMTPPort;
    QLineEdit* txtPOPServer;
    QLineEdit* txtPOPUserName;
    QPushButton* cmdPOPPassword;
    QLineEdit* txtReturnAddress;
    QCheckBox* chkDeleteOffServer;
    QCheckBox* chkFollowLinks;
    QCheckBox* chkSkipSeen;
    QLineEdit* txtPOPPort;

    QLineEdit* txtPathHome;
    QLineEdit* txtPathMsgIn;
    QLineEdit* txtPathMsgOut;
    QLineEdit* txtPathAttachIn;
    QLineEdit* txtPathAttachOut;
    QLineEdit* txtExtMap;
    QLineEdit* txtExtMapArchive;
    QLineEdit* txtExtMapReject;
    QPushButton* cmdExtMap;
    QComboBox* cboSMTPSecurity;
    QComboBox* cboPOPSecurity;
    QLineEdit* txtSMTPUserName;
    QPushButton* cmdSMTPPassword;
    QLineEdit* txtCAFile;
    QPushButton* cmdCAFile;

    QLineEdit* txtWWWInterval;
    QLineEdit* txtScriptOnInterval;
    QLineEdit* txtMonitorPause;

    QPushButton* cmdOK;
    QPushButton* cmdCancel;

private:
    void load();
    // Writes every key and applies them; false (with a message shown) if the file could not
    // be written, so the dialog stays open with the user's entries.
    bool save();
    void cmdOK_Click();
    void cmdPOPPassword_Click();
    void cmdExtMap_Click();
    void cmdSMTPPassword_Click();
    void cmdCAFile_Click();
    QString instanceFolder() const;

    QString& popPassword_;
    QString& smtpPassword_;
    std::function<void()> applySettings_;
    bool desktopStartLoaded_ = false;
};

// Runs frmSettings modally over owner. On OK the keys are written, applySettings() is called
// and the result is true; Cancel (or the close box) writes nothing and gives false. A password
// changed through a Password button is stored at once, whichever way the dialog ends.
bool ShowSettingsDialog(QWidget* owner, QString& popPassword, QString& smtpPassword,
                        const std::function<void()>& applySettings);

} // namespace config
