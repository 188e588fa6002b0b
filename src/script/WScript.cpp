// WScript and its helper objects.
#include "script/WScript.h"

#include "platform/Clock.h"
#include "script/Engine.h"
#include "script/Library.h"

namespace script {

namespace {

QString echoText(const Variant& v)
{
    if (v.isNull())
        return QStringLiteral("Null");
    return toStr(valueOf(v));
}

class TextOut final : public Dispatch {
public:
    explicit TextOut(WScriptObject::Writer w) : w_(std::move(w)) {}
    QString typeName() const override { return QStringLiteral("TextStream"); }
    int memberId(const QString& name, bool) override { return lib::memberIndex(name, {"Write", "WriteLine", "WriteBlankLines"}); }
    Variant invoke(int id, InvokeKind, Args args) override
    {
        switch (id) {
        case 1: if (args.size() != 1) raiseError(errWrongArgs); w_(toStr(valueOf(*args[0]))); break;
        case 2: w_((args.empty() ? QString() : toStr(valueOf(*args[0]))) + QLatin1Char('\n')); break;
        case 3: if (args.size() != 1) raiseError(errWrongArgs); w_(QString(toLong(*args[0]), QLatin1Char('\n'))); break;
        default: raiseError(errNoMember);
        }
        return Variant();
    }

private:
    WScriptObject::Writer w_;
};

class ArgumentsObject final : public Dispatch {
public:
    explicit ArgumentsObject(QStringList a) : args_(std::move(a)) {}
    QString typeName() const override { return QStringLiteral("Object"); }
    int memberId(const QString& name, bool) override { return lib::memberIndex(name, {"Item", "Count", "Length"}); }
    Variant invoke(int id, InvokeKind kind, Args args) override
    {
        if (kind != InvokeKind::Get)
            raiseError(errNoMember);
        if (id == kDefault || id == 1) {
            if (args.size() != 1) raiseError(errWrongArgs);
            int i = toLong(*args[0]);
            if (i < 0 || i >= args_.size()) raiseError(errSubscript);
            return Variant::fromString(args_[i]);
        }
        if (id == 2 || id == 3)
            return Variant::fromLong(int32_t(args_.size()));
        raiseError(errNoMember);
    }
    bool enumerate(std::vector<Variant>& out) override
    {
        for (const QString& a : args_)
            out.push_back(Variant::fromString(a));
        return true;
    }

private:
    QStringList args_;
};

} // namespace

WScriptObject::WScriptObject(Writer out, Writer err)
    : out_(std::move(out)), err_(std::move(err)), stdOut_(new TextOut(out_)), stdErr_(new TextOut(err_))
{
}

int WScriptObject::memberId(const QString& name, bool)
{
    return lib::memberIndex(name, {"Echo", "Arguments", "Quit", "ScriptName", "ScriptFullName", "Sleep", "StdOut", "StdErr",
                         "Name", "Version"});
}

Variant WScriptObject::invoke(int id, InvokeKind kind, Args args)
{
    if (kind != InvokeKind::Get)
        raiseError(errNoMember);
    switch (id) {
    case 1: {
        QString line;
        for (size_t i = 0; i < args.size(); ++i) {
            if (i) line += QLatin1Char(' ');
            if (!args[i]->isMissing()) line += echoText(*args[i]);
        }
        out_(line + QLatin1Char('\n'));
        return Variant();
    }
    case 2: {
        Variant list = Variant::fromObject(new ArgumentsObject(arguments));
        return args.empty() ? list : applyArgs(list, args);
    }
    case 3: throw ScriptQuit{args.empty() || args[0]->isMissing() ? 0 : toLong(*args[0])};
    case 4: return Variant::fromString(scriptName);
    case 5: return Variant::fromString(scriptFullName);
    case 6:
        if (args.size() != 1) raiseError(errWrongArgs);
        platform::clock().sleepMs(toLong(*args[0]));
        return Variant();
    case 7: return Variant::fromObject(stdOut_.get());
    case 8: return Variant::fromObject(stdErr_.get());
    case 9: return Variant::fromString(QStringLiteral("Tarnwick Script Host"));
    case 10: return Variant::fromString(QStringLiteral("5.8"));
    default: raiseError(errNoMember);
    }
}

} // namespace script
