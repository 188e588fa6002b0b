// The members a receive script uses through "IM": folder settings, the views of the message in
// hand, copy and move of the message and its attachments, text file output, formatting and
// the requests to the main window. File members share one failure rule (fileFailure).
#include "gateway/clsInetGateway.h"

#include "config/RunningConfig.h"
#include "gateway/GwText.h"
#include "platform/HostError.h"
#include "platform/Clock.h"
#include "platform/Format.h"
#include "util/basStringWorks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

using gateway::kCrLf;

namespace {


// Scripts written for the robot end folder names with either separator.
bool endsWithSeparator(const QString& s) { return s.endsWith(QLatin1Char('/')) || s.endsWith(QLatin1Char('\\')); }

QString asFolder(const QString& s) { return endsWithSeparator(s) ? s : s + QLatin1Char('/'); }

// Copies source over target (a target of that name is replaced); the classic error on failure.
gateway::FileErr copyOver(const QString& source, const QString& target)
{
    if (!QFileInfo(source).isFile())
        return {53, QStringLiteral("File not found")};
    if (!QFileInfo(target).absoluteDir().exists())
        return {76, QStringLiteral("Path not found")};
    if (QFileInfo(source).absoluteFilePath() == QFileInfo(target).absoluteFilePath())
        return {70, QStringLiteral("Permission denied")};
    if (QFileInfo::exists(target) && !QFile::remove(target))
        return {70, QStringLiteral("Permission denied")};
    QFile in(source);
    if (!in.copy(target))
        return gateway::FileErrorOf(target, in.error());
    return {};
}

gateway::FileErr removeFile(const QString& path)
{
    QFile f(path);
    if (f.remove())
        return {};
    if (!QFileInfo::exists(path))
        return {53, QStringLiteral("File not found")};
    return {70, QStringLiteral("Permission denied")};
}

} // namespace

bool clsInetGateway::fileFailure(const QString& member, int number, const QString& description)
{
    log(QStringLiteral("ERROR: ") + QString::number(number) + QStringLiteral(" in ") + member + QStringLiteral(", ")
        + description);
    return false;
}

QString clsInetGateway::PathHome() const { return config::Running().PathHome; }
QString clsInetGateway::PathMsgOut() const { return config::Running().PathMsgOut; }
QString clsInetGateway::PathMsgIn() const { return config::Running().PathMsgIn; }
QString clsInetGateway::PathAttachOut() const { return config::Running().PathAttachOut; }
QString clsInetGateway::PathAttachIn() const { return config::Running().PathAttachIn; }
QString clsInetGateway::PathExtMap() const { return config::Running().PathExtMap; }
QString clsInetGateway::PathExtMapReject() const { return config::Running().PathExtMapReject; }
QString clsInetGateway::PathExtMapArchive() const { return config::Running().PathExtMapArchive; }

QString clsInetGateway::MsgFile() const { return gateway::InHand().CurrentMsgFile; }

QString clsInetGateway::Body() const { return gateway::InHand().BodyText; }

QString clsInetGateway::Msg() const
{
    const auto& m = gateway::InHand();
    QString s;
    for (size_t i = 0; i < m.HeaderTable.size(); ++i) {
        if (i > 0)
            s += kCrLf;
        s += m.HeaderTable[i];
    }
    return s + kCrLf + kCrLf + m.BodyText;
}

QString clsInetGateway::Header(const QVariant& Token) const
{
    const auto& table = gateway::InHand().HeaderTable;
    const QString token = Token.isValid() && !Token.isNull() ? Token.toString() : QString();
    if (token.isEmpty()) {
        QString s;
        for (size_t i = 0; i < table.size(); ++i) {
            if (i > 0)
                s += kCrLf;
            s += table[i];
        }
        return s;
    }
    bool numeric = false;
    const double n = gateway::TrimBlanks(token).toDouble(&numeric);
    if (numeric && n >= 1 && n <= 7)
        return table[size_t(std::nearbyint(n)) - 1];   // halves to the even number
    const QString wanted = gateway::TrimBlanks(token);
    for (const QString& entry : table)
        if (basStringWorks::TextBefore(entry, QStringLiteral(":")).compare(wanted, Qt::CaseInsensitive) == 0)
            return gateway::TrimBlanks(basStringWorks::TextAfter(entry, QStringLiteral(":")));
    return QString();
}

QString clsInetGateway::AttachFile(qint32 i) const
{
    if (i < 1 || i > 20)
        return QString();
    return AttachNames.value(i - 1);
}

QString clsInetGateway::RawLine(qint32 i) const
{
    if (i < 1 || i > RawLinesNumber) {
        platform::RaiseHostError(9, QStringLiteral("Subscript out of range"));
        return QString();
    }
    return RawLines.value(i - 1);
}

bool clsInetGateway::MsgCopy(const QString& Destination)
{
    const QString file = MsgFile();
    const QString target = endsWithSeparator(Destination) ? Destination + file : Destination;
    const gateway::FileErr e = copyOver(config::Running().PathMsgIn + file, target);
    return e.number == 0 || fileFailure(QStringLiteral("MsgCopy"), e.number, e.text);
}

