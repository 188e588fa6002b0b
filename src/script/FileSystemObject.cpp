// Scripting.FileSystemObject with its File, Folder, Files and Folders objects. Paths use "/";
// a "\" in a script's path is taken as "/" so scripts written for the other separator run
// unchanged. Wildcards ("*", "?") are allowed in the last part of a copy, move or delete
// source and match names without regard to case, as the scripts' original platform does.
#include "script/Library.h"
#include "script/TextStream.h"

#include "platform/VbDate.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace script::lib {

namespace {

constexpr int kFileNotFound = 53;
constexpr int kFileExists = 58;
constexpr int kPermission = 70;
constexpr int kPathNotFound = 76;

QString fsPath(QString p)
{
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

QString pathArg(Args a, size_t i) { return fsPath(str(a, i)); }

bool endsWithSep(const QString& p) { return p.endsWith(QLatin1Char('/')); }

// The path without trailing separators (the root stays "/").
QString stripSep(QString p)
{
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p;
}

QString lastPart(const QString& path)
{
    QString p = stripSep(path);
    if (p == QLatin1String("/"))
        return QString();
    return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1);
}

QString parentPart(const QString& path)
{
    QString p = stripSep(path);
    qsizetype i = p.lastIndexOf(QLatin1Char('/'));
    if (i < 0)
        return QString();
    if (i == 0)
        return p.size() > 1 ? QStringLiteral("/") : QString();
    return p.left(i);
}

QString absolute(const QString& p)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(p.isEmpty() ? QStringLiteral(".") : p));
}

bool hasWildcard(const QString& name)
{
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

// Names in folder matching a wildcard pattern; "*.*" matches names without a dot too.
QStringList matching(const QString& folder, QString pattern, bool dirs)
{
    if (pattern == QLatin1String("*.*"))
        pattern = QStringLiteral("*");
    QDir d(folder.isEmpty() ? QStringLiteral(".") : folder);
    if (!d.exists())
        raiseError(kPathNotFound);
    QDir::Filters f = (dirs ? QDir::Dirs | QDir::NoDotAndDotDot : QDir::Files) | QDir::Hidden | QDir::System;
    return d.entryList({pattern}, f, QDir::Name);
}

QString joinPath(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return name;
    return endsWithSep(folder) ? folder + name : folder + QLatin1Char('/') + name;
}

bool isReadOnly(const QFileInfo& fi) { return !(fi.permissions() & QFileDevice::WriteOwner); }

void copyOneFile(const QString& from, const QString& to, bool overwrite)
{
    QFileInfo src(from);
    if (!src.isFile())
        raiseError(kFileNotFound);
    QFileInfo dst(to);
    if (dst.isDir())
        raiseError(kPermission);
    if (!dst.dir().exists())
        raiseError(kPathNotFound);
    if (dst.exists()) {
        if (!overwrite)
            raiseError(kFileExists);
        if (isReadOnly(dst) || src.canonicalFilePath() == dst.canonicalFilePath())
            raiseError(kPermission);
        if (!QFile::remove(to))
            raiseError(kPermission);
    }
    if (!QFile::copy(from, to))
        raiseError(kPermission);
}

void moveOneFile(const QString& from, const QString& to)
{
    QFileInfo src(from);
    if (!src.isFile())
        raiseError(kFileNotFound);
    QFileInfo dst(to);
    if (dst.exists())
        raiseError(kFileExists);
    if (!dst.dir().exists())
        raiseError(kPathNotFound);
    if (!QFile::rename(from, to))
        raiseError(kPermission);
}

void copyTree(const QString& from, const QString& to, bool overwrite)
{
    QDir src(from);
    if (!src.exists())
        raiseError(kPathNotFound);
    QFileInfo dst(to);
    if (dst.exists() && !dst.isDir())
        raiseError(kFileExists);
    if (!dst.exists()) {
        if (!dst.dir().exists())
            raiseError(kPathNotFound);
        if (!QDir().mkdir(to))
            raiseError(kPermission);
    }
    // A folder copied into itself would never end.
    if (QDir::cleanPath(absolute(to) + QLatin1Char('/')).startsWith(QDir::cleanPath(absolute(from)) + QLatin1Char('/')))
        raiseError(kPermission);
    const QFileInfoList entries = src.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo& e : entries) {
        QString target = to + QLatin1Char('/') + e.fileName();
        if (e.isDir())
            copyTree(e.filePath(), target, overwrite);
        else
            copyOneFile(e.filePath(), target, overwrite);
    }
}

