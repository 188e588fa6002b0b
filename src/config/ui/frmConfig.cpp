// Mapping file editor.
#include "config/ui/frmConfig.h"

#include "platform/Messages.h"
#include "platform/TextFile.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>

#include <algorithm>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>

namespace config {

const QString kExtMapSeed = QStringLiteral("#Example\r\n#csv=orders@example.com\r\n");

namespace {

// The editor holds plain "\n" line ends; the file gets CR LF whatever it had before.
QString toEditorText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

QString toFileText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    // Content loaded from the file already ends with its line end; adding one on every save
    // would grow the file by an empty line each time it is edited.
    if (!text.endsWith(QStringLiteral("\r\n")))
        text += QStringLiteral("\r\n");
    return text;
}

bool fitsLatin1(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

} // namespace

frmConfig::frmConfig(const QString& path, QWidget* owner) : QDialog(owner), path_(path)
{
    setWindowTitle(QStringLiteral("Edit ExtMap.ini"));
    setModal(true);
    resize(560, 380);

    txtEdit = new QPlainTextEdit(this);
    txtEdit->setObjectName(QStringLiteral("txtEdit"));
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    txtEdit->setFont(font);
    txtEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtEdit->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* buttons = new QDialogButtonBox(this);
    cmdOK = buttons->addButton(QStringLiteral("&Save and Exit"), QDialogButtonBox::AcceptRole);
    cmdCancel = buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdOK, &QPushButton::clicked, this, &frmConfig::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtEdit);
    layout->addWidget(buttons);

    if (!QFileInfo::exists(path_)) {
        txtEdit->setPlainText(toEditorText(kExtMapSeed));
        fitWidthToText();
        return;
    }
    bool ok = false;
    const QString text = platform::ReadTextFile(path_, &ok);
    if (!ok) {
        // Showing the example here would let Save replace a mapping file we could not read.
        loaded_ = false;
        platform::MsgBox(QStringLiteral("The mapping file ") + path_ + QStringLiteral(" could not be read."),
                         platform::MsgButtons::OK, platform::MsgIcon::Critical);
        return;
    }
    txtEdit->setPlainText(toEditorText(text));
    fitWidthToText();
}

void frmConfig::fitWidthToText()
{
    // The file's comments should read without scrolling sideways: the editor grows to its
    // widest line, up to most of the screen.
    const QFontMetrics fm(txtEdit->font());
    int widest = 0;
    for (const QString& line : txtEdit->toPlainText().split(QLatin1Char('\n')))
        widest = std::max(widest, fm.horizontalAdvance(line));
    const QMargins m = layout()->contentsMargins();
    int w = widest + 2 * int(txtEdit->document()->documentMargin()) + 2 * txtEdit->frameWidth()
            + txtEdit->verticalScrollBar()->sizeHint().width() + txtEdit->cursorWidth() + m.left() + m.right();
    if (const QScreen* s = screen())
        w = std::min(w, s->availableGeometry().width() * 9 / 10);
    if (w > width())
        resize(w, height());
}

void frmConfig::cmdOK_Click()
{
    const QString text = toFileText(txtEdit->toPlainText());
    // The file is 8-bit; anything else would be stored as "?" and the mapping silently changed.
    if (!fitsLatin1(text)) {
        platform::MsgBox(QStringLiteral("The text holds characters that the mapping file cannot store; "
                                        "please use 8-bit characters only."),
                         platform::MsgButtons::OK, platform::MsgIcon::Exclamation);
        return;
    }
    if (!platform::WriteTextFile(path_, text)) {
        // The editor stays open so that the typed mapping is not lost.
        platform::MsgBox(QStringLiteral("The mapping file ") + path_ + QStringLiteral(" could not be written."),
                         platform::MsgButtons::OK, platform::MsgIcon::Critical);
        return;
    }
    accept();
}

bool EditExtMap(QWidget* owner, const QString& path)
{
    frmConfig editor(path, owner);
    if (!editor.loaded())
        return false;
    return editor.exec() == QDialog::Accepted;
}

} // namespace config
