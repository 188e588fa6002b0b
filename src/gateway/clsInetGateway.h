// The e-mail gateway object: its settings fields, run-time state, events and state machine.
// One class, one .cpp per concern: socket.cpp (transport and line dispatch), compose.cpp
// (mapping and composition), smtp.cpp, pop3.cpp, files.cpp and the mime_*.cpp codecs.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QRandomGenerator>
#include <QDateTime>
#include <QHash>
#include <QFile>

#include <array>
#include <functional>
#include <memory>

#include "config/RunningConfig.h"
#include "gateway/FiledRecord.h"
#include "gateway/GatewayDefs.h"
#include "gateway/Transport.h"

class QFileInfo;
class StringBuilder;

namespace platform {
struct FileErr;
}

namespace gateway {
class AtomicTextFile;
class frmSocket;
class PartDecoder;
}

namespace gateway {
// The message in hand: what filing leaves for the receive script (and the web robot) to read.
// It belongs to the program, not to one gateway object, so a replaced gateway keeps it.
struct MessageInHand {
    std::array<QString, 7> HeaderTable;   // entry n is HeaderTable[n - 1]
    QString BodyText;
    QString CurrentMsgFile;
};
MessageInHand& InHand();
} // namespace gateway

// Scripts reach the gateway as "IM" through the script engine's QObject adapter: the members
// marked Q_PROPERTY / Q_INVOKABLE below are what a receive script can use.
class clsInetGateway : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString State READ State NOTIFY StateChanged)
    Q_PROPERTY(QString LoggedMessage READ LoggedMessage NOTIFY LogMessageEvent)
    Q_PROPERTY(QString PathHome READ PathHome)
    Q_PROPERTY(QString PathMsgOut READ PathMsgOut)
    Q_PROPERTY(QString PathMsgIn READ PathMsgIn)
    Q_PROPERTY(QString PathAttachOut READ PathAttachOut)
    Q_PROPERTY(QString PathAttachIn READ PathAttachIn)
    Q_PROPERTY(QString PathExtMap READ PathExtMap)
    Q_PROPERTY(QString PathExtMapReject READ PathExtMapReject)
    Q_PROPERTY(QString PathExtMapArchive READ PathExtMapArchive)
    Q_PROPERTY(qint32 AttachNumber READ attachNumber)
    Q_PROPERTY(QString MsgFile READ MsgFile)
    Q_PROPERTY(QString Msg READ Msg)
    Q_PROPERTY(QString Body READ Body)
    Q_PROPERTY(qint32 RawLinesNumber READ rawLinesNumber)
    Q_PROPERTY(QString ReturnAddress MEMBER ReturnAddress)
    Q_PROPERTY(bool Archive MEMBER Archive)
    Q_PROPERTY(QString ExtMap MEMBER ExtMap)
    Q_PROPERTY(qint32 SMTPPort MEMBER SMTPPort)
    Q_PROPERTY(QString SMTPServer MEMBER SMTPServer)
    Q_PROPERTY(QString SMTPDomain MEMBER SMTPDomain)
    Q_PROPERTY(qint32 POPPort MEMBER POPPort)
    Q_PROPERTY(QString PopServer MEMBER PopServer)
    Q_PROPERTY(QString UserName MEMBER UserName)
    Q_PROPERTY(qint16 TimeOut MEMBER TimeOut)
    Q_PROPERTY(bool DeleteOffServer MEMBER DeleteOffServer)
    Q_PROPERTY(qint32 MessageMax MEMBER MessageMax)
    Q_PROPERTY(QString Actions MEMBER Actions)
    Q_PROPERTY(QString Password MEMBER Password)

