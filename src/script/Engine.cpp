// The engine: global state, compiling and committing chunks, calls, classes, Err, limits.
#include "script/Engine.h"

#include "platform/Clock.h"
#include "platform/Termination.h"
#include "script/Locale.h"
#include "script/Nodes.h"
#include "script/Parser.h"

#include <cstring>
#include <pthread.h>

namespace script {

// ---------------------------------------------------------------- engine

// Each engine starts in the program's default locale, as a new script process would.
Engine::Engine() { resetLocale(); }

Engine::~Engine()
{
    reset();
    *alive = false;
}

void Engine::reset()
{
    if (entered_ > 0) {
        // A host object called back into Reset while a script runs: the running frames still
        // point into the globals, so the engine keeps them.
        qWarning("script engine: Reset refused while a script is running");
        return;
    }
    // Objects may run Class_Terminate while globals are dropped, so clear values first and
    // let the code go afterwards.
    std::deque<GlobalSlot> old;
    old.swap(globals);
    for (GlobalSlot& g : old)
        g.value = Variant();
    old.clear();
    globalIndex.clear();
    items.clear();
    classes.clear();
    chunks.clear();
    err.clear();
    ++generation;
}

int Engine::addGlobal(const QString& name)
{
    globals.emplace_back();
    globals.back().name = name;
    return int(globals.size()) - 1;
}

int Engine::defineGlobal(const QString& name)
{
    int slot = addGlobal(name);
    globalIndex.insert(name.toLower(), slot);
    ++generation;
    return slot;
}

bool Engine::findHostMember(const QString& name, Dispatch*& obj, int& id)
{
    for (NamedItem& it : items) {
        if (!it.globalMembers)
            continue;
        int m = it.object->memberId(name, false);
        if (m >= 0) {
            obj = it.object.get();
            id = m;
            return true;
        }
    }
    return false;
}

void Engine::addObject(const QString& name, Dispatch* obj, bool globalMembers)
{
    QString l = name.toLower();
    for (const NamedItem& it : items)
        if (it.name.compare(name, Qt::CaseInsensitive) == 0)
            raiseError(457);
    items.push_back({name, Ref<Dispatch>(obj), globalMembers});
    int slot = globalSlot(l);
    if (slot < 0)
        slot = defineGlobal(name);
    globals[size_t(slot)].value = Variant::fromObject(obj);
    globals[size_t(slot)].isConst = true;
    ++generation;
}

std::shared_ptr<Chunk> Engine::compile(const QString& code, bool global, Procedure* scope, bool exprOnly,
                                       const Frame* caller)
{
    auto chunk = std::make_shared<Chunk>();
    CompileContext ctx;
    ctx.scope = global ? nullptr : scope;
    if (ctx.scope && caller)
        ctx.callLocals = caller->execLocals.get();
    ctx.scopeClass = ctx.scope ? ctx.scope->cls : nullptr;
    ctx.exprOnly = exprOnly;
    parseChunk(*this, *chunk, code, ctx);
    for (auto it = ctx.newGlobals.begin(); it != ctx.newGlobals.end(); ++it)
        globalIndex.insert(it.key(), it.value());
    for (auto& [slot, proc] : ctx.newProcs) {
        globals[size_t(slot)].proc = proc;
        globals[size_t(slot)].value = Variant();
    }
    for (auto& c : chunk->classes) {
        c->chunk = chunk;
        classes.insert(c->name.toLower(), c.get());
    }
    ++generation;
    if (!chunk->procs.empty() || !chunk->classes.empty())
        chunks.push_back(chunk);
    return chunk;
}

void Engine::addCode(const QString& code)
{
    EngineEntry entry(*this);
    std::shared_ptr<Chunk> chunk = compile(code, true, nullptr, false);
    Frame top;
    top.eng = this;
    try {
        execBlock(top, chunk->body);
    } catch (ScriptError& e) {
        if (!e.line)
            e.line = top.line;
        throw;
    }
}

Variant Engine::run(const QString& procName, std::vector<Variant>& args)
{
    EngineEntry entry(*this);
    int slot = globalSlot(procName.toLower());
    if (slot < 0 || !globals[size_t(slot)].proc)
        raiseNamedError(errTypeMismatch, procName);
    std::vector<Variant*> ptrs;
    for (Variant& a : args)
        ptrs.push_back(&a);
    return callProc(globals[size_t(slot)].proc, nullptr, Args(ptrs.data(), ptrs.size()));
}

Variant Engine::evalText(const QString& expr)
{
    EngineEntry entry(*this);
    std::shared_ptr<Chunk> chunk = compile(expr, true, nullptr, true);
    Frame top;
    top.eng = this;
    return chunk->expr->eval(top);
}

void Engine::execute(Frame& f, const QString& code, bool global)
{
    bool atTop = global || !f.proc;
    std::shared_ptr<Chunk> chunk;
    try {
        chunk = compile(code, atTop, f.proc, false, &f);
    } catch (ScriptError& e) {
        e.line = 0;  // reported at the Execute statement
        throw;
    }
    if (atTop) {
        Frame top;
        top.eng = this;
        try {
            execBlock(top, chunk->body);
        } catch (ScriptError& e) {
            e.line = 0;
            throw;
        }
        return;
    }
    int line = f.line;
    try {
        execBlock(f, chunk->body);
    } catch (ScriptError& e) {
        e.line = 0;
        f.line = line;
        throw;
    }
    f.line = line;
}

Variant Engine::evaluate(Frame& f, const QString& expr)
{
    std::shared_ptr<Chunk> chunk;
    try {
        chunk = compile(expr, !f.proc, f.proc, true, &f);
    } catch (ScriptError& e) {
        e.line = 0;
        // Text that stops where an operand should follow is a plain syntax error to Eval.
        if (e.number == 1023) {
            e.number = errSyntax;
            e.description = errorDescription(errSyntax);
        }
        throw;
    }
    return chunk->expr->eval(f);
}

namespace {

struct CallGuard {
    CallGuard(Engine& e, Variant* s, int n) : eng(e), storage(s), count(n) {}
    ~CallGuard()
    {
        for (int i = 0; i < count; ++i)
            storage[i].~Variant();
        if (entered)
            eng.leaveCall();
    }
    void enter()
    {
        eng.enterCall();
        entered = true;
    }
    Engine& eng;
    Variant* storage;
    int count;
    bool entered = false;
};

} // namespace

inline Variant Engine::runBody(Procedure* p, ClassInstance* me, Variant** vars)
{
    Frame fr;
    fr.eng = this;
    fr.proc = p;
    fr.vars = vars;
    fr.me = me;
    fr.line = p->line;
    // The instance must outlive its own method even if the method drops the last reference.
    Ref<ClassInstance> keepMe(me);
    try {
        execBlock(fr, p->body);
    } catch (ScriptError& e) {
        if (!e.line)
            e.line = fr.line;
        throw;
    }
    if (fr.hadResumeNext)
        err.clear();
    return std::move(fr.ret);
}

Variant Engine::callProc(Procedure* p, ClassInstance* me, Args args)
{
    if (args.size() != p->params.size())
        raiseNamedError(errWrongArgs, p->name);
    return enterProc(p, me, args, nullptr, nullptr);
}

// The arguments run before the count is found wrong, as with any other call.
Variant Engine::callWithWrongCount(Procedure* p, ClassInstance* me, Frame& caller, const ExprList& args)
{
    ArgPack pack;
    for (Expr* e : args) {
        Variant* r = e->ref(caller, pack);
        if (!r)
            *(r = pack.temp()) = e->eval(caller);
        pack.add(r);
    }
    return callProc(p, me, pack.args());
}

// With argument expressions, they are evaluated in the caller's frame straight into the
// parameters. A variable is bound by reference first and copied for a ByVal parameter only
// once every argument is evaluated, as a reference copied on entry would be.
Variant Engine::enterProc(Procedure* p, ClassInstance* me, Args args, Frame* caller, const ExprList* exprs)
{
    tick();
    const int n = p->nLocals;
    auto* storage = static_cast<Variant*>(alloca(sizeof(Variant) * size_t(n + 1)));
    auto** vars = static_cast<Variant**>(alloca(sizeof(Variant*) * size_t(n + 1)));
    for (int i = 0; i < n; ++i) {
        new (&storage[i]) Variant();
        vars[i] = &storage[i];
    }
    CallGuard guard(*this, storage, n);
    ArrayLocks locks;
    const size_t nParams = p->params.size();
    bool copies = false;  // a variable bound to a ByVal parameter, copied below
    if (exprs) {
        for (size_t i = 0; i < nParams; ++i) {
            Expr* e = (*exprs)[i];
            if (Variant* r = e->ref(*caller, locks)) {
                vars[i] = r;
                copies |= p->params[i].byVal;
            } else {
                storage[i] = e->eval(*caller);
                if (storage[i].isMissing() && p->params[i].byVal)
                    storage[i] = Variant();
            }
        }
    } else {
        for (size_t i = 0; i < nParams; ++i)
            vars[i] = args[i];
        copies = true;
    }
    if (copies) {
        for (size_t i = 0; i < nParams; ++i) {
            if (!p->params[i].byVal || vars[i] == &storage[i])
                continue;
            storage[i] = vars[i]->isMissing() ? Variant() : *vars[i];
            vars[i] = &storage[i];
        }
    }
    guard.enter();
    return runBody(p, me, vars);
}


ClassInstance* Engine::newInstance(const QString& className)
{
    ClassDef* c = classes.value(className.toLower(), nullptr);
    if (!c)
        raiseNamedError(errClassNotDefined, className);
    return newInstance(c);
}

ClassInstance* Engine::newInstance(ClassDef* c)
{
    auto* inst = new ClassInstance(this, c, c->chunk.lock());
    inst->addRef();
    if (c->init) {
        try {
            callProc(c->init, inst, {});
        } catch (...) {
            inst->release();
            throw;
        }
    }
    return inst;
}

void Engine::stackExhausted()
{
    raiseError(errOutOfStack);
}

void Engine::slowTick()
{
    ticks_ = 4096;
    // A request to end the program that came while this script ran stops it like a time-out;
    // a script started after the request runs (the host bounds it with a time-out).
    if (entered_ > 0 && platform::TerminationCount() != terminations_) {
        ScriptError e{kTimeoutNumber, QString::fromLatin1(kInterruptedText), QString::fromLatin1(kRuntimeSource)};
        throw ScriptAbort{e};
    }
    if (timeoutMs_ > 0 && entered_ > 0) {
        qint64 now = platform::Now().toMSecsSinceEpoch();
        if (now - startMs_ > timeoutMs_) {
            ScriptError e{kTimeoutNumber, QStringLiteral("Script execution timed out"), QString::fromLatin1(kRuntimeSource)};
            throw ScriptAbort{e};
        }
    }
}

void Engine::setRandomSeed(double seed)
{
    // Mixes the seed's bits into the middle of the generator's state, as Randomize does.
    union { double d; uint64_t u; } x{seed};
    uint32_t hi = uint32_t(x.u >> 32);
    uint32_t mixed = (hi ^ (hi >> 16)) & 0xFFFF;
    rnd_ = (rnd_ & 0xFF0000FFu) | (mixed << 8);
    rnd_ &= 0xFFFFFF;
}

void Engine::restartRandom(double seed)
{
    float single = float(seed);
    uint32_t bits = 0;
    std::memcpy(&bits, &single, sizeof bits);
    rnd_ = (bits + (bits >> 24)) & 0xFFFFFF;
}

double Engine::nextRandom()
{
    rnd_ = (rnd_ * 1140671485u + 12820163u) & 0xFFFFFF;
    lastRandom = double(rnd_) / 16777216.0;
    return lastRandom;
}

EngineEntry::EngineEntry(Engine& e) : eng(e)
{
    if (eng.entered_++ == 0) {
        eng.startMs_ = platform::Now().toMSecsSinceEpoch();
        eng.terminations_ = platform::TerminationCount();
        eng.ticks_ = 4096;
        eng.depth_ = 0;
        // Leave a margin of the thread's stack for C++ frames outside the engine.
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            void* addr = nullptr;
            size_t size = 0;
            pthread_attr_getstack(&attr, &addr, &size);
            pthread_attr_destroy(&attr);
            char here;
            char* low = static_cast<char*>(addr);
            size_t margin = std::min<size_t>(size / 4, 512 * 1024);
            if (low && &here > low + margin)
                eng.stackBase_ = low + margin;
        }
    }
}

