// Syntax tree node types. The parser builds them; Interpreter.cpp gives them behaviour.
#pragma once

#include "script/Engine.h"

namespace script {

struct LiteralExpr final : Expr {
    Variant v;
    Variant eval(Frame&) override { return v; }
    bool isLiteral() const override { return true; }
    const Variant* peek(Frame&) override { return &v; }
};

struct MissingExpr final : Expr {
    Variant eval(Frame&) override { return Variant::missing(); }
};

// Where an operand that needs no evaluation sits, worked out on first use: a plain local
// (its slot) or a literal. Both stay what they are once the chunk is bound.
// An element of a local array whose index needs no evaluation either counts too: it is read
// in place while it exists, and evaluated (with the error that brings) when it does not.
struct NameExpr;
struct BinaryExpr;
struct OperandCache {
    enum Mode : int8_t { Unknown, Evaluate, LocalSlot, Constant, LocalElement, GlobalVar, GlobalElement, FieldVar };
    Mode mode = Unknown;
    int slot = 0;
    const Variant* constant = nullptr;
    NameExpr* element = nullptr;  // the element, or the global variable
    inline const Variant* peek(Frame& f, Expr* e);
    // peek for an operand already known to be a local or a literal.
    [[gnu::always_inline]] const Variant* peekPlain(Frame& f) const
    {
        return mode == LocalSlot ? f.vars[slot] : mode == Constant ? constant : nullptr;
    }
    // peek for an operand already known to be a variable or a literal.
    [[gnu::always_inline]] inline const Variant* peekVariable(Frame& f) const;
    // Whether peek may give the value: false for an operand that must always be evaluated.
    bool mayPeek(Expr* e)
    {
        if (mode == Unknown) classify(e);
        return mode != Evaluate;
    }
    void classify(Expr* e);
};

// A ".name" reference outside any With block: error 505 when it runs.
struct UnqualifiedExpr final : Expr {
    Variant eval(Frame&) override { raiseError(505); }
};

struct MeExpr final : Expr {
    Variant eval(Frame& f) override;
};

// A name, optionally with an argument list: variable, array element, procedure call,
// builtin call or default-member call, bound to its slot at compile time.
struct NameExpr final : Expr {
    enum Kind { Local, Global, Field, Member, BuiltinCall, Return, Dynamic };
    QString name;
    QString lname;
    Kind kind = Dynamic;
    int slot = -1;
    int fallback = -1;          // implicit local of a procedure, used when nothing else matches
    const Builtin* builtin = nullptr;
    bool explicitMode = false;  // Option Explicit in force
    bool topLevel = false;      // in top-level code: assignment creates a global
    bool execLocal = false;     // Execute code in a procedure: a new name is a local of the call
    bool execDeclared = false;  // ... and one that code Dim'd: a local even over a global
    bool viaCall = false;       // the target of a Call statement
    ExprList args;
    bool hasArgs = false;
    GlobalSlot* global = nullptr;  // the Global slot, once looked up (slots never move)
    // Cache of a dynamic lookup that found a host member.
    int cacheGen = 0;
    Dispatch* cacheObj = nullptr;
    int cacheId = -1;