void moveTree(const QString& from, const QString& to)
{
    QFileInfo src(from);
    if (!src.isDir())
        raiseError(kPathNotFound);
    QFileInfo dst(to);
    if (dst.exists())
        raiseError(kFileExists);
    if (!dst.dir().exists())
        raiseError(kPathNotFound);
    if (QDir().rename(from, to))
        return;
    // Another file system: copy, then remove the source.
    copyTree(from, to, false);
    if (!QDir(from).removeRecursively())
        raiseError(kPermission);
}

void deleteOneFile(const QString& path, bool force)
{
    QFileInfo fi(path);
    if (!fi.isFile())
        raiseError(kFileNotFound);
    if (isReadOnly(fi) && !force)
        raiseError(kPermission);
    if (!QFile::remove(path))
        raiseError(kPermission);
}

void deleteTree(const QString& path)
{
    if (!QFileInfo(path).isDir())
        raiseError(kPathNotFound);
    if (!QDir(path).removeRecursively())
        raiseError(kPermission);
}

double dateOf(const QDateTime& dt) { return platform::ToOADate(dt); }

qint64 treeSize(const QString& path)
{
    qint64 n = 0;
    QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        n += it.fileInfo().size();
    }
    return n;
}

// Attribute bits scripts test: ReadOnly 1, Hidden 2, Directory 16, Archive 32.
int32_t attributesOf(const QFileInfo& fi)
{
    int32_t a = 0;
    if (isReadOnly(fi)) a |= 1;
    if (fi.fileName().startsWith(QLatin1Char('.'))) a |= 2;
    a |= fi.isDir() ? 16 : 32;
    return a;
}

void setAttributes(const QString& path, int32_t a)
{
    QFile::Permissions p = QFile::permissions(path);
    if (a & 1) p &= ~(QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup | QFileDevice::WriteOther);
    else p |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
    if (!QFile::setPermissions(path, p))
        raiseError(kPermission);
}

Variant numberOrDouble(qint64 n)
{
    return n <= INT32_MAX ? Variant::fromLong(int32_t(n)) : Variant::fromDouble(double(n));
}

Dispatch* newFile(const QString& path);
Dispatch* newFolder(const QString& path);

// Files or SubFolders of a folder, read afresh at every use.
class EntryList final : public Dispatch {
public:
    EntryList(QString folder, bool dirs) : folder_(std::move(folder)), dirs_(dirs) {}
    QString typeName() const override { return dirs_ ? QStringLiteral("Folders") : QStringLiteral("Files"); }
    int memberId(const QString& name, bool) override { return memberIndex(name, {"Item", "Count", "Add"}); }
    Variant invoke(int id, InvokeKind kind, Args a) override
    {
        if (kind != InvokeKind::Get)
            raiseError(errIllegalAssign);
        switch (id) {
        case kDefault: case 1: {
            checkArgs(a, 1, 1);
            QString path = joinPath(folder_, fsPath(str(a, 0)));
            QFileInfo fi(path);
            if (dirs_ ? !fi.isDir() : !fi.isFile())
                raiseError(dirs_ ? kPathNotFound : kFileNotFound);
            return Variant::fromObject(dirs_ ? newFolder(fi.absoluteFilePath()) : newFile(fi.absoluteFilePath()));
        }
        case 2:
            checkArgs(a, 0, 0);
            return Variant::fromLong(int32_t(names().size()));
        case 3: {
            if (!dirs_)
                raiseError(errNoMember);
            checkArgs(a, 1, 1);
            QString path = joinPath(folder_, fsPath(str(a, 0)));
            if (QFileInfo::exists(path))
                raiseError(kFileExists);
            if (!QDir().mkdir(path))
                raiseError(kPermission);
            return Variant::fromObject(newFolder(QFileInfo(path).absoluteFilePath()));
        }
        default:
            raiseError(errNoMember);
        }
    }
    bool enumerate(std::vector<Variant>& out) override
    {
        for (const QString& n : names()) {
            QString path = joinPath(folder_, n);
            out.push_back(Variant::fromObject(dirs_ ? newFolder(path) : newFile(path)));
        }
        return true;
    }

private:
    QStringList names() const { return matching(folder_, QStringLiteral("*"), dirs_); }
    QString folder_;
    bool dirs_;
};

