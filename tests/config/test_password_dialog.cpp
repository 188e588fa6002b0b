// The password dialog: OK applies the change, Cancel and the close box change nothing.
#include "config/RunningConfig.h"
#include "config/ui/frmPasswordChange.h"
#include "platform/IniFile.h"
#include "platform/Messages.h"
#include "support/QtPrinters.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Acts on the dialog once it is up and modal.
void whenDialogOpens(std::function<void(config::frmPasswordChange*)> act)
{
    QTimer::singleShot(0, [act] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<config::frmPasswordChange*>(w); d && d->isVisible()) {
                act(d);
                return;
            }
    });
}

struct DialogFixture : ::testing::Test {
    QTemporaryDir dir;
    platform::ScopedRecordingMessages msgs;
    QString password = QStringLiteral("current");
    void SetUp() override { config::Running().INIPath = dir.filePath(QStringLiteral("Tarnwick.ini")); }
    QString stored()
    {
        return platform::IniRead(config::Running().INIPath, QStringLiteral("Email"), QStringLiteral("Password"),
                                 QStringLiteral("<none>"));
    }
};

} // namespace

TEST_F(DialogFixture, OkWithRightEntriesChangesAndStores)
{
    whenDialogOpens([](config::frmPasswordChange* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Password Change"));
        EXPECT_EQ(d->txtPasswordNew->echoMode(), QLineEdit::Password);
        d->txtPasswordOld->setText(QStringLiteral("current"));
        d->txtPasswordNew->setText(QStringLiteral("next one"));
        d->txtPasswordNewConfirm->setText(QStringLiteral("next one"));
        d->cmdOK->click();
    });
    config::ChangePOPPassword(nullptr, password);
    EXPECT_EQ(password, QStringLiteral("next one"));
    EXPECT_NE(stored(), QStringLiteral("<none>"));
    EXPECT_NE(stored(), QStringLiteral("next one"));
    EXPECT_EQ(msgs->texts(), QStringList{QStringLiteral("Password changed successfully")});
}

TEST_F(DialogFixture, CancelAndCloseBoxChangeNothingAndSayNothing)
{
    whenDialogOpens([](config::frmPasswordChange* d) {
        d->txtPasswordOld->setText(QStringLiteral("current"));
        d->txtPasswordNew->setText(QStringLiteral("x"));
        d->txtPasswordNewConfirm->setText(QStringLiteral("x"));
        d->cmdCancel->click();
    });
    config::ChangePOPPassword(nullptr, password);
    whenDialogOpens([](config::frmPasswordChange* d) { d->close(); });
    config::ChangePOPPassword(nullptr, password);
    EXPECT_EQ(password, QStringLiteral("current"));
    EXPECT_EQ(stored(), QStringLiteral("<none>"));
    EXPECT_TRUE(msgs->shown.isEmpty());
}