public:
    // Without a transport the gateway talks through the process's shared socket (frmSocket).
    explicit clsInetGateway(QObject* parent = nullptr, gateway::Transport* transport = nullptr);
    ~clsInetGateway() override;

    // ---- Settings fields (the settings loader and scripts write them) ----
    QString ReturnAddress;
    bool Archive = false;
    QString ExtMap;              // entries separated by char 254, extension and address by 253
    qint32 SMTPPort = 25;
    QString SMTPServer;
    QString SMTPDomain;
    qint32 POPPort = 110;        // 0: no POP phase
    QString PopServer;           // blank: no POP phase
    QString UserName;
    qint16 TimeOut = 100;        // seconds of server silence before a conversation is given up
    bool DeleteOffServer = false;
    qint32 MessageMax = 0;       // 0 becomes 200000 at each cycle start
    QString Actions;
    QString Password;
    config::Security SMTPSecurity = config::Security::None;
    config::Security POPSecurity = config::Security::None;
    QString SMTPUserName;        // empty: no SMTP authentication
    QString SMTPPassword;
    QString CAFile;              // extra trusted certificates (PEM); empty: the system's only
    bool Connected = false;

    // Assigns every settings field the settings reader produced.
    void applySettings(const config::GatewaySettings& s);

    QString State() const { return gateway::StateText(state_); }
    gateway::GwState stateId() const { return state_; }
    QString LoggedMessage() const { return loggedMessage_; }

    // Reports a caller-supplied text exactly as the gateway reports its own lines.
    Q_INVOKABLE void LogMessage(const QString& s);

    // ---- Members for the receive script (script_members.cpp) ----
    QString PathHome() const;
    QString PathMsgOut() const;
    QString PathMsgIn() const;
    QString PathAttachOut() const;
    QString PathAttachIn() const;
    QString PathExtMap() const;
    QString PathExtMapReject() const;
    QString PathExtMapArchive() const;
    qint32 attachNumber() const { return AttachNumber; }
    qint32 rawLinesNumber() const { return RawLinesNumber; }
    QString MsgFile() const;
    QString Msg() const;
    QString Body() const;
    // All seven kept headers (no token), one by number 1-7, or one value by name.
    Q_INVOKABLE QString Header(const QVariant& Token = QVariant()) const;
    // Attachment i (1-20) without folder; "" outside that range.
    Q_INVOKABLE QString AttachFile(qint32 i) const;
    // Line i of the message as received; "" outside 1 to RawLinesNumber (the adapter has no
    // way to raise a script error from here).
    Q_INVOKABLE QString RawLine(qint32 i) const;
    // File members: true when done; otherwise "ERROR: <n> in <member>, <description>" is
    // logged, false comes back and what was already done stays done.
    Q_INVOKABLE bool MsgCopy(const QString& Destination);
    Q_INVOKABLE bool MsgMove(const QString& Destination);
    Q_INVOKABLE bool AttachCopy(qint32 Index, const QString& Destination);
    Q_INVOKABLE bool AttachMove(qint32 Index, const QString& Destination);
    Q_INVOKABLE bool AttachCopyAll(const QString& DestFolder);
    Q_INVOKABLE bool AttachMoveAll(const QString& DestFolder);
    Q_INVOKABLE bool AttachMoveAllRename(const QString& folder);
    // The whole file as text; an invalid QVariant when it cannot be read.
    Q_INVOKABLE QVariant FileGetText(const QString& sFileName);
    Q_INVOKABLE bool OutputToFile(const QString& Data, const QString& Destination, bool XAppend = false);
    Q_INVOKABLE void Restart();
    Q_INVOKABLE void Shutdown();
    Q_INVOKABLE QVariant WWWInterval();
    Q_INVOKABLE QVariant XFormat(const QVariant& Expression, const QString& FormatString);

    // ---- Cycle and transport ----
    // Asks the cycle in progress to end soon: the message in hand is finished (filed, its
    // deletion confirmed, its script run; or sent), then the server is told QUIT and nothing
    // more is started. The gateway returns to "STANDBY" as after any cycle.
    void RequestStop();
    bool stopRequested() const { return stopRequested_; }
    // Deletes the gateway once the wait it may be in has returned (a send the server holds
    // up, a connect, the receive script): events run during those waits, and an object
    // deleted there would be used again when the wait returns.
    void ReleaseLater();

    // Starts an e-mail cycle: maps, lists, composes, then opens the SMTP connection and returns.
    Q_INVOKABLE void ProcessStart();
    // Files a message read from a local file as if it had just been downloaded (no script run).
    Q_INVOKABLE void LocalPOPDeCode(const QString& sFile);
    // "OK" (connect under way), "Error: Host not found" or "ERROR connecting: " + details.
    Q_INVOKABLE QString SocketConnect();
    Q_INVOKABLE void SocketDisconnect();
    // The socket's connection state as the scheduler reads it: 0 closed, 4 resolving,
    // 6 connecting, 7 connected, 8 closing, 9 error.
    int SocketState() const;

    // ---- MIME coding and file helpers ----
    void ParseContentLine(QString& line, QString& encoding, QString& name, QString& boundary);
    void DecodeBase64Attachment(QString& name);
    void DecodeQuotedPrintable(QString& name);
    void SaveTextAttachment(QString& name);
    // Fills RawLines with the base64 lines of the file; false when it cannot be read, with
    // the error in lastErrorNumber_/lastErrorText_ and the error line already logged.
    bool EncodeAttachment(const QString& name);
    static int Base64Value(QChar c);
    static QString Base64Char(int v);
    QString UniqueName();
    // UniqueName() + suffix, asked again until no file in folder holds that name: the names
    // repeat weekly and by their 8-character cut, and no file may replace an earlier one.
    QString UniqueFreeName(const QString& folder, const QString& suffix);
    void CheckFileRemoved(QString& path);
    void NormalizeReturnAddress();
    static QString ParseAddress(const QString& text);
    // The last part of a name taken from a message, with characters that cannot stand in a
    // file name replaced by "-"; "" when nothing usable is left.
    static QString SafeFileName(const QString& name);

    // ---- Run-time state (the handlers keep everything here; tests read it) ----
    gateway::Command LastCommand = gateway::Command::None;
    QString TargetHost;
    qint32 TargetPort = 0;
    std::array<QString, gateway::kMessageSlots> MsgFiles;
    std::array<QString, gateway::kMessageSlots> MsgRecipients;
    std::array<QString, gateway::kMessageSlots> MsgAttachments;
    qint16 MsgCount = 0;
    qint32 RcptIndex = 0;
    qint16 MsgIndex = 0;          // SMTP: the message being sent, 1-based; kept across cycles
    qint16 SmtpReplyCode = 0;
    QStringList RawLines;         // line n is RawLines[n - 1]
    qint32 RawLinesNumber = 0;
    qint32 CurrentLine = 0;       // 1-based index into RawLines used by the decoders
    QString ReceiveBuffer;
    qint32 AttachNumber = 0;
    QStringList AttachNames;      // names of the message in hand; scripts reach the first 20
    qint32 CurrentMsg = 0;        // POP: the message being handled, 1-based; kept across cycles
    qint32 MsgTotal = 0;          // POP: the count STAT reported

    // Bytes from the server, in the order they arrived; lines are answered as they complete.
    void feed(const QByteArray& bytes);
    // The tick of the poll timer (also run when data arrives) and the socket notifications.
    void tmrSocket_Timer();
    void Socket_Connect();
    void Socket_Close();
    // The TLS handshake the gateway asked for has secured the connection.
    void Socket_Encrypted();
    // The TLS handshake failed; certificate: the server's certificate was refused (reason says
    // why), else reason says what broke the handshake. The connection is given up.
    void Socket_TlsFailed(const QString& reason, bool certificate);

    // The one MIME boundary of the program.
    static const QString Boundary;