enum EntryMember {
    eAttributes = 1, eDateCreated, eDateLastAccessed, eDateLastModified, eDrive, eName, eParentFolder, ePath,
    eShortName, eShortPath, eSize, eType, eCopy, eDelete, eMove, eOpenAsTextStream, eFiles, eSubFolders,
    eIsRootFolder, eCreateTextFile,
};

// File and Folder: one path, looked at afresh by every member.
class Entry final : public Dispatch {
public:
    Entry(QString path, bool dir) : path_(std::move(path)), dir_(dir) {}
    QString typeName() const override { return dir_ ? QStringLiteral("Folder") : QStringLiteral("File"); }
    int memberId(const QString& name, bool) override
    {
        int id = memberIndex(name, {"Attributes", "DateCreated", "DateLastAccessed", "DateLastModified", "Drive",
                                    "Name", "ParentFolder", "Path", "ShortName", "ShortPath", "Size", "Type", "Copy",
                                    "Delete", "Move", "OpenAsTextStream", "Files", "SubFolders", "IsRootFolder",
                                    "CreateTextFile"});
        if (dir_ ? id == eOpenAsTextStream : id >= eFiles)
            return -1;
        return id;
    }
    Variant invoke(int id, InvokeKind kind, Args a) override
    {
        if (id == kDefault)
            id = ePath;
        if (kind != InvokeKind::Get)
            return assign(id, a);
        QFileInfo fi = info();
        switch (id) {
        case eAttributes: return Variant::fromLong(attributesOf(fi));
        case eDateCreated: {
            QDateTime t = fi.birthTime();
            return Variant::fromDate(dateOf(t.isValid() ? t : fi.metadataChangeTime()));
        }
        case eDateLastAccessed: return Variant::fromDate(dateOf(fi.lastRead()));
        case eDateLastModified: return Variant::fromDate(dateOf(fi.lastModified()));
        case eDrive: return Variant::fromString(QString());
        case eName: case eShortName: return Variant::fromString(path_ == QLatin1String("/") ? QString() : fi.fileName());
        case eParentFolder: {
            QString parent = parentPart(path_);
            if (parent.isEmpty())
                return Variant::fromObject(nullptr);
            return withArgs(Variant::fromObject(newFolder(parent)), a);
        }
        case ePath: case eShortPath: return Variant::fromString(path_);
        case eSize: return numberOrDouble(dir_ ? treeSize(path_) : fi.size());
        case eType: {
            if (dir_)
                return Variant::fromString(QStringLiteral("File folder"));
            QString ext = fi.suffix();
            return Variant::fromString(ext.isEmpty() ? QStringLiteral("File") : ext.toUpper() + QStringLiteral(" File"));
        }
        case eCopy: {
            checkArgs(a, 1, 2);
            QString to = pathArg(a, 0);
            bool overwrite = optBool(a, 1, true);
            if (dir_)
                copyTree(path_, endsWithSep(to) ? to + fi.fileName() : to, overwrite);
            else
                copyOneFile(path_, endsWithSep(to) ? to + fi.fileName() : to, overwrite);
            return Variant();
        }
        case eDelete:
            checkArgs(a, 0, 1);
            if (dir_) deleteTree(path_);
            else deleteOneFile(path_, optBool(a, 0, false));
            return Variant();
        case eMove: {
            checkArgs(a, 1, 1);
            QString to = pathArg(a, 0);
            if (endsWithSep(to))
                to += fi.fileName();
            if (dir_) moveTree(path_, to);
            else moveOneFile(path_, to);
            path_ = QFileInfo(to).absoluteFilePath();
            return Variant();
        }
        case eOpenAsTextStream:
            checkArgs(a, 0, 2);
            return Variant::fromObject(openTextFile(path_, optLong(a, 0, 1), false, optLong(a, 1, 0)));
        // Files("name") reaches the collection's default member, as scripts write it.
        case eFiles: return withArgs(Variant::fromObject(new EntryList(path_, false)), a);
        case eSubFolders: return withArgs(Variant::fromObject(new EntryList(path_, true)), a);
        case eIsRootFolder: return Variant::fromBool(path_ == QLatin1String("/"));
        case eCreateTextFile: {
            checkArgs(a, 1, 3);
            QString p = joinPath(path_, pathArg(a, 0));
            if (!optBool(a, 1, true) && QFileInfo::exists(p))
                raiseError(kFileExists);
            return Variant::fromObject(openTextFile(p, 2, true, optBool(a, 2, false) ? -1 : 0));
        }
        default:
            raiseError(errNoMember);
        }
    }

private:
    QFileInfo info() const
    {
        QFileInfo fi(path_);
        if (dir_ ? !fi.isDir() : !fi.isFile())
            raiseError(dir_ ? kPathNotFound : kFileNotFound);
        return fi;
    }

