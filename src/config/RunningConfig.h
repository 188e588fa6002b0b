// The running configuration: the program-wide values that the settings reader fills from
// Tarnwick.ini, plus the gateway's settings fields as read, before they are handed over.
#pragma once

#include <QString>

namespace config {

// How a connection is secured: not at all, by the protocol's upgrade command after a plain
// connect, or with TLS from the first byte.
enum class Security { None, StartTLS, TLS };

// "None", "StartTLS" or "TLS", as the settings file holds it.
QString SecurityText(Security s);

// The gateway's public settings fields as the settings reader produces them. The main
// window copies them onto the gateway object (which holds fields of the same names).
struct GatewaySettings {
    qint16 TimeOut = 50;
    qint32 SMTPPort = 25;
    QString SMTPServer;
    QString SMTPDomain;
    qint32 POPPort = 110;
    QString PopServer = QStringLiteral("127.0.0.1");
    QString UserName = QStringLiteral("127.0.0.1");
    QString Password;            // plain text, already unscrambled
    bool DeleteOffServer = false;
    qint32 MessageMax = 2000000;
    QString ReturnAddress;
    QString ExtMap;              // entries separated by char 254, extension and address by 253
    Security SMTPSecurity = Security::None;
    Security POPSecurity = Security::None;
    QString SMTPUserName;        // empty: no SMTP authentication
    QString SMTPPassword;        // plain text, already unscrambled
    QString CAFile;              // absolute path of extra trusted certificates (PEM); empty: none
};

// Program-wide values. Every folder ends with "/" once the settings have been read.
struct RunningConfig {
    QString INIPath;
    QString PathHome;
    QString PathMsgOut;
    QString PathMsgIn;
    QString PathAttachOut;
    QString PathAttachIn;
    QString PathExtMap;
    QString PathExtMapArchive;
    QString PathExtMapReject;
    QString PathMsgInRaw;        // received messages kept as they came when an attachment would not decode
    qint32 EmailInterval = 120;  // seconds between e-mail cycles
    qint32 WWWInterval = 120;    // seconds between web cycles
    qint32 MonitorPause = 8;     // seconds
    QString ScriptOnReceive = QStringLiteral("onReceive.txt");
    QString ScriptOnInterval = QStringLiteral("onInterval.txt");
    bool LogExtra = false;
    bool Unattended = false;
    bool MultiInstance = false;
    bool FollowLinks = false;    // symbolic links in the mapping folder are sent, not rejected
    bool SkipSeen = false;       // without DeleteOffServer, messages filed before are not taken again
};

// The one running configuration of the process. Only the settings reader writes it (tests
// may set fields directly); everything else reads it.
RunningConfig& Running();

} // namespace config
