// The engine's inside: syntax tree nodes (each evaluates itself), procedures, classes, frames
// and the engine that holds global state. Names are bound to vars when a chunk is compiled,
// so running code indexes arrays instead of looking names up.
#pragma once

#include "script/ScriptError.h"
#include "script/Variant.h"

#include <QHash>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace script {

class Engine;
struct Frame;
struct Procedure;
struct ClassDef;
class ClassInstance;
struct Chunk;

enum class Flow { Normal, ExitDo, ExitFor, ExitProc };

struct Node {
    virtual ~Node() = default;
    int line = 0;
};

// Keeps arrays whose elements are lent out by reference locked for the length of a call.
// Most calls lend none, so the list is made only when one is lent.
class ArrayLocks {
public:
    ArrayLocks() = default;
    ArrayLocks(const ArrayLocks&) = delete;
    ArrayLocks& operator=(const ArrayLocks&) = delete;
    ~ArrayLocks()
    {
        if (locked_)
            release();
    }
    void lock(ArrayData* a);

private:
    void release();
    std::vector<ArrayData*>* locked_ = nullptr;
};

// The arguments of a call as the callee reads them, with the locks for those lent by reference.
class ArgPack : public ArrayLocks {
public:
    ArgPack() = default;
    ~ArgPack()
    {
        for (size_t i = 0; i < nt_; ++i)
            reinterpret_cast<Variant*>(tempBuf_ + sizeof(Variant) * i)->~Variant();
    }
    void add(Variant* p)
    {
        if (n_ < kInline) inlinePtrs_[n_++] = p;
        else addMore(p);
    }
    // A slot for a value argument; stable for the life of the pack.
    Variant* temp()
    {
        if (nt_ < kInline) return new (tempBuf_ + sizeof(Variant) * nt_++) Variant();
        moreTemps_.push_back(std::make_unique<Variant>());
        return moreTemps_.back().get();
    }
    Args args() const { return n_ <= kInline ? Args(inlinePtrs_, n_) : Args(morePtrs_.data(), n_); }
    size_t size() const { return n_; }

private:
    void addMore(Variant* p);
    static constexpr size_t kInline = 4;
    Variant* inlinePtrs_[kInline];
    std::vector<Variant*> morePtrs_;
    size_t n_ = 0;
    alignas(Variant) unsigned char tempBuf_[kInline * sizeof(Variant)];
    size_t nt_ = 0;
    std::vector<std::unique_ptr<Variant>> moreTemps_;
};

struct Expr : Node {
    // The value, with procedures called and no default member applied.
    virtual Variant eval(Frame& f) = 0;
    // The variable itself when this expression may be passed by reference; nullptr otherwise.
    virtual Variant* ref(Frame& f, ArrayLocks& locks) { (void)f; (void)locks; return nullptr; }
    // Assignment (Let or Set) to this expression.
    virtual void assign(Frame& f, Variant v, bool isSet);
    // Evaluated as a statement: Subs may be called, the result is dropped.
    virtual void callStmt(Frame& f) { eval(f); }
    // Evaluated as the condition of If, Do or While: Null counts as False.
    virtual bool test(Frame& f);
    // Evaluated as an array subscript: the value as a Long.
    virtual int32_t subscript(Frame& f);
    virtual bool isLiteral() const { return false; }
    // The value where it already sits (a literal, a plain local), read without a copy and with
    // no effect; nullptr when it must be evaluated.
    virtual const Variant* peek(Frame& f) { (void)f; return nullptr; }
};
using ExprList = std::vector<Expr*>;

struct Stmt : Node {
    virtual Flow exec(Frame& f) = 0;
};
using Block = std::vector<Stmt*>;

struct Param {
    QString name;
    bool byVal = false;
};

struct Procedure {
    enum Kind { Sub, Function, PropGet, PropLet, PropSet };
    QString name;
    Kind kind = Sub;
    std::vector<Param> params;
    int nLocals = 0;          // parameters first, then Dims, hidden vars and implicit locals
    Block body;
    ClassDef* cls = nullptr;
    bool isPublic = true;
    bool isDefault = false;
    int line = 0;
    QHash<QString, int> locals;   // lower-case name -> slot, for Execute and Eval inside it
    QHash<QString, int> implicitLocals;  // undeclared names of the body, same use
};