    Variant assign(int id, Args a)
    {
        checkArgs(a, 1, 1);
        info();
        switch (id) {
        case eAttributes:
            setAttributes(path_, lng(a, 0));
            return Variant();
        case eName: {
            QString name = str(a, 0);
            if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
                raiseError(errInvalidCall);
            QString to = joinPath(parentPart(path_), name);
            if (QFileInfo::exists(to))
                raiseError(kFileExists);
            if (!QDir().rename(path_, to))
                raiseError(kPermission);
            path_ = to;
            return Variant();
        }
        default:
            raiseError(id < 0 ? errNoMember : errIllegalAssign);
        }
    }

    QString path_;
    bool dir_;
};

Dispatch* newFile(const QString& path) { return new Entry(path, false); }
Dispatch* newFolder(const QString& path) { return new Entry(path, true); }

enum FsoMember {
    fBuildPath = 1, fCopyFile, fCopyFolder, fCreateFolder, fCreateTextFile, fDeleteFile, fDeleteFolder,
    fDriveExists, fFileExists, fFolderExists, fGetAbsolutePathName, fGetBaseName, fGetDriveName,
    fGetExtensionName, fGetFile, fGetFileName, fGetFolder, fGetParentFolderName, fGetSpecialFolder,
    fGetTempName, fMoveFile, fMoveFolder, fOpenTextFile, fGetFileVersion,
};

const char kFsoShape = 0;

// Runs op on every source that pattern names: each wildcard match, or pattern itself.
template <class Op> void forEachSource(const QString& pattern, bool dirs, Op op)
{
    QString name = lastPart(pattern);
    if (!hasWildcard(name)) {
        op(stripSep(pattern), name, false);
        return;
    }
    QString folder = parentPart(pattern);
    QStringList names = matching(folder, name, dirs);
    if (names.isEmpty())
        raiseError(dirs ? kPathNotFound : kFileNotFound);
    for (const QString& n : names)
        op(joinPath(folder, n), n, true);
}

