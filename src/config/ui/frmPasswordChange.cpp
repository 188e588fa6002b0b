// Password change dialog.
#include "config/ui/frmPasswordChange.h"

#include "config/SettingsKeys.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace config {

frmPasswordChange::frmPasswordChange(QWidget* owner, const QString& caption) : QDialog(owner)
{
    setWindowTitle(caption);
    setModal(true);
    auto makeBox = [this] {
        auto* box = new QLineEdit(this);
        box->setEchoMode(QLineEdit::Password);
        return box;
    };
    txtPasswordOld = makeBox();
    txtPasswordNew = makeBox();
    txtPasswordNewConfirm = makeBox();
    auto* form = new QFormLayout;
    form->addRow(new QLabel(QStringLiteral("Current Password:"), this), txtPasswordOld);
    form->addRow(new QLabel(QStringLiteral("New Password:"), this), txtPasswordNew);
    form->addRow(new QLabel(QStringLiteral("Confirm new PW:"), this), txtPasswordNewConfirm);

    auto* buttons = new QDialogButtonBox(this);
    cmdOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cmdCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cmdOK->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

PasswordEntries frmPasswordChange::entries() const
{
    return {txtPasswordOld->text(), txtPasswordNew->text(), txtPasswordNewConfirm->text()};
}

namespace {

void changePassword(QWidget* owner, QString& password, const QString& key, const QString& caption)
{
    frmPasswordChange dialog(owner, caption);
    // The close box counts as Cancel: QDialog reports it as rejected.
    if (dialog.exec() == QDialog::Accepted)
        ApplyPasswordChange(dialog.entries(), password, key);
}

} // namespace

void ChangePOPPassword(QWidget* owner, QString& popPassword)
{
    changePassword(owner, popPassword, keys::kPassword, QStringLiteral("Password Change"));
}

void ChangeSMTPPassword(QWidget* owner, QString& smtpPassword)
{
    changePassword(owner, smtpPassword, keys::kSMTPPassword, QStringLiteral("SMTP Password Change"));
}

} // namespace config