struct ClassDef {
    struct Field { QString name; bool isPublic = true; ExprList dims; bool hasDims = false; };
    struct Member {
        QString name;
        int field = -1;
        Procedure* get = nullptr;   // Function, Sub or Property Get
        Procedure* let = nullptr;
        Procedure* set = nullptr;
        bool isPublic = true;
    };
    QString name;
    std::vector<Field> fields;
    std::vector<Member> members;
    QHash<QString, int> memberIndex;  // lower-case name -> index into members
    int defaultMember = -1;
    Procedure* init = nullptr;
    Procedure* term = nullptr;
    std::weak_ptr<Chunk> chunk;
};

// One compiled piece of code (an AddCode, ExecuteGlobal, Execute or Eval text).
struct Chunk {
    std::vector<std::unique_ptr<Node>> nodes;
    std::vector<std::unique_ptr<Procedure>> procs;
    std::vector<std::unique_ptr<ClassDef>> classes;
    Block body;
    Expr* expr = nullptr;  // for Eval
    bool optionExplicit = false;
};

struct GlobalSlot {
    QString name;
    Variant value;
    Procedure* proc = nullptr;
    bool isConst = false;
};

struct Frame {
    Engine* eng = nullptr;
    Procedure* proc = nullptr;   // nullptr in top-level code
    Variant** vars = nullptr;
    ClassInstance* me = nullptr;
    Variant ret;
    bool resumeNext = false;
    bool hadResumeNext = false;  // Err is cleared when such a procedure returns
    int line = 0;
    // Locals first assigned by Execute code in this call (lower-case name); the map keeps
    // their addresses stable.
    std::unique_ptr<std::map<QString, Variant>> execLocals;
    Variant& execLocal(const QString& lname)
    {
        if (!execLocals)
            execLocals = std::make_unique<std::map<QString, Variant>>();
        return (*execLocals)[lname];
    }
};

// Thrown past every On Error Resume Next: a time-out must stop the script.
struct ScriptAbort {
    ScriptError error;
};
// Thrown by WScript.Quit: ends the script without an error.
struct ScriptQuit {
    int code = 0;
};
inline constexpr int kTimeoutNumber = -2147467260;  // E_ABORT
// The description of a script stopped because the program was asked to end while it ran.
inline constexpr const char* kInterruptedText = "Script interrupted: the program is ending";

using BuiltinFn = Variant (*)(Frame& f, Args args);
struct Builtin {
    BuiltinFn fn;
    int minArgs;
    int maxArgs;
    bool conversion = false;  // CInt and its kin: "Call CInt(1)" is refused when it runs
};
// The builtin function of that lower-case name, or nullptr.
const Builtin* findBuiltin(const QString& lowerName);

class ClassInstance final : public Dispatch {
public:
    ClassInstance(Engine* e, ClassDef* c, std::shared_ptr<Chunk> keep);
    QString typeName() const override;
    int memberId(const QString& name, bool fromInside) override;
    Variant invoke(int id, InvokeKind kind, Args args) override;
    const void* shape() const override { return cls_; }
    ClassDef* cls() const { return cls_; }
    bool alive() const { return *alive_; }
    std::vector<Variant> fields;

protected:
    void lastRelease() override;

private:
    Engine* eng_;
    ClassDef* cls_;
    std::shared_ptr<Chunk> keep_;
    std::shared_ptr<bool> alive_;
};

// The Err object.
class ErrObject final : public Dispatch {
public:
    QString typeName() const override { return QStringLiteral("ErrObject"); }
    const void* shape() const override { static const char k = 0; return &k; }
    int memberId(const QString& name, bool fromInside) override;
    Variant invoke(int id, InvokeKind kind, Args args) override;
    void set(const ScriptError& e)
    {
        number = e.number;
        description = e.description;
        source = e.source;
        helpFile = e.helpFile;
        helpContext = e.helpContext;
    }
    void clear() { set(ScriptError{}); }
    int number = 0;
    QString description;
    QString source;
    QString helpFile;
    int helpContext = 0;

protected:
    void lastRelease() override {}
};

struct NamedItem {
    QString name;
    Ref<Dispatch> object;
    bool globalMembers = false;
};

class Engine {
public:
    Engine();
    ~Engine();