class FileSystemObject final : public Dispatch {
public:
    QString typeName() const override { return QStringLiteral("FileSystemObject"); }
    const void* shape() const override { return &kFsoShape; }
    int memberId(const QString& name, bool) override
    {
        return memberIndex(name, {"BuildPath", "CopyFile", "CopyFolder", "CreateFolder", "CreateTextFile",
                                  "DeleteFile", "DeleteFolder", "DriveExists", "FileExists", "FolderExists",
                                  "GetAbsolutePathName", "GetBaseName", "GetDriveName", "GetExtensionName", "GetFile",
                                  "GetFileName", "GetFolder", "GetParentFolderName", "GetSpecialFolder", "GetTempName",
                                  "MoveFile", "MoveFolder", "OpenTextFile", "GetFileVersion"});
    }

    Variant invoke(int id, InvokeKind kind, Args a) override
    {
        if (kind != InvokeKind::Get || id == kDefault)
            raiseError(errNoMember);
        switch (id) {
        case fBuildPath: {
            checkArgs(a, 2, 2);
            QString base = pathArg(a, 0), name = pathArg(a, 1);
            while (name.startsWith(QLatin1Char('/')) && !base.isEmpty())
                name.remove(0, 1);
            return Variant::fromString(joinPath(base, name));
        }
        case fCopyFile: {
            checkArgs(a, 2, 3);
            QString to = pathArg(a, 1);
            bool overwrite = optBool(a, 2, true);
            forEachSource(pathArg(a, 0), false, [&](const QString& from, const QString& name, bool wild) {
                if (wild || endsWithSep(to)) {
                    if (!QFileInfo(to).isDir())
                        raiseError(kPathNotFound);
                    copyOneFile(from, joinPath(to, name), overwrite);
                } else {
                    copyOneFile(from, to, overwrite);
                }
            });
            return Variant();
        }
        case fCopyFolder: {
            checkArgs(a, 2, 3);
            QString to = pathArg(a, 1);
            bool overwrite = optBool(a, 2, true);
            forEachSource(pathArg(a, 0), true, [&](const QString& from, const QString& name, bool wild) {
                if (wild || endsWithSep(to)) {
                    if (!QFileInfo(to).isDir())
                        raiseError(kPathNotFound);
                    copyTree(from, joinPath(to, name), overwrite);
                } else {
                    copyTree(from, to, overwrite);
                }
            });
            return Variant();
        }
        case fCreateFolder: {
            checkArgs(a, 1, 1);
            QString p = stripSep(pathArg(a, 0));
            QFileInfo fi(p);
            if (fi.exists())
                raiseError(kFileExists);
            if (!fi.dir().exists())
                raiseError(kPathNotFound);
            if (!QDir().mkdir(p))
                raiseError(kPermission);
            return Variant::fromObject(newFolder(fi.absoluteFilePath()));
        }
        case fCreateTextFile: {
            checkArgs(a, 1, 3);
            QString p = pathArg(a, 0);
            if (!optBool(a, 1, true) && QFileInfo::exists(p))
                raiseError(kFileExists);
            return Variant::fromObject(openTextFile(p, 2, true, optBool(a, 2, false) ? -1 : 0));
        }
        case fDeleteFile: {
            checkArgs(a, 1, 2);
            bool force = optBool(a, 1, false);
            forEachSource(pathArg(a, 0), false, [&](const QString& p, const QString&, bool) { deleteOneFile(p, force); });
            return Variant();
        }
        case fDeleteFolder: {
            checkArgs(a, 1, 2);
            forEachSource(pathArg(a, 0), true, [&](const QString& p, const QString&, bool) { deleteTree(p); });
            return Variant();
        }
        case fDriveExists:
            checkArgs(a, 1, 1);
            return Variant::fromBool(false);
        case fFileExists:
            checkArgs(a, 1, 1);
            return Variant::fromBool(QFileInfo(pathArg(a, 0)).isFile());
        case fFolderExists:
            checkArgs(a, 1, 1);
            return Variant::fromBool(QFileInfo(pathArg(a, 0)).isDir());
        case fGetAbsolutePathName:
            checkArgs(a, 1, 1);
            return Variant::fromString(absolute(pathArg(a, 0)));
        case fGetBaseName: {
            checkArgs(a, 1, 1);
            QString n = lastPart(pathArg(a, 0));
            qsizetype dot = n.lastIndexOf(QLatin1Char('.'));
            return Variant::fromString(dot < 0 ? n : n.left(dot));
        }
        case fGetDriveName:
            checkArgs(a, 1, 1);
            return Variant::fromString(QString());
        case fGetExtensionName: {
            checkArgs(a, 1, 1);
            QString n = lastPart(pathArg(a, 0));
            qsizetype dot = n.lastIndexOf(QLatin1Char('.'));
            return Variant::fromString(dot < 0 ? QString() : n.mid(dot + 1));
        }
        case fGetFile: {
            checkArgs(a, 1, 1);
            QFileInfo fi(pathArg(a, 0));
            if (!fi.isFile())
                raiseError(kFileNotFound);
            return Variant::fromObject(newFile(fi.absoluteFilePath()));
        }
        case fGetFileName:
            checkArgs(a, 1, 1);
            return Variant::fromString(lastPart(pathArg(a, 0)));
        case fGetFolder: {
            checkArgs(a, 1, 1);
            QString p = pathArg(a, 0);
            QFileInfo fi(p.isEmpty() ? QStringLiteral(".") : p);
            if (!fi.isDir())
                raiseError(kPathNotFound);
            return Variant::fromObject(newFolder(absolute(fi.filePath())));
        }
        case fGetParentFolderName:
            checkArgs(a, 1, 1);
            return Variant::fromString(parentPart(pathArg(a, 0)));
        case fGetSpecialFolder: {
            checkArgs(a, 1, -1);
            int32_t which = lng(a, 0);
            // 0 the system's own folder, 1 its programs, 2 the temporary folder.
            QString p = which == 0 ? QStringLiteral("/usr") : which == 1 ? QStringLiteral("/usr/bin")
                      : which == 2 ? QDir::tempPath() : QString();
            if (p.isEmpty())
                raiseError(errInvalidCall);
            return withArgs(Variant::fromObject(newFolder(p)), a.subspan(1));
        }
        case fGetTempName:
            checkArgs(a, 0, 0);
            return Variant::fromString(QStringLiteral("rad%1.tmp").arg(
                QString::number(QRandomGenerator::global()->bounded(0x100000), 16).toUpper().rightJustified(5, QLatin1Char('0'))));
        case fMoveFile: {
            checkArgs(a, 2, 2);
            QString to = pathArg(a, 1);
            forEachSource(pathArg(a, 0), false, [&](const QString& from, const QString& name, bool wild) {
                if (wild || endsWithSep(to)) {
                    if (!QFileInfo(to).isDir())
                        raiseError(kPathNotFound);
                    moveOneFile(from, joinPath(to, name));
                } else {
                    moveOneFile(from, to);
                }
            });
            return Variant();
        }
        case fMoveFolder: {
            checkArgs(a, 2, 2);
            QString to = pathArg(a, 1);
            forEachSource(pathArg(a, 0), true, [&](const QString& from, const QString& name, bool wild) {
                if (wild || endsWithSep(to)) {
                    if (!QFileInfo(to).isDir())
                        raiseError(kPathNotFound);
                    moveTree(from, joinPath(to, name));
                } else {
                    moveTree(from, stripSep(to));
                }
            });
            return Variant();
        }
        case fOpenTextFile:
            checkArgs(a, 1, 4);
            return Variant::fromObject(openTextFile(pathArg(a, 0), optLong(a, 1, 1), optBool(a, 2, false), optLong(a, 3, 0)));
        case fGetFileVersion:
            checkArgs(a, 1, 1);
            return Variant::fromString(QString());
        default:
            raiseError(errNoMember);
        }
    }
};

} // namespace

Dispatch* newFileSystemObject() { return new FileSystemObject(); }

} // namespace script::lib