    // A plain local is most of what runs, then an element of a local array; both stay out of
    // the general paths' set-up.
    Variant eval(Frame& f) override
    {
        if (kind == Local) {
            Variant* v = f.vars[slot];
            if (!hasArgs) return *v;
            if (args.size() == 1 && v->isArray()) return element1(f, *v, false);
        } else if (kind == Global && global && global->proc) {
            return callProc(f);
        }
        return evalGeneral(f);
    }
    Variant callProc(Frame& f) { return f.eng->callProc(global->proc, nullptr, f, args); }
    Variant* ref(Frame& f, ArrayLocks& locks) override
    {
        return kind == Local && !hasArgs ? f.vars[slot] : refGeneral(f, locks);
    }
    const Variant* peek(Frame& f) override { return kind == Local && !hasArgs ? f.vars[slot] : nullptr; }
    void assign(Frame& f, Variant v, bool isSet) override;
    void callStmt(Frame& f) override;
    Variant evalGeneral(Frame& f);
    // Array elements up to this rank are indexed without building an argument list.
    static constexpr size_t kFastRank = 3;
    OperandCache argOps[kFastRank];  // for a builtin call: its arguments
    int8_t plainArgState = -1;  // builtin arguments all read in place: -1 not known yet
    bool plainArgs(Frame& f, Variant** out);
    // The variable holding an array, when this name is a plain variable that holds one.
    Variant* plainArray(Frame& f);
    // The element the arguments index in arr.
    Variant& element(Frame& f, Variant& arr, bool forWrite);
    // The same for one index, the common case, in line up to the bounds check.
    [[gnu::always_inline]] Variant& element1(Frame& f, Variant& arr, bool forWrite)
    {
        const Variant* x = argOps[0].peek(f, args[0]);
        int32_t i = !x ? evalIndex(f) : x->type() == vtInteger ? x->intValue() : x->type() == vtLong ? x->longValue() : toLong(*x);
        if (arr.isArray()) {
            ArrayData* a = forWrite ? arr.arrayForWrite() : arr.array();
            if (a->bounds.size() == 1) {
                int64_t k = int64_t(i) - a->bounds[0].lower;
                if (k >= 0 && k < a->bounds[0].count)
                    return a->items[size_t(k)];
            }
        }
        return elementAt(arr, forWrite, i);
    }
    int32_t evalIndex(Frame& f);
    Variant& elementAt(Variant& arr, bool forWrite, int32_t index);
    // The element of a local (or global) array this names, read in place; nullptr when the
    // variable holds no array, the index is not a whole number or is out of range (evaluation
    // then says why). Indexes of a local array are locals or literals, of a global array any
    // variable or literal.
    template <bool Global>
    [[gnu::always_inline]] const Variant* peekElement(Frame& f)
    {
        const Variant* arr = Global ? peekGlobal(f) : f.vars[slot];
        if (!arr || !arr->isArray()) return nullptr;
        int64_t i;
        if (!peekIndex<Global>(f, i)) return nullptr;
        const ArrayData* a = arr->array();
        if (a->bounds.size() != 1) return nullptr;
        int64_t k = i - a->bounds[0].lower;
        return k >= 0 && k < a->bounds[0].count ? &a->items[size_t(k)] : nullptr;
    }
    template <bool Global> [[gnu::always_inline]] inline bool peekIndex(Frame& f, int64_t& i);
    // a(j + 1): the index is a sum or difference of operands that sit in place.
    BinaryExpr* indexSum = nullptr;
    Variant* refGeneral(Frame& f, ArrayLocks& locks);
    // The variable for a binding that is one, else nullptr (procedures, builtins, members).
    Variant* variable(Frame& f, bool create);
    GlobalSlot& globalSlot(Frame& f) { return global ? *global : *(global = &f.eng->globals[size_t(slot)]); }
    // The value of a global variable (not a procedure), where it sits.
    [[gnu::always_inline]] const Variant* peekGlobal(Frame& f)
    {
        GlobalSlot& g = globalSlot(f);
        return g.proc ? nullptr : &g.value;
    }
};

[[gnu::always_inline]] inline const Variant* OperandCache::peek(Frame& f, Expr* e)
{
    switch (mode) {
    case LocalSlot: return f.vars[slot];
    case Constant: return constant;
    case LocalElement: return element->peekElement<false>(f);
    case GlobalVar: return element->peekGlobal(f);
    case GlobalElement: return element->peekElement<true>(f);
    case FieldVar: return &f.me->fields[size_t(slot)];
    case Evaluate: return nullptr;
    case Unknown: break;
    }
    classify(e);
    if (mode == FieldVar) return &f.me->fields[size_t(slot)];
    if (mode == LocalElement) return element->peekElement<false>(f);
    if (mode == GlobalElement) return element->peekElement<true>(f);
    if (mode == GlobalVar) return element->peekGlobal(f);
    return peekPlain(f);
}

[[gnu::always_inline]] inline const Variant* OperandCache::peekVariable(Frame& f) const
{
    return mode == GlobalVar ? element->peekGlobal(f) : peekPlain(f);
}

struct MemberExpr final : Expr {
    Expr* obj = nullptr;
    QString name;
    ExprList args;
    bool hasArgs = false;
    bool fromInside = false;  // reached through Me
    const void* cacheShape = nullptr;
    int cacheId = -1;
    int cacheField = -1;  // the member is a plain field of a script class instance
    Procedure* cacheMethod = nullptr;  // ... or a method these arguments call directly
    OperandCache objOp;