    void reset();
    // Compiles and runs top-level code. Throws ScriptError.
    void addCode(const QString& code);
    void addObject(const QString& name, Dispatch* obj, bool globalMembers);
    Variant run(const QString& procName, std::vector<Variant>& args);
    Variant evalText(const QString& expr);

    // Execute/ExecuteGlobal/Eval from a running script.
    void execute(Frame& f, const QString& code, bool global);
    Variant evaluate(Frame& f, const QString& expr);

    Variant callProc(Procedure* p, ClassInstance* me, Args args);
    // The same with the argument expressions of a call site, evaluated in the caller's frame.
    Variant callProc(Procedure* p, ClassInstance* me, Frame& caller, const ExprList& args)
    {
        if (args.size() != p->params.size())
            return callWithWrongCount(p, me, caller, args);
        return enterProc(p, me, {}, &caller, &args);
    }
    ClassInstance* newInstance(const QString& className);
    ClassInstance* newInstance(ClassDef* c);

    int globalSlot(const QString& lowerName) const { return globalIndex.value(lowerName, -1); }
    // A new global slot, not yet reachable by name (the parser names it when the chunk compiles).
    int addGlobal(const QString& name);
    // A new global variable reachable by name at once.
    int defineGlobal(const QString& name);
    // Looks a name up among the members of objects added with global members.
    bool findHostMember(const QString& name, Dispatch*& obj, int& id);

    // Called at every loop turn and procedure call.
    void tick() { if (--ticks_ <= 0) slowTick(); }
    void enterCall() { ++depth_; checkStack(); }
    void leaveCall() { --depth_; }
    // 28 when the machine stack runs low.
    void checkStack()
    {
        char here;
        if (stackBase_ && (&here < stackBase_ || depth_ > 20000))
            stackExhausted();
    }

    void setTimeout(int ms) { timeoutMs_ = ms; }
    void setRandomSeed(double seed);
    // Rnd with a negative number: the generator restarts from that number's Single bits.
    void restartRandom(double seed);
    double nextRandom();
    double lastRandom = 0;

    std::deque<GlobalSlot> globals;
    QHash<QString, int> globalIndex;
    QHash<QString, ClassDef*> classes;
    std::vector<NamedItem> items;
    std::vector<std::shared_ptr<Chunk>> chunks;
    ErrObject err;
    int generation = 1;   // bumped when a global name appears
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
    // Where WScript.Echo-like host output goes when a host wants the engine to print.
    std::function<void(const QString&)> print;
    // MsgBox and InputBox raise 70 when the host allows no user interface.
    bool allowUI = true;
    // Set when a script asked for one of them while allowUI was off, so a host can say why.
    bool uiRefused = false;

private:
    friend struct EngineEntry;
    void slowTick();
    [[noreturn]] void stackExhausted();
    std::shared_ptr<Chunk> compile(const QString& code, bool global, Procedure* scope, bool exprOnly,
                                   const Frame* caller = nullptr);
    void commit(const std::shared_ptr<Chunk>& c);
    Flow runTop(Chunk& c);
    Variant enterProc(Procedure* p, ClassInstance* me, Args args, Frame* caller, const ExprList* exprs);
    Variant callWithWrongCount(Procedure* p, ClassInstance* me, Frame& caller, const ExprList& args);
    [[gnu::always_inline]] inline Variant runBody(Procedure* p, ClassInstance* me, Variant** vars);

    int ticks_ = 4096;
    int timeoutMs_ = -1;
    qint64 startMs_ = 0;
    int terminations_ = 0;   // termination requests seen when the outermost entry began
    int depth_ = 0;
    int entered_ = 0;
    char* stackBase_ = nullptr;
    size_t stackLimit_ = 0;
    uint32_t rnd_ = 327680;
};

// Sets up stack and time-out bookkeeping for the outermost entry into the engine.
struct EngineEntry {
    explicit EngineEntry(Engine& e);
    ~EngineEntry();
    Engine& eng;
};

Flow execBlock(Frame& f, const Block& b);
// Calls a value with arguments: array index, default member or plain value.
Variant applyArgs(const Variant& target, Args args);
// Assigns a value to a variable with VBScript's Let/Set rules.
void assignTo(Variant& dst, Variant v, bool isSet);

} // namespace script
