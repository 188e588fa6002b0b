// The library's one lookup table, object creation (CreateObject, New RegExp, GetRef), the
// engine identity functions, the locale id and the two dialog functions.
#include "script/Library.h"

#include "script/Locale.h"
#include "platform/Messages.h"

namespace script {

namespace lib {

int compareMode(Args a, size_t i)
{
    if (!given(a, i))
        return 0;
    Variant v = arg(a, i);
    if (v.isNull())
        raiseError(errInvalidNull);
    int32_t m = toLong(v);
    if (m < 0 || m > 1)
        raiseError(errInvalidCall);
    return m;
}

Variant makeArray(std::vector<Variant> items)
{
    auto* d = new ArrayData({{0, int32_t(items.size())}});
    d->items = std::move(items);
    return Variant::fromArray(d);
}

Variant makeStringArray(const QStringList& items)
{
    auto* d = new ArrayData({{0, int32_t(items.size())}});
    for (qsizetype i = 0; i < items.size(); ++i)
        d->items[size_t(i)] = Variant::fromString(items[i]);
    return Variant::fromArray(d);
}

int memberIndex(const QString& name, std::initializer_list<const char*> names)
{
    int i = 1;
    for (const char* n : names) {
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return i;
        ++i;
    }
    return -1;
}

void checkArgs(Args a, int lo, int hi)
{
    if (int(a.size()) < lo || (hi >= 0 && int(a.size()) > hi))
        raiseError(errWrongArgs);
}

namespace {

// GetRef's result: calling it (its default member) calls the procedure.
class ProcRef final : public Dispatch {
public:
    ProcRef(Engine* e, Procedure* p) : eng_(e), proc_(p), alive_(e->alive) {}
    QString typeName() const override { return QStringLiteral("Object"); }
    int memberId(const QString&, bool) override { return -1; }
    Variant invoke(int id, InvokeKind kind, Args args) override
    {
        if (id != kDefault || kind != InvokeKind::Get)
            raiseError(errNoMember);
        // The engine may have been reset since: the procedure is gone with it.
        if (!*alive_)
            raiseError(errObjectRequired);
        return eng_->callProc(proc_, nullptr, args);
    }

private:
    Engine* eng_;
    Procedure* proc_;
    std::shared_ptr<bool> alive_;
};

Variant bCreateObject(Frame&, Args a)
{
    QString name = str(a, 0);
    Dispatch* d = createRuntimeObject(name.trimmed());
    if (!d)
        raiseNamedError(errCantCreate, name);
    return Variant::fromObject(d);
}

Variant bGetObject(Frame&, Args a)
{
    QString name = given(a, 1) ? str(a, 1) : given(a, 0) ? str(a, 0) : QString();
    raiseNamedError(errCantCreate, name);
}

Variant bGetRef(Frame& f, Args a)
{
    QString name = str(a, 0);
    int slot = f.eng->globalSlot(name.toLower());
    if (slot < 0 || !f.eng->globals[size_t(slot)].proc)
        raiseError(errInvalidCall);
    return Variant::fromObject(new ProcRef(f.eng, f.eng->globals[size_t(slot)].proc));
}

Variant bScriptEngine(Frame&, Args) { return Variant::fromString(QStringLiteral("VBScript")); }
Variant bScriptMajor(Frame&, Args) { return Variant::fromLong(5); }
Variant bScriptMinor(Frame&, Args) { return Variant::fromLong(8); }
Variant bScriptBuild(Frame&, Args) { return Variant::fromLong(16384); }

// A locale this engine knows the forms of changes the text forms; another id is only
// remembered for GetLocale.
Variant bGetLocale(Frame&, Args) { return Variant::fromLong(activeLocaleId()); }

Variant bSetLocale(Frame&, Args a)
{
    int32_t old = activeLocaleId();
    if (given(a, 0)) {
        Variant v = arg(a, 0);
        if (v.isString() && v.str().trimmed().isEmpty()) {
            resetLocale();
        } else if (v.isString()) {
            const LocaleForm* form = findLocaleForm(v.str());
            if (!form)
                raiseError(errInvalidCall);
            setActiveLocale(form->lcid, form);
        } else {
            int32_t id = toLong(v);
            if (id < 0)
                raiseError(errInvalidCall);
            // 0 is the program's default locale.
            if (id == 0)
                resetLocale();
            else
                setActiveLocale(id, findLocaleForm(id));
        }
    }
    return Variant::fromLong(old);
}

void requireUI(Frame& f)
{
    if (!f.eng->allowUI) {
        f.eng->uiRefused = true;
        raiseError(70);
    }
}

// MsgBox button codes (the low three bits) and answer codes, as the constants name them.
Variant bMsgBox(Frame& f, Args a)
{
    requireUI(f);
    QString prompt = a[0]->isNull() ? QStringLiteral("Null") : str(a, 0);
    int32_t flags = optLong(a, 1, 0);
    platform::MsgButtons buttons = platform::MsgButtons::OK;
    switch (flags & 7) {
    case 1: case 5: buttons = platform::MsgButtons::OKCancel; break;
    case 2: case 3: buttons = platform::MsgButtons::YesNoCancel; break;
    case 4: buttons = platform::MsgButtons::YesNo; break;
    default: break;
    }
    platform::MsgIcon icon = platform::MsgIcon::None;
    switch (flags & 0x70) {
    case 16: icon = platform::MsgIcon::Critical; break;
    case 32: icon = platform::MsgIcon::Question; break;
    case 48: icon = platform::MsgIcon::Exclamation; break;
    case 64: icon = platform::MsgIcon::Information; break;
    default: break;
    }
    switch (platform::MsgBox(prompt, buttons, icon)) {
    case platform::MsgAnswer::OK: return Variant::fromInteger(1);
    case platform::MsgAnswer::Cancel: return Variant::fromInteger(2);
    case platform::MsgAnswer::Yes: return Variant::fromInteger(6);
    case platform::MsgAnswer::No: return Variant::fromInteger(7);
    }
    return Variant::fromInteger(1);
}

// The question interface has no text entry: the prompt is shown with OK and Cancel, OK gives
// the default text and Cancel the empty text, as a user who accepts the proposal would.
Variant bInputBox(Frame& f, Args a)
{
    requireUI(f);
    QString prompt = str(a, 0);
    QString dflt = given(a, 2) ? str(a, 2) : QString();
    platform::MsgAnswer r = platform::MsgBox(prompt, platform::MsgButtons::OKCancel, platform::MsgIcon::Question);
    return Variant::fromString(r == platform::MsgAnswer::OK ? dflt : QString());
}

const BuiltinTable& table()
{
    static const BuiltinTable t = [] {
        BuiltinTable x;
        x.insert(QStringLiteral("createobject"), {bCreateObject, 1, 2});
        x.insert(QStringLiteral("getobject"), {bGetObject, 0, 2});
        x.insert(QStringLiteral("getref"), {bGetRef, 1, 1});
        x.insert(QStringLiteral("scriptengine"), {bScriptEngine, 0, 0});
        x.insert(QStringLiteral("scriptenginemajorversion"), {bScriptMajor, 0, 0});
        x.insert(QStringLiteral("scriptengineminorversion"), {bScriptMinor, 0, 0});
        x.insert(QStringLiteral("scriptenginebuildversion"), {bScriptBuild, 0, 0});
        x.insert(QStringLiteral("getlocale"), {bGetLocale, 0, 0});
        x.insert(QStringLiteral("setlocale"), {bSetLocale, 0, 1});
        x.insert(QStringLiteral("msgbox"), {bMsgBox, 1, 5});
        x.insert(QStringLiteral("inputbox"), {bInputBox, 1, 7});
        addStringBuiltins(x);
        addMathBuiltins(x);
        addDateBuiltins(x);
        addFormatBuiltins(x);
        addConstants(x);
        return x;
    }();
    return t;
}

} // namespace

} // namespace lib

const Builtin* findLibraryBuiltin(const QString& lowerName)
{
    const lib::BuiltinTable& t = lib::table();
    auto it = t.constFind(lowerName);
    return it == t.constEnd() ? nullptr : &it.value();
}

Dispatch* createRuntimeObject(const QString& progId)
{
    const QString p = progId.toLower();
    if (p == QLatin1String("scripting.dictionary"))
        return lib::newDictionary();
    if (p == QLatin1String("scripting.filesystemobject"))
        return lib::newFileSystemObject();
    if (p == QLatin1String("vbscript.regexp"))
        return lib::newRegExp();
    if (p == QLatin1String("wscript.shell"))
        return lib::newWshShell();
    return nullptr;
}

Dispatch* newRuntimeClass(Engine& eng, const QString& className)
{
    if (className.compare(QLatin1String("RegExp"), Qt::CaseInsensitive) != 0 || eng.classes.contains(className.toLower()))
        return nullptr;
    return lib::newRegExp();
}

} // namespace script
