// Names of the settings file, its sections and keys, and their default texts.
#pragma once

#include <QString>

namespace config::keys {

inline const QString kIniFileName = QStringLiteral("Tarnwick.ini");
inline const QString kExtMapFileName = QStringLiteral("extmap.ini");

inline const QString kGlobal = QStringLiteral("Global");
inline const QString kEmail = QStringLiteral("Email");
inline const QString kWWW = QStringLiteral("WWW");

inline const QString kLogExtra = QStringLiteral("LogExtra");
inline const QString kUnattended = QStringLiteral("Unattended");
inline const QString kMultiInstance = QStringLiteral("MultiInstance");
inline const QString kTimeout = QStringLiteral("Timeout");
inline const QString kSMTPPort = QStringLiteral("SMTPPort");
inline const QString kSMTPServer = QStringLiteral("SMTPServer");
inline const QString kSMTPDomain = QStringLiteral("SMTPDomain");
inline const QString kPOPPort = QStringLiteral("POPPort");
inline const QString kPOPServer = QStringLiteral("POPServer");
inline const QString kUserName = QStringLiteral("UserName");
inline const QString kPassword = QStringLiteral("Password");
inline const QString kDeleteOffServer = QStringLiteral("DeleteOffServer");
inline const QString kMessageMax = QStringLiteral("MessageMax");
inline const QString kCheckInterval = QStringLiteral("CheckInterval");
inline const QString kReturnAddress = QStringLiteral("ReturnAddress");
inline const QString kScriptOnReceive = QStringLiteral("ScriptOnReceive");
inline const QString kScriptOnInterval = QStringLiteral("ScriptOnInterval");
inline const QString kMonitorPause = QStringLiteral("MonitorPause");
inline const QString kSMTPSecurity = QStringLiteral("SMTPSecurity");
inline const QString kPOPSecurity = QStringLiteral("POPSecurity");
inline const QString kSMTPUserName = QStringLiteral("SMTPUserName");
inline const QString kSMTPPassword = QStringLiteral("SMTPPassword");
inline const QString kCAFile = QStringLiteral("CAFile");

// Values of SMTPSecurity and POPSecurity, in the order of config::Security.
inline const QString kSecurityNone = QStringLiteral("None");
inline const QString kSecurityStartTLS = QStringLiteral("StartTLS");
inline const QString kSecurityTLS = QStringLiteral("TLS");

// Entries of the mapping folder that are symbolic links are followed only when this is True.
inline const QString kFollowLinks = QStringLiteral("FollowLinks");
inline const QString kSkipSeen = QStringLiteral("SkipSeen");

inline const QString kPathHome = QStringLiteral("PathHome");
inline const QString kPathMsgOut = QStringLiteral("PathMsgOut");
inline const QString kPathAttachOut = QStringLiteral("PathAttachOut");
inline const QString kPathMsgIn = QStringLiteral("PathMsgIn");
inline const QString kPathAttachIn = QStringLiteral("PathAttachIn");
inline const QString kPathExtMap = QStringLiteral("PathExtMap");
inline const QString kPathExtMapArchive = QStringLiteral("PathExtMapArchive");
inline const QString kPathExtMapReject = QStringLiteral("PathExtMapReject");
inline const QString kPathMsgInRaw = QStringLiteral("PathMsgInRaw");

// Default names of the data folders under PathHome.
inline const QString kDirMsgIn = QStringLiteral("MsgIn/");
inline const QString kDirMsgOut = QStringLiteral("MsgOut/");
inline const QString kDirAttachIn = QStringLiteral("AttachIn/");
inline const QString kDirAttachOut = QStringLiteral("AttachOut/");
inline const QString kDirExtMap = QStringLiteral("ExtMap/");
inline const QString kDirExtMapArchive = QStringLiteral("ExtMapArchive/");
inline const QString kDirExtMapReject = QStringLiteral("ExtMapReject/");
inline const QString kDirMsgInRaw = QStringLiteral("MsgInRaw/");

} // namespace config::keys
