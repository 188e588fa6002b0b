// The unique ids of the messages filed from one mailbox, kept in the instance folder so that a
// message filed in a session the server never saw end is recognised in the next one.
#pragma once

#include "gateway/GwText.h"

#include <QSet>
#include <QString>

namespace gateway {

class FiledRecord {
public:
    // The record's file for a mailbox: one file per server, port and user, so that two
    // mailboxes never share ids.
    static QString PathFor(const QString& folder, const QString& server, qint32 port, const QString& user);

    // Reads the record; a missing file is an empty record, started with the title line (which
    // names the mailbox for a person) at its first addition. A last line cut by a crash is
    // dropped and the file rewritten, so later additions start on a line of their own. False,
    // with the cause in err, when the file exists but cannot be read or mended.
    bool load(const QString& path, const QString& title, FileErr& err);
    bool contains(const QString& id) const { return ids_.contains(id); }
    qsizetype size() const { return ids_.size(); }
    // Adds an id with one appended line (one write, so a crash leaves at most a cut last line).
    bool add(const QString& id, FileErr& err);
    // Keeps only the ids still on the server; the file is replaced whole when any went.
    bool keepOnly(const QSet<QString>& present, FileErr& err);

private:
    bool rewrite(FileErr& err);
    QString path_;
    QString title_;
    QSet<QString> ids_;
};

// A unique id as a server may give it: 1 to 70 printable characters without blanks.
bool ValidUniqueId(const QString& id);

} // namespace gateway
