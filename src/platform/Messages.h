// Message boxes and questions, reached through one interface so that code without widgets
// can ask, tests can answer, and a robot without a display never blocks on a dialog.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace platform {

enum class MsgButtons { OK, OKCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgAnswer { OK, Cancel, Yes, No };

// The title every message box of the program carries.
inline const QString kMessageTitle = QStringLiteral("Tarnwick");

class MessageService {
public:
    virtual ~MessageService() = default;
    // Shows text and returns the answer. safe is the answer an unattended robot gives.
    virtual MsgAnswer show(const QString& text, MsgButtons buttons, MsgIcon icon, MsgAnswer safe) = 0;
};

// The service in force (headless until the program installs another); not owned.
MessageService& messages();
void setMessages(MessageService* service);

// Shows a message; the safe answer is No for Yes/No questions, Cancel where there is a
// Cancel button, else OK.
MsgAnswer MsgBox(const QString& text, MsgButtons buttons = MsgButtons::OK, MsgIcon icon = MsgIcon::None);

// True when a window can be shown: a display is named and Qt is not told to draw off-screen.
bool DisplayAvailable();

// Text of an answer as it appears in log lines ("Yes", "No", ...).
QString AnswerText(MsgAnswer a);

// No display: shows nothing, answers with the safe answer and reports both through the log.
class HeadlessMessages final : public MessageService {
public:
    explicit HeadlessMessages(std::function<void(const QString&)> log = {}) : log_(std::move(log)) {}
    void setLog(std::function<void(const QString&)> log) { log_ = std::move(log); }
    MsgAnswer show(const QString& text, MsgButtons buttons, MsgIcon icon, MsgAnswer safe) override;

private:
    std::function<void(const QString&)> log_;
};

// For tests: records every text and gives the queued answers in turn (then the default).
class RecordingMessages final : public MessageService {
public:
    struct Shown {
        QString text;
        MsgButtons buttons;
        MsgIcon icon;
    };
    MsgAnswer show(const QString& text, MsgButtons buttons, MsgIcon icon, MsgAnswer safe) override;
    void queue(MsgAnswer a) { answers_.append(a); }
    QStringList texts() const;

    QList<Shown> shown;
    // Answer when the queue is empty; unset means the safe answer.
    std::optional<MsgAnswer> defaultAnswer;

private:
    QList<MsgAnswer> answers_;
};

// Installs a recording service for the length of a test.
class ScopedRecordingMessages {
public:
    ScopedRecordingMessages() { setMessages(&rec_); }
    ~ScopedRecordingMessages() { setMessages(nullptr); }
    ScopedRecordingMessages(const ScopedRecordingMessages&) = delete;
    ScopedRecordingMessages& operator=(const ScopedRecordingMessages&) = delete;
    RecordingMessages* operator->() { return &rec_; }
    RecordingMessages& operator*() { return rec_; }

private:
    RecordingMessages rec_;
};

} // namespace platform