bool clsInetGateway::MsgMove(const QString& Destination)
{
    const QString file = MsgFile();
    const QString target = endsWithSeparator(Destination) ? Destination + file : Destination;
    gateway::FileErr e = copyOver(config::Running().PathMsgIn + file, target);
    if (e.number == 0)
        e = removeFile(config::Running().PathMsgIn + file);
    return e.number == 0 || fileFailure(QStringLiteral("MsgMove"), e.number, e.text);
}

bool clsInetGateway::AttachCopy(qint32 Index, const QString& Destination)
{
    if (Index < 1 || Index > 20)
        return fileFailure(QStringLiteral("AttachCopy"), 9, QStringLiteral("Subscript out of range"));
    const QString file = AttachNames.value(Index - 1);
    const QString target = endsWithSeparator(Destination) ? Destination + file : Destination;
    const gateway::FileErr e = copyOver(config::Running().PathAttachIn + file, target);
    return e.number == 0 || fileFailure(QStringLiteral("AttachCopy"), e.number, e.text);
}

bool clsInetGateway::AttachMove(qint32 Index, const QString& Destination)
{
    if (Index < 1 || Index > 20)
        return fileFailure(QStringLiteral("AttachMove"), 9, QStringLiteral("Subscript out of range"));
    const QString file = AttachNames.value(Index - 1);
    const QString target = endsWithSeparator(Destination) ? Destination + file : Destination;
    gateway::FileErr e = copyOver(config::Running().PathAttachIn + file, target);
    if (e.number == 0)
        e = removeFile(config::Running().PathAttachIn + file);
    return e.number == 0 || fileFailure(QStringLiteral("AttachMove"), e.number, e.text);
}

bool clsInetGateway::AttachCopyAll(const QString& DestFolder)
{
    const QString folder = asFolder(DestFolder);
    for (qint32 i = 0; i < AttachNumber && i < AttachNames.size(); ++i) {
        const QString& file = AttachNames.at(i);
        const gateway::FileErr e = copyOver(config::Running().PathAttachIn + file, folder + file);
        if (e.number != 0)
            return fileFailure(QStringLiteral("AttachCopyAll"), e.number, e.text);
    }
    return true;
}

bool clsInetGateway::AttachMoveAll(const QString& DestFolder)
{
    const QString folder = asFolder(DestFolder);
    for (qint32 i = 0; i < AttachNumber && i < AttachNames.size(); ++i) {
        const QString& file = AttachNames.at(i);
        gateway::FileErr e = copyOver(config::Running().PathAttachIn + file, folder + file);
        if (e.number == 0)
            e = removeFile(config::Running().PathAttachIn + file);
        if (e.number != 0)
            return fileFailure(QStringLiteral("AttachMoveAll"), e.number, e.text);
    }
    return true;
}

bool clsInetGateway::AttachMoveAllRename(const QString& folder)
{
    const QString dest = asFolder(folder);
    for (qint32 i = 0; i < AttachNumber && i < AttachNames.size(); ++i) {
        const QString& file = AttachNames.at(i);
        const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
        if (dot < 0)
            return fileFailure(QStringLiteral("AttachMoveAllRename"), 5, QStringLiteral("Invalid procedure call or argument"));
        const QString newName = platform::Format(platform::Now(), QStringLiteral("dd-mmm-yyyy_hh-nn-ss"))
            + QLatin1Char('_') + QString::number(random_.bounded(10000000)) + file.mid(dot);
        gateway::FileErr e = copyOver(config::Running().PathAttachIn + file, dest + newName);
        if (e.number == 0)
            e = removeFile(config::Running().PathAttachIn + file);
        if (e.number != 0)
            return fileFailure(QStringLiteral("AttachMoveAllRename"), e.number, e.text);
    }
    return true;
}

QVariant clsInetGateway::FileGetText(const QString& sFileName)
{
    QFile f(sFileName);
    if (!f.open(QIODevice::ReadOnly)) {
        // Not caught here: the calling script gets the error (its own On Error may handle it).
        const gateway::FileErr e = gateway::FileErrorOf(sFileName, f.error());
        platform::RaiseHostError(e.number, e.text);
        return QVariant();
    }
    return QVariant(QString::fromLatin1(f.readAll()));
}

bool clsInetGateway::OutputToFile(const QString& Data, const QString& Destination, bool XAppend)
{
    QFile f(Destination);
    if (!f.open(QIODevice::WriteOnly | (XAppend ? QIODevice::Append : QIODevice::Truncate))) {
        const gateway::FileErr e = gateway::FileErrorOf(Destination, f.error());
        return fileFailure(QStringLiteral("OutputToFile"), e.number, e.text);
    }
    const QByteArray bytes = Data.toLatin1() + "\r\n";
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        const gateway::FileErr e = gateway::FileErrorOf(Destination, f.error());
        return fileFailure(QStringLiteral("OutputToFile"), e.number, e.text);
    }
    return true;
}

void clsInetGateway::Restart() { Actions = QStringLiteral("RESTART"); }

void clsInetGateway::Shutdown() { Actions = QStringLiteral("SHUTDOWN"); }

QVariant clsInetGateway::WWWInterval()
{
    bool b = false;
    emit XWWWInterval(b);
    if (!b)
        log(QStringLiteral("ERROR: WWWInterval failed because Interval script busy."));
    return QVariant(b);
}

QVariant clsInetGateway::XFormat(const QVariant& Expression, const QString& FormatString)
{
    return QVariant(platform::Format(platform::FormatValue::fromVariant(Expression), FormatString));
}