    Variant eval(Frame& f) override;
    void assign(Frame& f, Variant v, bool isSet) override;
    int resolve(Dispatch* d);
    // The object the member belongs to; 424 when there is none.
    static Dispatch* target(const Variant& o);
    // The field itself when the member is a plain field of d (resolved); else nullptr.
    Variant* plainField(Dispatch* d) const
    {
        if (cacheField < 0 || hasArgs) return nullptr;
        auto* ci = static_cast<ClassInstance*>(d);
        return ci->alive() ? &ci->fields[size_t(cacheField)] : nullptr;
    }
    Variant evalOn(Frame& f, Dispatch* d);
    void assignOn(Frame& f, Dispatch* d, Variant v, bool isSet);
};

struct ApplyExpr final : Expr {
    Expr* target = nullptr;
    ExprList args;
    Variant eval(Frame& f) override;
    Variant* ref(Frame& f, ArrayLocks& locks) override;
    void assign(Frame& f, Variant v, bool isSet) override;
};

struct ParenExpr final : Expr {
    Expr* inner = nullptr;
    Variant eval(Frame& f) override { return inner->eval(f); }
};

struct NewExpr final : Expr {
    QString className;
    QString lname;  // lower case, for the lookup
    ClassDef* cacheClass = nullptr;  // what lname named when the engine's names last changed
    int cacheGen = 0;
    Variant eval(Frame& f) override;
};

struct UnaryExpr final : Expr {
    bool isNot = false;
    Expr* e = nullptr;
    Variant eval(Frame& f) override;
};

struct BinaryExpr final : Expr {
    BinOp op = BinOp::Add;
    Expr* a = nullptr;
    Expr* b = nullptr;
    OperandCache leftOp, rightOp;
    int textToFollow = 0;  // in a chain of &: about how much text the later parts add
    Variant eval(Frame& f) override;
    bool test(Frame& f) override;
    [[gnu::noinline]] Variant evalOperands(Frame& f);
    [[gnu::noinline]] bool testOperands(Frame& f);
    bool plainOperands() const
    {
        auto plain = [](OperandCache::Mode m) { return m == OperandCache::LocalSlot || m == OperandCache::Constant; };
        return plain(leftOp.mode) && plain(rightOp.mode);
    }
    int32_t subscript(Frame& f) override;
};

template <bool Global>
inline bool NameExpr::peekIndex(Frame& f, int64_t& i)
{
    auto peekOp = [&f](const OperandCache& c) { return Global ? c.peekVariable(f) : c.peekPlain(f); };
    auto whole = [](const Variant* x) { return x && (x->type() == vtInteger || x->type() == vtLong); };
    auto value = [](const Variant* x) -> int64_t { return x->type() == vtInteger ? x->intValue() : x->longValue(); };
    if (indexSum) {
        const Variant* p = peekOp(indexSum->leftOp);
        const Variant* q = peekOp(indexSum->rightOp);
        if (!whole(p) || !whole(q)) return false;
        i = indexSum->op == BinOp::Add ? value(p) + value(q) : value(p) - value(q);
        return true;
    }
    const Variant* x = peekOp(argOps[0]);
    if (!whole(x)) return false;
    i = value(x);
    return true;
}

// ---------------------------------------------------------------- statements

struct ExprStmt final : Stmt {
    Expr* e = nullptr;
    Flow exec(Frame& f) override { e->callStmt(f); return Flow::Normal; }
};

struct AssignStmt final : Stmt {
    Expr* target = nullptr;
    Expr* value = nullptr;
    bool isSet = false;
    Flow exec(Frame& f) override;
    // x = ..., a(i) = ... on locals, globals, fields and the function result, the bulk of what
    // loops, functions and methods assign, skip the general path.
    enum Shape : int8_t { Unknown, General, LocalVar, ReturnVar, GlobalVar, FieldVar, LocalElement, GlobalElement };
    Shape shape = Unknown;
    NameExpr* name = nullptr;
    OperandCache valueOp;
    void classify();
};

// x = x & a & b ..., done in place so that building a long string is not quadratic.
struct AppendStmt final : Stmt {
    NameExpr* target = nullptr;
    ExprList tails;
    Flow exec(Frame& f) override;
};

struct ConstStmt final : Stmt {
    NameExpr* target = nullptr;
    Expr* value = nullptr;
    Flow exec(Frame& f) override;
};

struct IfStmt final : Stmt {
    std::vector<std::pair<Expr*, Block>> arms;
    Block elseBlock;
    Flow exec(Frame& f) override;
};

struct ForStmt final : Stmt {
    Expr* var = nullptr;
    Expr* from = nullptr;
    Expr* to = nullptr;
    Expr* step = nullptr;
    Block body;
    Flow exec(Frame& f) override;
};

struct ForEachStmt final : Stmt {
    Expr* var = nullptr;
    Expr* coll = nullptr;
    Block body;
    Flow exec(Frame& f) override;
};

struct DoStmt final : Stmt {
    enum Cond { None, While, Until };
    Cond pre = None;
    Expr* preCond = nullptr;
    Cond post = None;
    Expr* postCond = nullptr;
    Block body;
    Flow exec(Frame& f) override;
};

struct SelectStmt final : Stmt {
    Expr* e = nullptr;
    std::vector<std::pair<ExprList, Block>> cases;
    Block elseBlock;
    Flow exec(Frame& f) override;
};

struct WithStmt final : Stmt {
    NameExpr* holder = nullptr;  // hidden variable holding the object
    Expr* obj = nullptr;
    Block body;
    Flow exec(Frame& f) override;
};

struct ExitStmt final : Stmt {
    Flow flow = Flow::ExitProc;
    Flow exec(Frame&) override { return flow; }
};

struct OnErrorStmt final : Stmt {
    bool resume = false;
    Flow exec(Frame& f) override;
};

struct DimStmt final : Stmt {
    NameExpr* target = nullptr;
    ExprList dims;
    Flow exec(Frame& f) override;
};

struct ReDimStmt final : Stmt {
    bool preserve = false;
    std::vector<std::pair<Expr*, ExprList>> targets;
    Flow exec(Frame& f) override;
};

struct EraseStmt final : Stmt {
    Expr* target = nullptr;
    Flow exec(Frame& f) override;
};

struct RandomizeStmt final : Stmt {
    Expr* seed = nullptr;
    Flow exec(Frame& f) override;
};

struct ExecuteStmt final : Stmt {
    Expr* code = nullptr;
    bool global = false;
    Flow exec(Frame& f) override;
};

struct NoopStmt final : Stmt {
    Flow exec(Frame&) override { return Flow::Normal; }
};

} // namespace script
