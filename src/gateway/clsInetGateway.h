// The e-mail gateway object: its settings fields, run-time state, events and state machine.
// One class, one .cpp per concern: socket.cpp (transport and line dispatch), compose.cpp
// (mapping and composition), smtp.cpp, pop3.cpp, files.cpp and the mime_*.cpp codecs.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QDateTime>

#include <array>

#include "config/RunningConfig.h"

namespace gateway {
class frmSocket;
}

class clsInetGateway : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString State READ State NOTIFY StateChanged)
    Q_PROPERTY(QString LoggedMessage READ LoggedMessage NOTIFY LogMessageEvent)

public:
    explicit clsInetGateway(QObject* parent = nullptr);
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
    bool Connected = false;

    // Assigns every settings field the settings reader produced.
    void applySettings(const config::GatewaySettings& s);

    QString State() const { return state_; }
    QString LoggedMessage() const { return loggedMessage_; }

    // Reports a caller-supplied text exactly as the gateway reports its own lines.
    void LogMessage(const QString& s);

    // ---- Cycle and transport ----
    // Starts an e-mail cycle: maps, lists, composes, then opens the SMTP connection and returns.
    void ProcessStart();
    // "OK" (connect under way), "Error: Host not found" or "ERROR connecting: " + details.
    QString SocketConnect();
    void SocketDisconnect();
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

    // ---- Run-time state (the handlers keep everything here; tests read it) ----
    QString LastCommand;
    QString TargetHost;
    qint32 TargetPort = 0;
    std::array<QString, 50> MsgFiles;
    std::array<QString, 50> MsgRecipients;
    std::array<QString, 50> MsgAttachments;
    qint16 MsgCount = 0;
    qint32 RcptIndex = 0;
    qint16 MsgIndex = 0;          // SMTP: the message being sent, 1-based; kept across cycles
    qint16 SmtpReplyCode = 0;
    QStringList RawLines;         // line n is RawLines[n - 1]
    qint32 RawLinesNumber = 0;
    qint32 CurrentLine = 0;       // 1-based index into RawLines used by the decoders
    QString ReceiveBuffer;
    qint32 AttachNumber = 0;
    QStringList AttachNames;      // names 1 to 20 of the message in hand

    // The tick of the poll timer (also run when data arrives) and the socket notifications.
    void tmrSocket_Timer();
    void Socket_Connect();
    void Socket_Close();

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

    void setState(const QString& s);
    void log(const QString& s);
    void SocketSend(const QString& text);
    void receive();
    void dispatchLines(QString chunk);
    void checkSilence();

    void SmtpConverse(const QString& reply);
    void smtpMessageDone();
    void smtpSendMessage();
    void smtpErrorReply(const QString& reply);
    void smtpBounce(const QString& file);
    QString smtpRecipient(int msgIndex, int r) const;
    void PopStart();
    void PopConverse(const QString& reply);

    enum class Composed { Ok, WithNote, Failed };
    void mappingStage();
    bool mapOneFile(const QString& f, const QString& address);
    void rejectSweep();
    bool listAndCompose();
    Composed composeMessage(int slot);
    void connectStage();
    // Writes an attachment file into the incoming attachment folder; an empty or unusable
    // name is replaced by a fresh unique one and stored back.
    void writeAttachment(QString& name, const QByteArray& data);

    QString state_ = QStringLiteral("STANDBY");
    QString loggedMessage_;
    QString lastUniqueName_;
    QDateTime lastArrival_;       // when the server last said anything (for the silence bound)
    bool sentSinceTick_ = false;
    bool inReceive_ = false;
    bool closePending_ = false;
    bool inConnect_ = false;
    int lastErrorNumber_ = 0;
    QString lastErrorText_;
};