signals:
    void ScriptPOP();
    void XWWWInterval(bool& b);
    // The LogMessage event; the script-visible method keeps the plain name.
    void LogMessageEvent();
    void StateChanged(const QString& state);

private:
    friend class gateway::frmSocket;
    friend struct GatewayFuzzAccess;   // the fuzz target files raw lines directly
    friend struct GatewayTestAccess;   // conversation tables start from a chosen state

    void setState(gateway::GwState s);
    void log(const QString& s);
    gateway::Transport& transport() const;
    // "cannot connect to host:port: reason" when the connection never opened; "" otherwise.
    QString connectFailure() const;
    // False (with the error line logged) when the text could not be handed to the transport.
    bool SocketSend(const QString& text);
    // Sends one command line; with LogExtra it is written to the transcript first.
    void sendCommand(const QString& command);
    // Sends a line that is a secret as a whole (an answer of a LOGIN exchange): "****" in the transcript.
    void sendSecret(const QString& line);
    // The security setting of the phase in progress (None while idle).
    config::Security phaseSecurity() const;
    bool smtpPhase() const;
    // The server of this phase is this machine, where a login in the clear crosses no network.
    bool serverOnLoopback() const;
    void beginTls();
    // Gives up the connection after a failure that has been logged: the sending phase goes on
    // to receiving, the receiving phase ends the cycle. Nothing more is said to the server.
    void endSession();
    void transcriptReceived(const QString& line);
    // Answers the complete lines of chunk; the first line end is looked for from "from" on.
    void dispatchLines(QString chunk, qsizetype from);
    void lineTooLong();
    // One line of a message being downloaded; false when the download was given up for it.
    bool takeDownloadLine(const QString& line);
    // Forgets a download that will not be filed.
    void dropDownload();
    void checkSilence();
    void raiseScriptPOP();

    void SmtpConverse(const QString& reply);
    void smtpGreet();
    void smtpEhloDone();
    void smtpAuthenticate();
    void smtpLoggedIn();
    void smtpQuit();
    void smtpMailFrom();
    void smtpRcpt(const QString& recipient);
    void smtpMessageDone();
    void smtpFinished();
    void smtpSendMessage();
    void smtpErrorReply(const QString& reply);
    void smtpBounce(const QString& file);
    QString smtpRecipient(int msgIndex, int r) const;
    void PopStart();
    void PopConverse(const QString& reply);
    void PopNextMessage(qint32& current, qint32& total);
    void popQuitOnError(const QString& line);
    void popLogin();
    void popStartDownload(const QString& reply);
    void popDownloadDone(const QString& line);
    // The first line of a download: the status line; false when the server refused.
    bool popDownloadStatus(const QString& line);
    // The record of filed messages (FiledRecord): asked for with UIDL after STAT when it is
    // wanted; false when it is not, so the messages are taken as they come.
    bool filedRecordWanted() const;
    bool popAskUniqueIds();
    bool loadFiledRecord();
    void popUidl(const QString& line);
    void forgetGoneIds();
    void recordFiled();

    // Files the message in RawLines (filing.cpp); false when a file could not be written.
    bool FileReceivedMessage();
    // The header section into the kept headers, and what its content lines say of the body.
    void readHeaderSection(QString& encoding, QString& name, QString& boundary);
    void walkMultipart(QString boundary, gateway::AtomicTextFile& file, StringBuilder& body);
    // Writes the part at CurrentLine as an attachment, decoded by its encoding.
    void decodeAttachment(const QString& encoding, QString& name);
    void writeBodyLine(const QString& line, gateway::AtomicTextFile& file, StringBuilder& body);
    void writeAutoReply();
    // Keeps the message as received in PathMsgInRaw when one of its attachments did not decode.
    void keepRawMessage();
    // Remembers the first write of the message being filed that failed, and why.
    void noteFilingError(const platform::FileErr& e, const QString& path);
    // A file written for the message being filed, taken away again if the message is not stored.
    void noteFiled(const QString& path);
    bool fileFailure(const QString& member, int number, const QString& description);

    enum class Composed { Ok, WithNote, Failed };
    void mappingStage();
    // Maps one data file to a message to address, or without one moves it to the reject
    // folder; false when it is passed over in this cycle (still being written, a step failed).
    bool takeDataFile(const QFileInfo& fi, const QString* address);
    // Moves a link or a special file to the reject folder without reading it.
    void rejectUnread(const QString& f, bool link);
    void rejectSweep(const QStringList& mappedTails);
    void sweepLeftovers();
    // Removes the attachment copies recorded as composed into a message that is gone.
    void sweepComposedCopies();
    // Whether a queued message not yet composed names name (bare) among its attachments.
    bool attachmentWanted(const QString& name) const;
    void recordComposed(const QString& message, const QString& name);
    // Leaves the copies composed into message where they are from now on.
    void forgetComposed(const QString& message);
    // Rewrites the record of composed copies with the lines keep accepts, when it drops any.
    static void keepComposedLines(const std::function<bool(const QString&)>& keep);
    static void writeComposedRecord(const QStringList& lines);
    bool listAndCompose();
    Composed composeMessage(int slot);
    void connectStage();
    // Decodes the part at CurrentLine into an attachment file in the incoming attachment folder
    // as it goes, leaving CurrentLine on the part's last line; an empty or unusable name is
    // replaced by a fresh unique one and stored back.
    void writeAttachment(QString& name, gateway::PartDecoder& decoder);
    // Line n (from 1) of the message being filed: the lines kept in RawLines, then those that
    // went to the spool; and how many there are in all.
    QString rawLine(qint32 n);
    qint32 lineCount() const { return RawLinesNumber + spooledLines_; }
    // Lets go of the spool of the message that was being received or filed.
    void dropSpool();

    // Counts the waits under way in which events run; ReleaseLater defers to the last one.
    struct WaitScope {
        explicit WaitScope(clsInetGateway& g) : g(g) { ++g.waits_; }
        ~WaitScope();
        WaitScope(const WaitScope&) = delete;
        WaitScope& operator=(const WaitScope&) = delete;
        clsInetGateway& g;
    };
    int waits_ = 0;
    bool releasePending_ = false;

    gateway::GwState state_ = gateway::GwState::Standby;
    gateway::Transport* transport_ = nullptr;   // null: the shared socket
    QString incoming_;            // arrived while earlier lines were still being answered
    QString loggedMessage_;
    QString lastUniqueName_;
    QDateTime lastArrival_;       // when the server last said anything (for the silence bound)
    QDateTime sessionStart_;      // when the connection in progress was started (for the session bound)
    qsizetype scanned_ = 0;       // how much of ReceiveBuffer holds no line end
    qint64 downloadBytes_ = 0;    // bytes of the message being downloaded so far
    qint64 downloadLimit_ = 2 * 200000 + 65536;   // more than this ends the session (set at each LIST)
    bool sentSinceTick_ = false;
    bool inReceive_ = false;
    bool closePending_ = false;
    bool endSessionPending_ = false;
    enum class Tls { Off, Handshaking, Up };
    Tls tls_ = Tls::Off;          // of the connection in progress
    QStringList smtpExtensions_;  // the keywords of the last EHLO reply, in upper case
    bool smtpAuthLogin_ = false;  // the login under way is LOGIN (answers 334 prompts), not PLAIN
    bool inConnect_ = false;
    bool inScriptPOP_ = false;
    int lastErrorNumber_ = 0;
    QString lastErrorText_;
    int filingError_ = 0;         // the first failed write of the message being filed
    QString filingCause_;         // its description and path
    QStringList writtenFiles_;    // the files written for the message being filed
    // A message larger than scripts are shown goes, past its first lines, to a hidden work
    // file (the spool) instead of memory; filing reads it from there in order.
    std::unique_ptr<QFile> spool_;
    QString spoolPath_;
    qint32 spooledLines_ = 0;
    qint64 keptBytes_ = 0;        // bytes of the lines kept in RawLines during a download
    int spoolErrNumber_ = 0;      // a write to the spool failed: the message cannot be filed
    QString spoolErrText_;
    std::unique_ptr<QFile> spoolReader_;
    qint32 spoolAt_ = 0;          // the line the reader gave last (counted from 1 in all lines)
    QString spoolLine_, spoolPrevious_;
    bool partialAttachments_ = false;   // the message being filed was cut (taken with TOP)
    QStringList undecodable_;     // attachments of the message being filed that did not decode cleanly
    bool downloadStatusSeen_ = false;
    bool stopRequested_ = false;
    bool uidlListing_ = false;    // the UIDL reply's +OK seen, its id lines follow
    bool uidlWarned_ = false;     // a server without UIDL is named once
    QHash<qint32, QString> serverIds_;   // message number to unique id, this session's
    gateway::FiledRecord filed_;
    // Seeded from the clock when the gateway is created, for the renamed attachments.
    QRandomGenerator random_{quint32(QDateTime::currentMSecsSinceEpoch())};
};
