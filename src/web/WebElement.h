// One element of a form on the page, as XForm hands it to a script: every member read, write
// or call becomes a call into the page, answered before the script goes on. The element is
// found again by form number and name (or number) at each use, so it follows the live page.
#pragma once

#include <QObject>
#include <QPointer>
#include <QVariant>

class clsWWWTalk;

namespace web {

class WebElement : public QObject {
    Q_OBJECT
    Q_CLASSINFO("ScriptMembers", "dynamic")
    Q_CLASSINFO("ScriptOwned", "true")
public:
    WebElement(clsWWWTalk* owner, int formIndex, const QVariant& field);

    // A member by name ("" is the default member, the value): kind 0 reads it or calls it
    // with args, kind 1 assigns the last of args.
    Q_INVOKABLE QVariant scriptInvoke(const QString& name, int kind, const QVariantList& args);

    // The script that finds the element in the page and runs body with it as "el"; the
    // script answers {e: "form"} or {e: "element"} when it is not there.
    static QString locate(int formIndex, const QVariant& field, const QString& body);
    // Raises the script error for a missing form or element answer; true when one was raised.
    static bool raiseIfMissing(const QVariant& answer, int formIndex, const QVariant& field);
    // A text as a JavaScript literal.
    static QString jsLiteral(const QVariant& v);

private:
    QPointer<clsWWWTalk> owner_;
    int formIndex_;
    QVariant field_;
};

} // namespace web