EngineEntry::~EngineEntry()
{
    if (--eng.entered_ == 0)
        eng.stackBase_ = nullptr;
}

// ---------------------------------------------------------------- class instances

ClassInstance::ClassInstance(Engine* e, ClassDef* c, std::shared_ptr<Chunk> keep)
    : eng_(e), cls_(c), keep_(std::move(keep)), alive_(e->alive)
{
    fields.resize(c->fields.size());
    Frame f;
    f.eng = e;
    for (size_t i = 0; i < c->fields.size(); ++i) {
        const ClassDef::Field& fd = c->fields[i];
        if (!fd.hasDims)
            continue;
        std::vector<ArrayData::Bound> b;
        for (Expr* d : fd.dims)
            b.push_back({0, toLong(d->eval(f)) + 1});
        auto* a = new ArrayData(b);
        a->fixed = !fd.dims.empty();
        fields[i] = Variant::fromArray(a);
    }
}

QString ClassInstance::typeName() const
{
    return cls_->name;
}

int ClassInstance::memberId(const QString& name, bool fromInside)
{
    int idx = cls_->memberIndex.value(name.toLower(), -1);
    if (idx < 0 || (!fromInside && !cls_->members[size_t(idx)].isPublic))
        return -1;
    return idx + 1;
}

Variant ClassInstance::invoke(int id, InvokeKind kind, Args args)
{
    if (!*alive_)
        raiseError(errObjectRequired);
    if (id == kDefault) {
        if (cls_->defaultMember < 0)
            raiseError(errNoMember);
        id = cls_->defaultMember + 1;
    }
    if (id < 1 || id > int(cls_->members.size()))
        raiseError(errNoMember);
    const ClassDef::Member& m = cls_->members[size_t(id - 1)];
    Ref<ClassInstance> keep(this);
    if (m.field >= 0) {
        Variant& fv = fields[size_t(m.field)];
        if (kind == InvokeKind::Get)
            return args.empty() ? fv : applyArgs(fv, args);
        Variant value = *args.back();
        Args index = args.first(args.size() - 1);
        if (index.empty()) {
            assignTo(fv, std::move(value), kind == InvokeKind::Set);
        } else if (fv.isArray()) {
            ArrayData* a = fv.arrayForWrite();
            std::vector<int32_t> idx;
            for (Variant* x : index) idx.push_back(toLong(*x));
            assignTo(a->items[a->offset(idx)], std::move(value), kind == InvokeKind::Set);
        } else {
            raiseError(errTypeMismatch);
        }
        return Variant();
    }
    Procedure* p = kind == InvokeKind::Get ? m.get : kind == InvokeKind::Let ? m.let : m.set;
    if (p && kind == InvokeKind::Get && p->params.empty() && !args.empty()) {
        // obj.Items(0) on a member without parameters indexes (or calls the default of) its value.
        Variant v = eng_->callProc(p, this, {});
        return applyArgs(v, args);
    }
    if (!p) {
        if (kind == InvokeKind::Let && !m.set && m.get && m.get->kind != Procedure::PropGet)
            raiseError(errIllegalAssign);
        raiseNamedError(errNoMember, m.name);
    }
    return eng_->callProc(p, this, args);
}

