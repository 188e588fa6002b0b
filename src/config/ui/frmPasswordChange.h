// The "Password Change" dialog and the command that runs it.
#pragma once

#include "config/Password.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace config {

class frmPasswordChange : public QDialog {
    Q_OBJECT
public:
    explicit frmPasswordChange(QWidget* owner = nullptr, const QString& caption = QStringLiteral("Password Change"));

    PasswordEntries entries() const;

    QLineEdit* txtPasswordOld;
    QLineEdit* txtPasswordNew;
    QLineEdit* txtPasswordNewConfirm;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
};

// Runs the dialog modally over owner; on OK applies the change to popPassword and the
// settings file. The dialog lives only for this call, so every call starts empty.
void ChangePOPPassword(QWidget* owner, QString& popPassword);
// The same for the SMTP login's password ([Email] SMTPPassword), captioned "SMTP Password Change".
void ChangeSMTPPassword(QWidget* owner, QString& smtpPassword);

} // namespace config
