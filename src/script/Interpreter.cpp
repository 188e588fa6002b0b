// The evaluator: every tree node runs itself against a frame of vars.
#include "script/Dictionary.h"
#include "script/Engine.h"
#include "script/Library.h"
#include "script/Nodes.h"

#include <QTime>
#include <cmath>

namespace script {

void ArrayLocks::lock(ArrayData* a)
{
    if (!locked_)
        locked_ = new std::vector<ArrayData*>;
    locked_->push_back(a);
    ++a->locks;
    ++a->refs;
}

void ArrayLocks::release()
{
    for (ArrayData* a : *locked_) {
        --a->locks;
        if (--a->refs == 0)
            delete a;
    }
    delete locked_;
}

void ArgPack::addMore(Variant* p)
{
    if (morePtrs_.empty())
        morePtrs_.assign(inlinePtrs_, inlinePtrs_ + kInline);
    morePtrs_.push_back(p);
    ++n_;
}

namespace {

void buildArgs(Frame& f, const ExprList& args, ArgPack& pack)
{
    for (Expr* e : args) {
        Variant* r = e->ref(f, pack);
        if (!r) {
            r = pack.temp();
            *r = e->eval(f);
        }
        pack.add(r);
    }
}

// The value of e where it sits, else evaluated into held.
[[gnu::always_inline]] inline const Variant* valueIn(Frame& f, Expr* e, Variant& held)
{
    if (const Variant* p = e->peek(f))
        return p;
    held = e->eval(f);
    return &held;
}

bool isWhole(const Variant& v)
{
    return v.type() == vtInteger || v.type() == vtLong;
}

int64_t wholeValue(const Variant& v)
{
    return v.type() == vtInteger ? v.intValue() : v.longValue();
}

[[gnu::always_inline]] inline Variant wholeOrLong(int64_t r, bool bothInteger)
{
    if (bothInteger && r >= -32768 && r <= 32767)
        return Variant::fromInteger(int16_t(r));
    if (r >= INT32_MIN && r <= INT32_MAX)
        return Variant::fromLong(int32_t(r));
    return Variant::fromDouble(double(r));
}

void appendWhole(QString& s, int64_t n)
{
    uint64_t u = n < 0 ? 0 - uint64_t(n) : uint64_t(n);
    qsizetype digits = 1;
    for (uint64_t rest = u / 10; rest; rest /= 10)
        ++digits;
    qsizetype at = s.size();
    s.resize(at + digits + (n < 0));
    QChar* out = s.data() + s.size();
    do {
        *--out = QChar(char16_t('0' + u % 10));
        u /= 10;
    } while (u);
    if (n < 0)
        *--out = QLatin1Char('-');
}

std::vector<int32_t> indexValues(Args args)
{
    std::vector<int32_t> idx;
    idx.reserve(args.size());
    for (Variant* a : args)
        idx.push_back(toLong(*a));
    return idx;
}

// Element of an array variable for writing (copied first if shared).
Variant& elementFor(Variant& arrVar, Args args)
{
    ArrayData* a = arrVar.arrayForWrite();
    std::vector<int32_t> idx = indexValues(args);
    return a->items[a->offset(idx)];
}

Variant callMember(Frame& f, Dispatch* d, int id, const ExprList& args)
{
    ArgPack pack;
    buildArgs(f, args, pack);
    return d->invoke(id, InvokeKind::Get, pack.args());
}

} // namespace

Variant applyArgs(const Variant& target, Args args)
{
    if (target.isArray()) {
        ArrayData* a = target.array();
        std::vector<int32_t> idx = indexValues(args);
        return a->items[a->offset(idx)];
    }
    if (target.isObject()) {
        if (!target.object())
            raiseError(errObjectNotSet);
        return target.object()->invoke(Dispatch::kDefault, InvokeKind::Get, args);
    }
    if (args.empty())
        return target;
    raiseError(errTypeMismatch);
}

void assignTo(Variant& dst, Variant v, bool isSet)
{
    if (dst.isArray() && dst.array()->fixed)
        raiseError(errArrayLocked);
    if (isSet) {
        if (!v.isObject())
            raiseError(errObjectRequired);
        dst = std::move(v);
        return;
    }
    if (v.isObject())
        v = valueOf(v);
    dst = std::move(v);
}

void Expr::assign(Frame&, Variant, bool)
{
    raiseError(errIllegalAssign);
}

Flow execBlock(Frame& f, const Block& b)
{
    for (Stmt* s : b) {
        f.line = s->line;
        if (!f.resumeNext) {
            Flow fl = s->exec(f);
            if (fl != Flow::Normal)
                return fl;
            continue;
        }
        try {
            Flow fl = s->exec(f);
            if (fl != Flow::Normal)
                return fl;
        } catch (ScriptError& e) {
            // Running out of stack unwinds every procedure, whatever error handling they set.
            if (e.number == errOutOfStack && f.proc)
                throw;
            if (!e.line)
                e.line = f.line;
            f.eng->err.set(e);
        }
    }
    return Flow::Normal;
}

// ---------------------------------------------------------------- names

void OperandCache::classify(Expr* e)
{
    mode = Evaluate;
    if (auto* lit = dynamic_cast<LiteralExpr*>(e)) {
        mode = Constant;
        constant = &lit->v;
    } else if (auto* n = dynamic_cast<NameExpr*>(e); n && n->kind == NameExpr::Global && !n->hasArgs) {
        mode = GlobalVar;
        element = n;
    } else if (n && n->kind == NameExpr::Field && !n->hasArgs) {
        // The fields of an instance never move, and the frame holds the instance.
        mode = FieldVar;
        slot = n->slot;
    } else if (n && (n->kind == NameExpr::Local || n->kind == NameExpr::Global)) {
        if (!n->hasArgs) {
            mode = LocalSlot;
            slot = n->slot;
        } else if (n->args.size() == 1) {
            // a(i) and a(i + 1), but not a(b(i)): one level keeps the in-place read small.
            const bool global = n->kind == NameExpr::Global;
            auto plain = [global](OperandCache& c, Expr* x) {
                return c.mayPeek(x) && (c.mode == LocalSlot || c.mode == Constant || (global && c.mode == GlobalVar));
            };
            auto* sum = dynamic_cast<BinaryExpr*>(n->args[0]);
            if (sum && (sum->op == BinOp::Add || sum->op == BinOp::Sub) && plain(sum->leftOp, sum->a)
                && plain(sum->rightOp, sum->b))
                n->indexSum = sum;
            if (n->indexSum || plain(n->argOps[0], n->args[0])) {
                mode = global ? GlobalElement : LocalElement;
                element = n;
            }
        }
    }
}

Variant MeExpr::eval(Frame& f)
{
    return Variant::fromObject(f.me);
}

Variant* NameExpr::variable(Frame& f, bool create)
{
    switch (kind) {
    case Local: return f.vars[slot];
    case Global: {
        GlobalSlot& g = globalSlot(f);
        return g.proc ? nullptr : &g.value;
    }
    case Field: return &f.me->fields[size_t(slot)];
    case Return: return &f.ret;
    case Dynamic: {
        Engine& e = *f.eng;
        if (execDeclared && f.proc)
            return &f.execLocal(lname);
        if (execLocal && f.execLocals) {
            auto it = f.execLocals->find(lname);
            if (it != f.execLocals->end())
                return &it->second;
        }
        int g = e.globalSlot(lname);
        if (g >= 0) {
            kind = Global;
            slot = g;
            return variable(f, create);
        }
        if (cacheGen != e.generation) {
            cacheObj = nullptr;
            e.findHostMember(name, cacheObj, cacheId);
            cacheGen = e.generation;
        }
        if (cacheObj)
            return nullptr;
        if (fallback >= 0)
            return f.vars[fallback];
        if (explicitMode)
            raiseNamedError(errUndefined, name);
        if (execLocal && f.proc)
            return &f.execLocal(lname);
        if (!create || !topLevel)
            return nullptr;
        kind = Global;
        slot = e.defineGlobal(name);
        return &e.globals[size_t(slot)].value;
    }
    default:
        return nullptr;
    }
}

static inline int32_t wholeIndex(const Variant& x)
{
    return x.type() == vtInteger ? int32_t(x.intValue()) : x.type() == vtLong ? x.longValue() : toLong(x);
}

Variant* NameExpr::plainArray(Frame& f)
{
    if (args.size() > kFastRank)
        return nullptr;
    Variant* v = nullptr;
    switch (kind) {
    case Local: v = f.vars[slot]; break;
    case Field: v = &f.me->fields[size_t(slot)]; break;
    case Global: {
        GlobalSlot& g = globalSlot(f);
        v = g.proc ? nullptr : &g.value;
        break;
    }
    default: break;
    }
    return v && v->isArray() ? v : nullptr;
}

int32_t Expr::subscript(Frame& f)
{
    return wholeIndex(eval(f));
}

int32_t NameExpr::evalIndex(Frame& f)
{
    return args[0]->subscript(f);
}

Variant& NameExpr::elementAt(Variant& arr, bool forWrite, int32_t index)
{
    // An index expression may have called code that replaced the array.
    if (!arr.isArray())
        raiseError(errTypeMismatch);
    ArrayData* a = forWrite ? arr.arrayForWrite() : arr.array();
    return a->items[a->offset(std::span<const int32_t>(&index, 1))];
}

Variant& NameExpr::element(Frame& f, Variant& arr, bool forWrite)
{
    if (args.size() == 1)
        return element1(f, arr, forWrite);
    auto whole = [](const Variant& x) {
        return x.type() == vtInteger ? int32_t(x.intValue()) : x.type() == vtLong ? x.longValue() : toLong(x);
    };
    int32_t idx[kFastRank];
    for (size_t i = 0; i < args.size(); ++i) {
        if (const Variant* x = argOps[i].peek(f, args[i]))
            idx[i] = whole(*x);
        else
            idx[i] = whole(args[i]->eval(f));
    }
    // An index expression may have called code that replaced the array.
    if (!arr.isArray())
        raiseError(errTypeMismatch);
    ArrayData* a = forWrite ? arr.arrayForWrite() : arr.array();
    if (args.size() == 1 && a->bounds.size() == 1) {
        int64_t i = int64_t(idx[0]) - a->bounds[0].lower;
        if (i >= 0 && i < a->bounds[0].count)
            return a->items[size_t(i)];
    }
    return a->items[a->offset(std::span<const int32_t>(idx, args.size()))];
}

Variant NameExpr::evalGeneral(Frame& f)
{
    if (hasArgs) {
        if (Variant* arr = plainArray(f))
            return element(f, *arr, false);
    }
    switch (kind) {
    case Local: {
        Variant& v = *f.vars[slot];
        if (!hasArgs)
            return v;
        if (args.size() == 1 && Dictionary::held(v)) {
            // d(key): the item itself, without the argument list of a general member call.
            // The key is evaluated first, as there, and may have replaced d.
            Variant held;
            const Variant* key = valueIn(f, args[0], held);
            if (Dictionary* d = Dictionary::held(v))
                return d->item(*key);
            Variant* one[1] = {const_cast<Variant*>(key)};
            return applyArgs(v, Args(one, 1));
        }
        ArgPack pack;
        buildArgs(f, args, pack);
        return applyArgs(v, pack.args());
    }
    case Global: {
        GlobalSlot& g = globalSlot(f);
        if (g.proc)
            return callProc(f);
        if (!hasArgs)
            return g.value;
        ArgPack pack;
        buildArgs(f, args, pack);
        return applyArgs(g.value, pack.args());
    }
    case Field: {
        if (!hasArgs)
            return f.me->fields[size_t(slot)];
        ArgPack pack;
        buildArgs(f, args, pack);
        return applyArgs(f.me->fields[size_t(slot)], pack.args());
    }
    case Member: {
        // A method of the running instance called by its bare name binds its arguments
        // directly, as obj.Method does.
        ClassDef* cls = f.me->cls();
        if (slot >= 1 && size_t(slot) <= cls->members.size() && f.me->alive()) {
            const ClassDef::Member& m = cls->members[size_t(slot - 1)];
            if (m.field < 0 && m.get && m.get->params.size() == args.size())
                return f.eng->callProc(m.get, f.me, f, args);
        }
        return callMember(f, f.me, slot, args);
    }
    case BuiltinCall: {
        if (viaCall && builtin->conversion)
            raiseError(458);
        if (int(args.size()) < builtin->minArgs || int(args.size()) > builtin->maxArgs)
            raiseNamedError(errWrongArgs, name);
        // Builtins only read their arguments: values will do, and no array is lent out.
        Variant* inPlace[kFastRank];
        if (plainArgs(f, inPlace))
            return builtin->fn(f, Args(inPlace, args.size()));
        ArgPack pack;
        for (Expr* e : args) {
            Variant* r = const_cast<Variant*>(e->peek(f));
            if (!r) {
                r = pack.temp();
                *r = e->eval(f);
            }
            pack.add(r);
        }
        return builtin->fn(f, pack.args());
    }
    case Return:
        return f.ret;
    case Dynamic: {
        Variant* v = variable(f, false);
        if (kind != Dynamic)
            return eval(f);
        if (cacheObj)
            return callMember(f, cacheObj, cacheId, args);
        if (v) {
            if (!hasArgs)
                return *v;
            if (!v->isArray() && !v->isObject())
                raiseNamedError(errTypeMismatch, name);
            ArgPack pack;
            buildArgs(f, args, pack);
            return applyArgs(*v, pack.args());
        }
        if (hasArgs || !topLevel)
            raiseNamedError(errTypeMismatch, name);
        return Variant();
    }
    }
    return Variant();
}

// Arguments that are locals, literals or elements of local arrays are read in place when
// every one of them is, since none can then run code that moves another, and none is an
// object, whose default value the builtin might run code for.
bool NameExpr::plainArgs(Frame& f, Variant** out)
{
    if (plainArgState == 0 || args.size() > kFastRank)
        return false;
    if (plainArgState < 0) {
        plainArgState = 1;
        for (size_t i = 0; i < args.size(); ++i)
            if (!argOps[i].mayPeek(args[i]))
                plainArgState = 0;
        return plainArgs(f, out);
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const Variant* v = argOps[i].peek(f, args[i]);
        if (!v || v->isObject())
            return false;
        out[i] = const_cast<Variant*>(v);
    }
    return true;
}

void NameExpr::callStmt(Frame& f)
{
    if (kind == Dynamic && !hasArgs) {
        // A call of a name that is neither a procedure nor a value set so far.
        Variant* v = variable(f, false);
        if (kind == Dynamic && !cacheObj && (!v || v->isEmpty()))
            raiseNamedError(errTypeMismatch, name);
    }
    eval(f);
}

Variant* NameExpr::refGeneral(Frame& f, ArrayLocks& locks)
{
    if (kind == Local && !hasArgs)
        return f.vars[slot];
    if (kind == Member || kind == BuiltinCall)
        return nullptr;
    Variant* v = variable(f, true);
    if (!v)
        return nullptr;
    if (!hasArgs)
        return v;
    if (!v->isArray())
        return nullptr;
    ArgPack idxPack;
    buildArgs(f, args, idxPack);
    Variant* el = &elementFor(*v, idxPack.args());
    locks.lock(v->array());
    return el;
}

void NameExpr::assign(Frame& f, Variant v, bool isSet)
{
    if (kind == Local && hasArgs && args.size() == 1 && f.vars[slot]->isArray()) {
        Variant& el = element1(f, *f.vars[slot], true);
        if (!isSet && !v.isObject() && !el.isArray())
            el = std::move(v);
        else
            assignTo(el, std::move(v), isSet);
        return;
    }
    if (kind == Local && hasArgs && args.size() == 1 && !isSet && !v.isObject() && Dictionary::held(*f.vars[slot])) {
        // d(key) = value: straight into the item (see evalGeneral).
        Variant held;
        const Variant* key = valueIn(f, args[0], held);
        if (Dictionary* d = Dictionary::held(*f.vars[slot])) {
            Ref<Dispatch> keep(d);
            assignTo(d->item(*key), std::move(v), false);
            return;
        }
        Variant& var = *f.vars[slot];
        Variant* both[2] = {const_cast<Variant*>(key), &v};
        if (var.isArray()) {
            assignTo(elementFor(var, Args(both, 1)), std::move(v), false);
            return;
        }
        if (!var.isObject())
            raiseError(errTypeMismatch);
        if (!var.object())
            raiseError(errObjectNotSet);
        Ref<Dispatch> keep(var.object());
        keep->invoke(Dispatch::kDefault, InvokeKind::Let, Args(both, 2));
        return;
    }
    if (!hasArgs && (kind == Local || kind == Return)) {
        Variant& dst = kind == Local ? *f.vars[slot] : f.ret;
        if (!isSet && !v.isObject() && !dst.isArray())
            dst = std::move(v);
        else
            assignTo(dst, std::move(v), isSet);
        return;
    }
    if (kind == Member) {
        ArgPack pack;
        buildArgs(f, args, pack);
        Variant* val = pack.temp();
        *val = isSet ? std::move(v) : (v.isObject() ? valueOf(v) : std::move(v));
        pack.add(val);
        f.me->invoke(slot, isSet ? InvokeKind::Set : InvokeKind::Let, pack.args());
        return;
    }
    if (hasArgs) {
        if (Variant* arr = plainArray(f)) {
            assignTo(element(f, *arr, true), std::move(v), isSet);
            return;
        }
    }
    if (kind == Global && !hasArgs && globalSlot(f).isConst)
        raiseNamedError(errIllegalAssign, name);
    Variant* var = variable(f, true);
    if (!var) {
        if (kind == Dynamic && cacheObj) {
            ArgPack pack;
            buildArgs(f, args, pack);
            Variant* val = pack.temp();
            *val = std::move(v);
            pack.add(val);
            cacheObj->invoke(cacheId, isSet ? InvokeKind::Set : InvokeKind::Let, pack.args());
            return;
        }
        raiseNamedError(errIllegalAssign, name);
    }
    if (!hasArgs) {
        assignTo(*var, std::move(v), isSet);
        return;
    }
    ArgPack pack;
    buildArgs(f, args, pack);
    if (var->isArray()) {
        Variant& el = elementFor(*var, pack.args());
        assignTo(el, std::move(v), isSet);
        return;
    }
    if (var->isObject()) {
        if (!var->object())
            raiseError(errObjectNotSet);
        Variant* val = pack.temp();
        *val = std::move(v);
        pack.add(val);
        Ref<Dispatch> keep(var->object());
        keep->invoke(Dispatch::kDefault, isSet ? InvokeKind::Set : InvokeKind::Let, pack.args());
        return;
    }
    raiseError(errTypeMismatch);
}

int MemberExpr::resolve(Dispatch* d)
{
    const void* sh = d->shape();
    if (sh && sh == cacheShape)
        return cacheId;
    int id = d->memberId(name, fromInside);
    if (id < 0)
        raiseNamedError(errNoMember, name);
    cacheShape = sh;
    cacheId = id;
    // Only a script class instance has the class as its shape, so the field index holds for
    // every object this call site meets with the same shape.
    cacheField = -1;
    cacheMethod = nullptr;
    if (auto* ci = dynamic_cast<ClassInstance*>(d); ci && id >= 1 && id <= int(ci->cls()->members.size())) {
        const ClassDef::Member& m = ci->cls()->members[size_t(id - 1)];
        cacheField = m.field;
        if (m.field < 0 && m.get && m.get->params.size() == args.size())
            cacheMethod = m.get;
    }
    return id;
}

Dispatch* MemberExpr::target(const Variant& o)
{
    if (!o.isObject() || !o.object())
        raiseError(errObjectRequired);
    return o.object();
}

// A plain local holding the object is read in place; the object is then held for the call,
// whose arguments may run code that assigns that local.
Variant MemberExpr::eval(Frame& f)
{
    if (const Variant* o = objOp.peek(f, obj)) {
        Ref<Dispatch> keep(target(*o));
        return evalOn(f, keep.get());
    }
    Variant o = obj->eval(f);
    return evalOn(f, target(o));
}

Variant MemberExpr::evalOn(Frame& f, Dispatch* d)
{
    int id = resolve(d);
    if (Variant* field = plainField(d))
        return *field;
    // The caller holds the object for the call.
    if (cacheMethod && static_cast<ClassInstance*>(d)->alive())
        return f.eng->callProc(cacheMethod, static_cast<ClassInstance*>(d), f, args);
    return callMember(f, d, id, args);
}

void MemberExpr::assign(Frame& f, Variant v, bool isSet)
{
    if (const Variant* o = objOp.peek(f, obj)) {
        Ref<Dispatch> keep(target(*o));
        assignOn(f, keep.get(), std::move(v), isSet);
        return;
    }
    Variant o = obj->eval(f);
    assignOn(f, target(o), std::move(v), isSet);
}

void MemberExpr::assignOn(Frame& f, Dispatch* d, Variant v, bool isSet)
{
    int id = resolve(d);
    if (Variant* field = plainField(d)) {
        if (isSet && !v.isObject())
            raiseError(errObjectRequired);
        assignTo(*field, (!isSet && v.isObject()) ? valueOf(v) : std::move(v), isSet);
        return;
    }
    ArgPack pack;
    buildArgs(f, args, pack);
    Variant* val = pack.temp();
    if (isSet && !v.isObject())
        raiseError(errObjectRequired);
    *val = (!isSet && v.isObject()) ? valueOf(v) : std::move(v);
    pack.add(val);
    d->invoke(id, isSet ? InvokeKind::Set : InvokeKind::Let, pack.args());
}

Variant ApplyExpr::eval(Frame& f)
{
    Variant t = target->eval(f);
    ArgPack pack;
    buildArgs(f, args, pack);
    return applyArgs(t, pack.args());
}

// a(0)(1): the element of an array that is itself an element, reached in place.
Variant* ApplyExpr::ref(Frame& f, ArrayLocks& locks)
{
    Variant* outer = target->ref(f, locks);
    if (!outer || !outer->isArray())
        return nullptr;
    ArgPack idxPack;
    buildArgs(f, args, idxPack);
    Variant* el = &elementFor(*outer, idxPack.args());
    locks.lock(outer->array());
    return el;
}

void ApplyExpr::assign(Frame& f, Variant v, bool isSet)
{
    {
        ArgPack pack;
        if (Variant* el = ref(f, pack)) {
            assignTo(*el, std::move(v), isSet);
            return;
        }
    }
    Variant t = target->eval(f);
    if (!t.isObject() || !t.object())
        raiseError(errObjectRequired);
    ArgPack pack;
    buildArgs(f, args, pack);
    Variant* val = pack.temp();
    *val = std::move(v);
    pack.add(val);
    t.object()->invoke(Dispatch::kDefault, isSet ? InvokeKind::Set : InvokeKind::Let, pack.args());
}

Variant NewExpr::eval(Frame& f)
{
    if (cacheGen != f.eng->generation) {
        cacheClass = f.eng->classes.value(lname, nullptr);
        cacheGen = f.eng->generation;
    }
    ClassDef* c = cacheClass;
    if (!c) {
        if (Dispatch* d = newRuntimeClass(*f.eng, className))
            return Variant::fromObject(d);
    }
    ClassInstance* inst = c ? f.eng->newInstance(c) : f.eng->newInstance(className);
    Variant v = Variant::fromObject(inst);
    inst->release();  // newInstance hands over one reference
    return v;
}

Variant UnaryExpr::eval(Frame& f)
{
    Variant v = e->eval(f);
    return isNot ? notOp(v) : negate(v);
}

// Everything but whole and Double arithmetic: kept out of line so that the common case
// stays small.
[[gnu::noinline]] static Variant generalBinary(BinOp op, Variant& x, const Variant& y, bool xLiteral, bool yLiteral,
                                               int textToFollow = 0)
{
    if (op == BinOp::Concat && (x.isString() || isWhole(x)) && (y.isString() || isWhole(y))) {
        // Text built from strings and counters: no detour through the general conversion, and
        // one allocation for the result ("key" & i is the common case).
        QString s;
        if (x.isString())
            s = std::move(x.strRef());
        // In a chain ("a" & i & "b" & j) room to spare lets the next parts go in place.
        qsizetype need = s.size() + (y.isString() ? y.str().size() : 0) + (x.isString() ? 0 : 12) + (y.isString() ? 0 : 12);
        need += textToFollow;
        if (s.capacity() < need || !s.isDetached())
            s.reserve(need);
        if (!x.isString())
            appendWhole(s, wholeValue(x));
        if (y.isString())
            s += y.str();
        else
            appendWhole(s, wholeValue(y));
        return Variant::fromString(std::move(s));
    }
    switch (op) {
    case BinOp::Eq: case BinOp::Ne: case BinOp::Lt: case BinOp::Le: case BinOp::Gt: case BinOp::Ge: case BinOp::Is:
        return compareOp(op, x, y, xLiteral, yLiteral);
    default:
        return binaryOp(op, x, y);
    }
}

// Everything the in-line cases of applyBinary leave.
[[gnu::noinline]] static Variant otherBinary(BinOp op, const Variant& x, const Variant& y, const BinaryExpr& e, Variant* owned)
{
    if (owned)
        return generalBinary(op, *owned, y, e.a->isLiteral(), e.b->isLiteral(), e.textToFollow);
    Variant left = x;
    return generalBinary(op, left, y, e.a->isLiteral(), e.b->isLiteral(), e.textToFollow);
}

// The operator on two values: whole and Double arithmetic and comparison in line, the rest
// through the general rules. owned is x when the caller owns it, so that text can grow in place.
[[gnu::always_inline]] static inline Variant applyBinary(BinOp op, const Variant& x, const Variant& y,
                                                       const BinaryExpr& e, Variant* owned)
{
    if (isWhole(x) && isWhole(y)) {
        int64_t p = wholeValue(x), q = wholeValue(y);
        bool bothInt = x.type() == vtInteger && y.type() == vtInteger;
        switch (op) {
        case BinOp::Add: return wholeOrLong(p + q, bothInt);
        case BinOp::Sub: return wholeOrLong(p - q, bothInt);
        case BinOp::Mul: return wholeOrLong(p * q, bothInt);
        case BinOp::Eq: return Variant::fromBool(p == q);
        case BinOp::Ne: return Variant::fromBool(p != q);
        case BinOp::Lt: return Variant::fromBool(p < q);
        case BinOp::Le: return Variant::fromBool(p <= q);
        case BinOp::Gt: return Variant::fromBool(p > q);
        case BinOp::Ge: return Variant::fromBool(p >= q);
        case BinOp::Mod:
            if (q == 0) raiseError(errDivByZero);
            return wholeOrLong(p % q, bothInt);
        case BinOp::IntDiv:
            if (q == 0) raiseError(errDivByZero);
            return wholeOrLong(p / q, bothInt);
        default: break;
        }
    } else if ((x.type() == vtDouble || isWhole(x)) && (y.type() == vtDouble || isWhole(y))) {
        // At least one Double: the result is a Double whatever the other whole number is.
        double p = x.type() == vtDouble ? x.doubleValue() : double(wholeValue(x));
        double q = y.type() == vtDouble ? y.doubleValue() : double(wholeValue(y));
        switch (op) {
        case BinOp::Add: if (std::isfinite(p + q)) return Variant::fromDouble(p + q); break;
        case BinOp::Sub: if (std::isfinite(p - q)) return Variant::fromDouble(p - q); break;
        case BinOp::Mul: if (std::isfinite(p * q)) return Variant::fromDouble(p * q); break;
        case BinOp::Eq: return Variant::fromBool(p == q);
        case BinOp::Ne: return Variant::fromBool(p != q);
        case BinOp::Lt: return Variant::fromBool(p < q);
        case BinOp::Le: return Variant::fromBool(p <= q);
        case BinOp::Gt: return Variant::fromBool(p > q);
        case BinOp::Ge: return Variant::fromBool(p >= q);
        default: break;
        }
    }
    return otherBinary(op, x, y, e, owned);
}

static bool truth(const Variant& c)
{
    if (c.type() == vtBoolean)
        return c.boolValue();
    return c.isNull() ? false : toBool(c);
}

bool Expr::test(Frame& f)
{
    return truth(eval(f));
}

// A comparison of whole numbers as a condition gives its answer without making a Boolean.
static inline bool wholeComparison(BinOp op, const Variant& x, const Variant& y, bool& result)
{
    if (!isWhole(x) || !isWhole(y))
        return false;
    int64_t p = wholeValue(x), q = wholeValue(y);
    switch (op) {
    case BinOp::Eq: result = p == q; return true;
    case BinOp::Ne: result = p != q; return true;
    case BinOp::Lt: result = p < q; return true;
    case BinOp::Le: result = p <= q; return true;
    case BinOp::Gt: result = p > q; return true;
    case BinOp::Ge: result = p >= q; return true;
    default: return false;
    }
}

// Calls fn(x, y, owned) with the operand values, read where they sit when nothing can change
// them in between. The right one is read in place only after the left one is evaluated, since
// that may run code that replaces an array the right one is an element of.
template <class Fn>
[[gnu::always_inline]] static inline auto withOperands(BinaryExpr& e, Frame& f, Fn&& fn)
{
    if (e.rightOp.mayPeek(e.b)) {
        if (const Variant* px = e.leftOp.peek(f, e.a)) {
            if (const Variant* py = e.rightOp.peek(f, e.b))
                return fn(*px, *py, static_cast<Variant*>(nullptr));
        } else {
            Variant x = e.a->eval(f);
            if (const Variant* py = e.rightOp.peek(f, e.b))
                return fn(x, *py, &x);
            Variant y = e.b->eval(f);
            return fn(x, y, &x);
        }
    }
    Variant x = e.a->eval(f);
    Variant y = e.b->eval(f);
    return fn(x, y, &x);
}

bool BinaryExpr::test(Frame& f)
{
    if (plainOperands()) {
        bool result = false;
        if (wholeComparison(op, *leftOp.peekPlain(f), *rightOp.peekPlain(f), result))
            return result;
    }
    return testOperands(f);
}

bool BinaryExpr::testOperands(Frame& f)
{
    return withOperands(*this, f, [this](const Variant& x, const Variant& y, Variant* owned) __attribute__((always_inline)) {
        bool result = false;
        if (wholeComparison(op, x, y, result))
            return result;
        return truth(applyBinary(op, x, y, *this, owned));
    });
}

// a(j + 1): whole operands that sit in place give the subscript without making a Variant.
int32_t BinaryExpr::subscript(Frame& f)
{
    if (op == BinOp::Add || op == BinOp::Sub) {
        const Variant* py = rightOp.peek(f, b);
        const Variant* px = py ? leftOp.peek(f, a) : nullptr;
        if (px && isWhole(*px) && isWhole(*py)) {
            int64_t r = op == BinOp::Add ? wholeValue(*px) + wholeValue(*py) : wholeValue(*px) - wholeValue(*py);
            if (r >= INT32_MIN && r <= INT32_MAX)
                return int32_t(r);
        }
    }
    return wholeIndex(eval(f));
}

// Numbers that sit in place, in whole arithmetic and comparison or in Double sums and
// products: counters, indexes and sums, the bulk of what loops compute, done before anything
// else is looked at.
Variant BinaryExpr::eval(Frame& f)
{
    if (plainOperands()) {
        const Variant& x = *leftOp.peekPlain(f);
        const Variant& y = *rightOp.peekPlain(f);
        if (isWhole(x) && isWhole(y)) {
            int64_t p = wholeValue(x), q = wholeValue(y);
            bool bothInt = x.type() == vtInteger && y.type() == vtInteger;
            switch (op) {
            case BinOp::Add: return wholeOrLong(p + q, bothInt);
            case BinOp::Sub: return wholeOrLong(p - q, bothInt);
            case BinOp::Mul: return wholeOrLong(p * q, bothInt);
            case BinOp::Mod: if (q) return wholeOrLong(p % q, bothInt); break;
            case BinOp::IntDiv: if (q) return wholeOrLong(p / q, bothInt); break;
            case BinOp::Eq: return Variant::fromBool(p == q);
            case BinOp::Ne: return Variant::fromBool(p != q);
            case BinOp::Lt: return Variant::fromBool(p < q);
            case BinOp::Le: return Variant::fromBool(p <= q);
            case BinOp::Gt: return Variant::fromBool(p > q);
            case BinOp::Ge: return Variant::fromBool(p >= q);
            default: break;
            }
        } else if ((x.type() == vtDouble || isWhole(x)) && (y.type() == vtDouble || isWhole(y))) {
            double p = x.type() == vtDouble ? x.doubleValue() : double(wholeValue(x));
            double q = y.type() == vtDouble ? y.doubleValue() : double(wholeValue(y));
            double r = op == BinOp::Add ? p + q : op == BinOp::Sub ? p - q : op == BinOp::Mul ? p * q : NAN;
            if (std::isfinite(r))
                return Variant::fromDouble(r);
        }
    }
    return evalOperands(f);
}

Variant BinaryExpr::evalOperands(Frame& f)
{
    return withOperands(*this, f, [this](const Variant& x, const Variant& y, Variant* owned) __attribute__((always_inline)) {
        return applyBinary(op, x, y, *this, owned);
    });
}

// ---------------------------------------------------------------- statements

void AssignStmt::classify()
{
    shape = General;
    auto* n = dynamic_cast<NameExpr*>(target);
    if (isSet || !n)
        return;
    name = n;
    if (n->kind == NameExpr::Return && !n->hasArgs)
        shape = ReturnVar;
    else if (n->kind == NameExpr::Global && !n->hasArgs)
        shape = GlobalVar;
    else if (n->kind == NameExpr::Field && !n->hasArgs)
        shape = FieldVar;
    else if (n->kind == NameExpr::Global && n->args.size() == 1)
        shape = GlobalElement;
    else if (n->kind != NameExpr::Local)
        shape = General;
    else if (!n->hasArgs)
        shape = LocalVar;
    else if (n->args.size() == 1)
        shape = LocalElement;
}

// The value is evaluated before the target is looked at: it may run code that changes it.
Flow AssignStmt::exec(Frame& f)
{
    if (shape == Unknown)
        classify();
    if (shape == LocalVar || shape == ReturnVar || shape == GlobalVar || shape == FieldVar) {
        // A global that is a procedure or a constant (by the time the value is known) refuses
        // the assignment the general way.
        auto refused = [&] {
            if (shape != GlobalVar)
                return false;
            GlobalSlot& g = name->globalSlot(f);
            return g.proc || g.isConst;
        };
        auto dest = [&]() -> Variant& {
            switch (shape) {
            case LocalVar: return *f.vars[name->slot];
            case ReturnVar: return f.ret;
            case FieldVar: return f.me->fields[size_t(name->slot)];
            default: return name->global->value;
            }
        };
        if (const Variant* src = valueOp.peek(f, value); src && !refused()) {
            Variant& dst = dest();
            if (!src->isObject() && !dst.isArray()) {
                dst = *src;
                return Flow::Normal;
            }
        }
        Variant v = value->eval(f);
        if (refused()) {
            target->assign(f, std::move(v), false);
            return Flow::Normal;
        }
        Variant& dst = dest();
        if (!v.isObject() && !dst.isArray())
            dst = std::move(v);
        else
            assignTo(dst, std::move(v), false);
        return Flow::Normal;
    }
    if (shape == LocalElement || shape == GlobalElement) {
        const Variant* src = valueOp.peek(f, value);
        Variant v = src ? *src : value->eval(f);
        Variant* arr = shape == LocalElement ? f.vars[name->slot] : const_cast<Variant*>(name->peekGlobal(f));
        if (arr && arr->isArray()) {
            Variant& el = name->element1(f, *arr, true);
            if (!v.isObject() && !el.isArray())
                el = std::move(v);
            else
                assignTo(el, std::move(v), false);
            return Flow::Normal;
        }
        target->assign(f, std::move(v), false);
        return Flow::Normal;
    }
    target->assign(f, value->eval(f), isSet);
    return Flow::Normal;
}

Flow AppendStmt::exec(Frame& f)
{
    // The parts are evaluated before the target is touched, as the plain assignment would.
    Variant parts[4];
    std::vector<Variant> more;
    size_t n = tails.size();
    for (size_t i = 0; i < n; ++i) {
        Variant v = tails[i]->eval(f);
        if (i < 4) parts[i] = std::move(v); else more.push_back(std::move(v));
    }
    auto part = [&](size_t i) -> Variant& { return i < 4 ? parts[i] : more[i - 4]; };
    Variant* var = target->kind == NameExpr::Global && f.eng->globals[size_t(target->slot)].isConst ? nullptr
                                                                                             : target->variable(f, true);
    if (var && var->isString()) {
        for (size_t i = 0; i < n; ++i) {
            Variant& p = part(i);
            if (p.isNull())
                continue;
            var->strRef().append(p.isString() ? p.str() : toStr(valueOf(p)));
        }
        return Flow::Normal;
    }
    Variant cur = target->eval(f);
    for (size_t i = 0; i < n; ++i)
        cur = binaryOp(BinOp::Concat, cur, part(i));
    target->assign(f, std::move(cur), false);
    return Flow::Normal;
}

Flow ConstStmt::exec(Frame& f)
{
    Variant v = valueOf(value->eval(f));
    Variant* var = target->variable(f, true);
    if (!var)
        raiseError(errIllegalAssign);
    *var = std::move(v);
    if (target->kind == NameExpr::Global)
        f.eng->globals[size_t(target->slot)].isConst = true;
    return Flow::Normal;
}

// Under On Error Resume Next an error in a condition is recorded in Err and reported as a
// failure instead of propagating; without it the error goes on as usual.
static bool condition(Frame& f, Expr* e)
{
    return e->test(f);
}

static bool failedCondition(Frame& f, Expr* e, bool& value)
{
    // Errors in an ElseIf or Loop condition belong to that line, not to the statement before.
    if (e->line)
        f.line = e->line;
    if (!f.resumeNext) {
        value = condition(f, e);
        return false;
    }
    try {
        value = condition(f, e);
        return false;
    } catch (ScriptError& err) {
        if (!err.line)
            err.line = f.line;
        f.eng->err.set(err);
        return true;
    }
}

Flow IfStmt::exec(Frame& f)
{
    for (auto& [cond, block] : arms) {
        bool taken = false;
        if (!f.resumeNext) {
            if (cond->line)
                f.line = cond->line;
            taken = cond->test(f);
        } else if (failedCondition(f, cond, taken)) {
            // A failing condition resumes at the next statement, the first one of its block.
            taken = true;
        }
        if (taken)
            return execBlock(f, block);
    }
    return execBlock(f, elseBlock);
}

Flow ForStmt::exec(Frame& f)
{
    // Text bounds count as the numbers they hold: "1" + "1" must not concatenate.
    auto number = [](Variant v) { return v.isString() ? Variant::fromDouble(toDouble(v)) : v; };
    Variant start = number(valueOf(from->eval(f)));
    Variant limit = number(valueOf(to->eval(f)));
    Variant inc = step ? number(valueOf(step->eval(f))) : Variant::fromInteger(1);
    if (start.isNull() || limit.isNull() || inc.isNull())
        raiseError(errInvalidNull);
    double limitD = toDouble(limit);
    double stepD = toDouble(inc);
    auto* name = static_cast<NameExpr*>(var);
    var->assign(f, start, false);
    Variant* v = name->variable(f, true);
    if (!v)
        raiseError(errTypeMismatch);
    bool wholeStep = isWhole(inc);
    int64_t stepL = wholeStep ? wholeValue(inc) : 0;
    for (;;) {
        double cur = v->type() == vtInteger ? v->intValue() : v->type() == vtLong ? v->longValue() : toDouble(*v);
        if (stepD >= 0 ? cur > limitD : cur < limitD)
            break;
        Flow fl = execBlock(f, body);
        if (fl == Flow::ExitFor)
            break;
        if (fl != Flow::Normal)
            return fl;
        f.eng->tick();
        if (wholeStep && isWhole(*v))
            *v = wholeOrLong(wholeValue(*v) + stepL, v->type() == vtInteger && inc.type() == vtInteger);
        else
            *v = binaryOp(BinOp::Add, *v, inc);
    }
    return Flow::Normal;
}

// Under On Error Resume Next a failing header resumes at the next statement, the first of the
// body, as If does: With runs its body with no object, For Each runs its body once.
static bool failedHeader(Frame& f, const std::function<void()>& header)
{
    if (!f.resumeNext) {
        header();
        return false;
    }
    try {
        header();
        return false;
    } catch (ScriptError& err) {
        if (!err.line)
            err.line = f.line;
        f.eng->err.set(err);
        return true;
    }
}

Flow ForEachStmt::exec(Frame& f)
{
    std::vector<Variant> items;
    bool failed = failedHeader(f, [&] {
        Variant c = coll->eval(f);
        if (c.isArray()) {
            items = c.array()->items;
        } else if (c.isObject()) {
            if (!c.object())
                raiseError(errObjectNotSet);
            if (!c.object()->enumerate(items))
                raiseError(errNotCollection);
        } else {
            raiseError(errNotCollection);
        }
    });
    if (failed) {
        Flow fl = execBlock(f, body);
        return fl == Flow::ExitFor ? Flow::Normal : fl;
    }
    for (Variant& item : items) {
        bool isObj = item.isObject();
        var->assign(f, std::move(item), isObj);
        Flow fl = execBlock(f, body);
        if (fl == Flow::ExitFor)
            break;
        if (fl != Flow::Normal)
            return fl;
        f.eng->tick();
    }
    return Flow::Normal;
}

Flow DoStmt::exec(Frame& f)
{
    // A failing Do While/Until or While condition resumes at the next statement, the first of
    // the body, as If does. Where VBScript would then test the same failing condition for ever,
    // a second failure in a row ends the loop. A failing Loop While/Until condition resumes
    // after the loop.
    bool failedBefore = false;
    for (;;) {
        if (pre != None) {
            bool c = false;
            if (failedCondition(f, preCond, c)) {
                if (failedBefore)
                    break;
                failedBefore = true;
            } else {
                failedBefore = false;
                if (c != (pre == While))
                    break;
            }
        }
        Flow fl = execBlock(f, body);
        if (fl == Flow::ExitDo)
            break;
        if (fl != Flow::Normal)
            return fl;
        f.eng->tick();
        if (post != None) {
            bool c = false;
            if (failedCondition(f, postCond, c) || c != (post == While))
                break;
        }
    }
    return Flow::Normal;
}

Flow SelectStmt::exec(Frame& f)
{
    // Under On Error Resume Next a failing test expression resumes at the first Case test,
    // which then compares with the value the test never received (Empty); a failing Case
    // expression resumes in the block of that Case.
    Variant v;
    if (f.resumeNext) {
        try {
            v = valueOf(e->eval(f));
        } catch (ScriptError& err) {
            if (!err.line)
                err.line = f.line;
            f.eng->err.set(err);
        }
    } else {
        v = valueOf(e->eval(f));
    }
    for (auto& [values, block] : cases) {
        for (Expr* x : values) {
            if (x->line)
                f.line = x->line;
            if (!f.resumeNext) {
                Variant r = compareOp(BinOp::Eq, v, x->eval(f), e->isLiteral(), x->isLiteral());
                if (r.type() == vtBoolean && r.boolValue())
                    return execBlock(f, block);
                continue;
            }
            try {
                Variant r = compareOp(BinOp::Eq, v, x->eval(f), e->isLiteral(), x->isLiteral());
                if (r.type() == vtBoolean && r.boolValue())
                    return execBlock(f, block);
            } catch (ScriptError& err) {
                if (!err.line)
                    err.line = f.line;
                f.eng->err.set(err);
                return execBlock(f, block);
            }
        }
    }
    return execBlock(f, elseBlock);
}

Flow WithStmt::exec(Frame& f)
{
    Variant o;
    failedHeader(f, [&] {
        o = obj->eval(f);
        if (!o.isObject())
            raiseError(errObjectRequired);
    });
    Variant* h = holder->variable(f, true);
    *h = std::move(o);
    Flow fl = execBlock(f, body);
    *holder->variable(f, true) = Variant();
    return fl;
}

Flow OnErrorStmt::exec(Frame& f)
{
    f.resumeNext = resume;
    f.hadResumeNext |= resume;
    f.eng->err.clear();
    return Flow::Normal;
}

static std::vector<ArrayData::Bound> boundsOf(Frame& f, const ExprList& dims)
{
    std::vector<ArrayData::Bound> b;
    for (Expr* d : dims) {
        int32_t ub = toLong(d->eval(f));
        if (ub < -1)
            raiseError(errSubscript);
        b.push_back({0, ub + 1});
    }
    size_t total = 1;
    for (auto& x : b) {
        total *= size_t(x.count);
        if (total > 100'000'000)
            raiseError(errOutOfMemory);
    }
    return b;
}

Flow DimStmt::exec(Frame& f)
{
    Variant* v = target->variable(f, true);
    if (!v || v->isArray())
        return Flow::Normal;
    auto* a = new ArrayData(boundsOf(f, dims));
    a->fixed = !dims.empty();
    *v = Variant::fromArray(a);
    return Flow::Normal;
}

Flow ReDimStmt::exec(Frame& f)
{
    for (auto& [target, dims] : targets) {
        auto* name = static_cast<NameExpr*>(target);
        Variant* v = name->variable(f, true);
        if (!v)
            raiseError(errTypeMismatch);
        std::vector<ArrayData::Bound> b = boundsOf(f, dims);
        if (v->isArray()) {
            if (v->array()->fixed || v->array()->locks > 0)
                raiseError(errArrayLocked);
        }
        if (preserve && v->isArray() && v->array()->rank() > 0) {
            ArrayData* old = v->arrayForWrite();
            if (old->rank() != int(b.size()))
                raiseError(errSubscript);
            for (size_t k = 0; k + 1 < b.size(); ++k)
                if (old->bounds[k].count != b[k].count)
                    raiseError(errSubscript);
            size_t n = 1;
            for (auto& x : b) n *= size_t(x.count);
            old->items.resize(n);
            old->bounds = b;
            continue;
        }
        *v = Variant::fromArray(new ArrayData(b));
    }
    return Flow::Normal;
}

Flow EraseStmt::exec(Frame& f)
{
    auto* name = static_cast<NameExpr*>(target);
    Variant* v = name->variable(f, false);
    if (!v || !v->isArray())
        raiseError(errTypeMismatch);
    if (v->array()->locks > 0)
        raiseError(errArrayLocked);
    if (v->array()->fixed) {
        ArrayData* a = v->arrayForWrite();
        for (Variant& x : a->items) x = Variant();
    } else {
        *v = Variant::fromArray(new ArrayData());
    }
    return Flow::Normal;
}

Flow RandomizeStmt::exec(Frame& f)
{
    double s = seed ? toDouble(seed->eval(f)) : double(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0;
    f.eng->setRandomSeed(s);
    return Flow::Normal;
}

Flow ExecuteStmt::exec(Frame& f)
{
    Variant text = code->eval(f);
    if (!text.isString() && !text.isEmpty())
        raiseError(errTypeMismatch);
    f.eng->execute(f, text.str(), global);
    return Flow::Normal;
}

} // namespace script
