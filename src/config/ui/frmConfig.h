// The "Edit ExtMap.ini" dialog: a plain text editor for the extension mapping file.
#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

namespace config {

class frmConfig : public QDialog {
    Q_OBJECT
public:
    // path is fixed for the life of the editor; a missing file shows an example to start from.
    explicit frmConfig(const QString& path, QWidget* owner = nullptr);

    const QString& path() const { return path_; }
    // False when the file exists but could not be read (a message has been shown).
    bool loaded() const { return loaded_; }

    QPlainTextEdit* txtEdit;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

private:
    void fitWidthToText();
    void cmdOK_Click();

    QString path_;
    bool loaded_ = true;
};

// What the editor shows for a mapping file that does not exist yet.
extern const QString kExtMapSeed;

// Runs the editor modally over owner on the file at path. True when it saved.
bool EditExtMap(QWidget* owner, const QString& path);

} // namespace config
