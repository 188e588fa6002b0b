// Points the running configuration's data folders at fresh sub-folders of one root, as the
// gateway tests and benchmarks need them.
#pragma once

#include "config/RunningConfig.h"

#include <QDir>
#include <QString>

namespace tw::test {

// Creates root/<name>/ and returns it with the trailing "/".
inline QString MakeFolder(const QString& root, const QString& name)
{
    QDir(root).mkpath(name);
    return root + QLatin1Char('/') + name + QLatin1Char('/');
}

// Home, message, attachment and mapping folders, each a new sub-folder of root.
inline void UseFoldersUnder(const QString& root)
{
    auto& rc = config::Running();
    rc.PathHome = MakeFolder(root, QStringLiteral("home"));
    rc.PathMsgOut = MakeFolder(root, QStringLiteral("msgout"));
    rc.PathMsgIn = MakeFolder(root, QStringLiteral("msgin"));
    rc.PathAttachOut = MakeFolder(root, QStringLiteral("attachout"));
    rc.PathAttachIn = MakeFolder(root, QStringLiteral("attachin"));
    rc.PathExtMap = MakeFolder(root, QStringLiteral("extmap"));
    rc.PathExtMapArchive = MakeFolder(root, QStringLiteral("archive"));
    rc.PathExtMapReject = MakeFolder(root, QStringLiteral("reject"));
    rc.PathMsgInRaw = MakeFolder(root, QStringLiteral("msginraw"));
}

} // namespace tw::test