void ClassInstance::lastRelease()
{
    if (cls_->term && *alive_) {
        refs_ = 1;
        try {
            eng_->callProc(cls_->term, this, {});
        } catch (...) {
            // An error in Class_Terminate has nowhere to go.
        }
        if (--refs_ > 0)
            return;
    }
    // Freeing an object frees the objects only it held, and so on down a linked list; done
    // by recursion, a list of a few hundred thousand nodes would exhaust the machine stack.
    // The outermost free takes the nested ones off a queue instead.
    static thread_local std::vector<ClassInstance*>* pending = nullptr;
    if (pending) {
        pending->push_back(this);
        return;
    }
    std::vector<ClassInstance*> queue{this};
    pending = &queue;
    while (!queue.empty()) {
        ClassInstance* next = queue.back();
        queue.pop_back();
        delete next;
    }
    pending = nullptr;
}

// ---------------------------------------------------------------- Err

int ErrObject::memberId(const QString& name, bool)
{
    static const char* names[] = {"number", "description", "source", "clear", "raise", "helpfile", "helpcontext"};
    QString l = name.toLower();
    for (int i = 0; i < 7; ++i)
        if (l == QLatin1String(names[i]))
            return i + 1;
    return -1;
}

// System error codes that VBScript reports under its own numbers, as it does for errors that
// objects return to it.
static int vbErrorNumber(int32_t code)
{
    static const std::pair<uint32_t, int> known[] = {
        {0x8007000E, errOutOfMemory}, {0x80070057, errInvalidCall}, {0x80004001, 445},
        {0x80004002, 430}, {0x80070005, 70}, {0x80070002, 53}, {0x80070003, 76},
        {0x80020005, errTypeMismatch}, {0x8002000A, errOverflow}, {0x8002000B, errSubscript},
        {0x80020012, errDivByZero}, {0x8002000E, errWrongArgs}, {0x80020004, errArgNotOptional},
    };
    for (const auto& [hr, vb] : known)
        if (uint32_t(code) == hr)
            return vb;
    return code;
}

