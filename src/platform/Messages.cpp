// The message service switch and the headless and recording services.
#include "platform/Messages.h"

namespace platform {

namespace {
HeadlessMessages g_headless;
MessageService* g_messages = &g_headless;

MsgAnswer safeAnswerFor(MsgButtons b)
{
    switch (b) {
    case MsgButtons::OK:
        return MsgAnswer::OK;
    case MsgButtons::YesNo:
        return MsgAnswer::No;
    case MsgButtons::OKCancel:
    case MsgButtons::YesNoCancel:
        return MsgAnswer::Cancel;
    }
    return MsgAnswer::OK;
}

// One log line per message: line breaks become " / " so the logbook keeps one line each.
QString oneLine(const QString& text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
    t.replace(QLatin1Char('\n'), QStringLiteral(" / "));
    return t;
}
} // namespace

MessageService& messages() { return *g_messages; }

void setMessages(MessageService* service) { g_messages = service ? service : &g_headless; }

MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon)
{
    return g_messages->show(text, buttons, icon, safeAnswerFor(buttons));
}

bool DisplayAvailable()
{
    const QByteArray qpa = qgetenv("QT_QPA_PLATFORM");
    if (qpa == "offscreen" || qpa == "minimal")
        return false;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QString AnswerText(MsgAnswer a)
{
    switch (a) {
    case MsgAnswer::OK:
        return QStringLiteral("OK");
    case MsgAnswer::Cancel:
        return QStringLiteral("Cancel");
    case MsgAnswer::Yes:
        return QStringLiteral("Yes");
    case MsgAnswer::No:
        return QStringLiteral("No");
    }
    return {};
}

MsgAnswer HeadlessMessages::show(const QString& text, MsgButtons buttons, MsgIcon, MsgAnswer safe)
{
    if (log_) {
        if (buttons == MsgButtons::OK)
            log_(QStringLiteral("MESSAGE: ") + oneLine(text));
        else
            log_(QStringLiteral("QUESTION: ") + oneLine(text) + QStringLiteral(" ANSWER (no display): ")
                 + AnswerText(safe));
    }
    return safe;
}

MsgAnswer RecordingMessages::show(const QString& text, MsgButtons buttons, MsgIcon icon, MsgAnswer safe)
{
    shown.append({text, buttons, icon});
    if (!answers_.isEmpty())
        return answers_.takeFirst();
    return defaultAnswer.value_or(safe);
}

QStringList RecordingMessages::texts() const
{
    QStringList out;
    for (const Shown& s : shown)
        out << s.text;
    return out;
}

} // namespace platform