Variant ErrObject::invoke(int id, InvokeKind kind, Args args)
{
    if (id == kDefault)
        id = 1;
    if (kind != InvokeKind::Get) {
        const Variant& v = *args.back();
        switch (id) {
        case 1: number = toLong(v); break;
        case 2: description = toStr(v); break;
        case 3: source = toStr(v); break;
        case 6: helpFile = toStr(v); break;
        case 7: helpContext = toLong(v); break;
        default: raiseError(errNoMember);
        }
        return Variant();
    }
    switch (id) {
    case 1: if (!args.empty()) raiseError(errWrongArgs); return Variant::fromLong(number);
    case 2: return Variant::fromString(description);
    case 3: return Variant::fromString(source);
    case 4: clear(); return Variant();
    case 5: {
        if (args.empty())
            raiseError(errWrongArgs);
        if (args[0]->isMissing())
            raiseError(errArgNotOptional);
        auto given = [&](size_t i) { return args.size() > i && !args[i]->isMissing(); };
        int n = vbErrorNumber(toLong(*args[0]));
        if (n == 0)
            raiseError(errInvalidCall);
        QString src = given(1) ? toStr(*args[1]) : QString::fromLatin1(kRuntimeSource);
        QString desc = given(2) ? toStr(*args[2]) : errorDescription(n);
        if (desc.isEmpty())
            desc = QStringLiteral("Unknown runtime error");
        ScriptError e{n, desc, src};
        if (given(3)) e.helpFile = toStr(*args[3]);
        if (given(4)) e.helpContext = toLong(*args[4]);
        throw e;
    }
    case 6: return Variant::fromString(helpFile);
    case 7: return Variant::fromLong(helpContext);
    default: raiseError(errNoMember);
    }
}

} // namespace script
