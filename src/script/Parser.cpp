// Recursive-descent parser for VBScript. Each parse function opens with the rule it reads.
// Names are collected while parsing and bound once the whole chunk is read, because
// VBScript lets code use procedures and variables declared further down.
#include "script/Parser.h"

#include "script/Lexer.h"
#include "script/Nodes.h"

#include <QSet>
#include <algorithm>

namespace script {

namespace {

struct BinaryOperator;

class Parser {
public:
    Parser(Engine& eng, Chunk& chunk, CompileContext& ctx, std::vector<Token> toks)
        : eng_(eng), chunk_(chunk), ctx_(ctx), toks_(std::move(toks)) {}

    void parseProgram();
    void parseExpressionOnly();

private:
    struct Pending { NameExpr* n; Procedure* proc; ClassDef* cls; };

    template <class T> T* make(int line)
    {
        auto* n = new T();
        n->line = line;
        chunk_.nodes.emplace_back(n);
        return n;
    }

    const Token& cur() const { return toks_[pos_]; }
    const Token& peekAt(size_t k) const { return toks_[std::min(pos_ + k, toks_.size() - 1)]; }
    bool at(Tok t) const { return cur().type == t; }
    bool atKw(Kw k) const { return cur().type == Tok::Ident && cur().kw == k; }
    bool atWord(const char* w) const
    {
        return cur().type == Tok::Ident && cur().kw == Kw::None && cur().text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    }
    // "Property Get|Let|Set" opens a property; "property" alone is a name like any other.
    bool atPropertyDecl() const
    {
        const Token& next = peekAt(1);
        return atWord("property") && next.type == Tok::Ident
               && (next.kw == Kw::Let || next.kw == Kw::Set
                   || (next.kw == Kw::None && next.text.compare(QLatin1String("get"), Qt::CaseInsensitive) == 0));
    }
    void advance() { if (pos_ + 1 < toks_.size()) ++pos_; }
    [[noreturn]] void fail(int number) const { raiseCompileError(number, cur().line); }
    void expect(Tok t, int err) { if (!at(t)) fail(err); advance(); }
    void expectKw(Kw k, int err) { if (!atKw(k)) fail(err); advance(); }
    QString expectIdent()
    {
        if (cur().type != Tok::Ident || cur().kw != Kw::None)
            fail(1010);
        QString s = cur().text;
        advance();
        return s;
    }
    bool atEndOfStatement() const
    {
        // "If c Then x = 1 End If" and "Sub S() x = 1 End Sub" end a statement at End.
        return at(Tok::Newline) || at(Tok::Colon) || at(Tok::End) || atKw(Kw::End) || (oneLineIf_ > 0 && atKw(Kw::Else));
    }
    void endStatement()
    {
        if (!atEndOfStatement())
            fail(errExpectedEndOfStatement);
    }
    void skipSeparators() { while (at(Tok::Newline) || at(Tok::Colon)) advance(); }
    bool atBlockEnd() const
    {
        if (at(Tok::End)) return true;
        if (cur().type != Tok::Ident) return false;
        switch (cur().kw) {
        case Kw::End: case Kw::Else: case Kw::ElseIf: case Kw::Next: case Kw::Loop: case Kw::Wend: case Kw::Case:
            return true;
        default:
            return false;
        }
    }

    // Statements.
    Block parseBlock();
    void parseStatementInto(Block& out);
    Stmt* parseIf();
    Stmt* parseFor();
    Stmt* parseDo();
    Stmt* parseWhile();
    Stmt* parseSelect();
    Stmt* parseWith();
    void parseDim(Block& out, bool isPublic, bool inClassBody);
    Stmt* parseReDim();
    void parseConst(Block& out);
    Stmt* parseCallOrAssign(bool isCall);
    void parseProcedure(bool isPublic, bool isDefault);
    void parseClass();
    void expectEnd(Kw what, int err);

    // Expressions.
    Expr* parseExpr();
    Expr* parseBinary(int minPriority);
    Expr* parseOperand();
    const BinaryOperator* binaryOperatorAt() const;
    Expr* parsePostfix();
    Expr* parsePrimary();
    ExprList parseArgsInParens();
    Expr* binary(BinOp op, Expr* a, Expr* b, int line);

    NameExpr* nameRef(const QString& name, int line);
    int declareLocal(const QString& name, int line, bool allowExisting = false);
    NameExpr* hiddenVar(int line);
    void resolveAll();
    void resolve(const Pending& p);

    Engine& eng_;
    Chunk& chunk_;
    CompileContext& ctx_;
    std::vector<Token> toks_;
    size_t pos_ = 0;
    Procedure* proc_ = nullptr;
    ClassDef* cls_ = nullptr;
    int forDepth_ = 0;
    int doDepth_ = 0;
    int oneLineIf_ = 0;
    int nesting_ = 0;
    Expr* injected_ = nullptr;
    int hiddenCount_ = 0;
    std::vector<Pending> pending_;
    std::vector<NameExpr*> withStack_;
    QSet<QString> declaredHere_;
    QSet<QString> execDims_;  // names Dim'd by Execute code inside a running procedure
    int declareImplicit(Procedure* proc, const QString& lname)
    {
        auto it = proc->implicitLocals.find(lname);
        if (it != proc->implicitLocals.end()) return it.value();
        int slot = proc->nLocals++;
        proc->implicitLocals.insert(lname, slot);
        return slot;
    }
};

// A constant or a fixed-size array that earlier code declared cannot be declared again.
bool isFixedOrConst(const GlobalSlot& g)
{
    return g.isConst || (g.value.isArray() && g.value.array()->fixed);
}

// Nesting deeper than any real script gets is refused before it can exhaust the stack here
// or in the evaluator, which walks the same depth.
struct NestGuard {
    NestGuard(int& n, Engine& e, int line) : n_(n)
    {
        if (++n_ > 200)
            e.checkStack();
        if (n_ > 2000)
            raiseCompileError(errOutOfStack, line);
    }
    ~NestGuard() { --n_; }
    int& n_;
};

// program := { statement (NEWLINE | ':') } END
void Parser::parseProgram()
{
    if (ctx_.scope) {
        proc_ = ctx_.scope;
        cls_ = ctx_.scopeClass;
    }
    skipSeparators();
    while (!at(Tok::End)) {
        if (atBlockEnd()) {
            if (atKw(Kw::Next)) fail(1055);
            if (atKw(Kw::Loop)) fail(1038);
            fail(errExpectedStatement);
        }
        parseStatementInto(chunk_.body);
        skipSeparators();
    }
    resolveAll();
}

// eval := expr END
void Parser::parseExpressionOnly()
{
    proc_ = ctx_.scope;
    cls_ = ctx_.scopeClass;
    skipSeparators();
    chunk_.expr = parseExpr();
    skipSeparators();
    if (!at(Tok::End))
        fail(errExpectedEndOfStatement);
    resolveAll();
}

// block := { statement (NEWLINE | ':') } up to End/Else/ElseIf/Next/Loop/Wend/Case
Block Parser::parseBlock()
{
    Block b;
    skipSeparators();
    while (!atBlockEnd()) {
        parseStatementInto(b);
        skipSeparators();
    }
    return b;
}

// end := End what end-of-statement
void Parser::expectEnd(Kw what, int err)
{
    if (!atKw(Kw::End))
        fail(err);
    advance();
    if (!atKw(what))
        fail(err);
    advance();
    endStatement();
}

// statement := If.. | For.. | Do.. | While.. | Select.. | With.. | Dim.. | ReDim.. | Const..
//            | Erase name | Exit (Do|For|Sub|Function|Property) | On Error (Resume Next|GoTo 0)
//            | Option Explicit | Call call | (Set|Let) assign | procedure | class
//            | (Public|Private) [Default] (procedure | Const.. | dim-list) | Stop
//            | Randomize [expr] | (Execute|ExecuteGlobal) expr | assign | call
void Parser::parseStatementInto(Block& out)
{
    NestGuard guard(nesting_, eng_, cur().line);
    const Token& t = cur();
    int line = t.line;
    if (t.type == Tok::Ident) {
        switch (t.kw) {
        case Kw::If: out.push_back(parseIf()); return;
        case Kw::For: out.push_back(parseFor()); return;
        case Kw::Do: out.push_back(parseDo()); return;
        case Kw::While: out.push_back(parseWhile()); return;
        case Kw::Select: out.push_back(parseSelect()); return;
        case Kw::With: out.push_back(parseWith()); return;
        case Kw::Dim: advance(); parseDim(out, true, false); return;
        case Kw::ReDim: out.push_back(parseReDim()); return;
        case Kw::Const: advance(); parseConst(out); return;
        case Kw::Erase: {
            advance();
            auto* s = make<EraseStmt>(line);
            s->target = nameRef(expectIdent(), line);
            endStatement();
            out.push_back(s);
            return;
        }
        case Kw::Exit: {
            advance();
            auto* s = make<ExitStmt>(line);
            if (atKw(Kw::Do)) { if (!doDepth_) fail(1039); s->flow = Flow::ExitDo; }
            else if (atKw(Kw::For)) { if (!forDepth_) fail(1039); s->flow = Flow::ExitFor; }
            else if (atKw(Kw::Sub)) { if (!proc_ || proc_->kind != Procedure::Sub || ctx_.scope) fail(1039); }
            else if (atKw(Kw::Function)) { if (!proc_ || proc_->kind != Procedure::Function || ctx_.scope) fail(1039); }
            else if (atWord("property")) { if (!proc_ || proc_->kind < Procedure::PropGet || ctx_.scope) fail(1039); }
            else fail(errSyntax);
            advance();
            endStatement();
            out.push_back(s);
            return;
        }
        case Kw::On: {
            advance();
            if (!atWord("error")) fail(errSyntax);
            advance();
            auto* s = make<OnErrorStmt>(line);
            if (atWord("resume")) {
                advance();
                if (!atKw(Kw::Next)) fail(errSyntax);
                advance();
                s->resume = true;
            } else if (atWord("goto")) {
                advance();
                if (!(at(Tok::Literal) && cur().value.type() == vtInteger && cur().value.intValue() == 0)) fail(errSyntax);
                advance();
            } else {
                fail(errSyntax);
            }
            endStatement();
            out.push_back(s);
            return;
        }
        case Kw::Option: {
            advance();
            if (!atWord("explicit")) fail(errSyntax);
            advance();
            chunk_.optionExplicit = true;
            endStatement();
            return;
        }
        case Kw::Call: advance(); out.push_back(parseCallOrAssign(true)); return;
        case Kw::Set: case Kw::Let: {
            bool isSet = t.kw == Kw::Set;
            advance();
            Stmt* s = parseCallOrAssign(false);
            auto* a = dynamic_cast<AssignStmt*>(s);
            if (!a) fail(1011);
            a->isSet = isSet;
            out.push_back(s);
            return;
        }
        case Kw::Sub: case Kw::Function:
            parseProcedure(true, false);
            return;
        case Kw::Class:
            if (proc_ || cls_ || oneLineIf_) fail(errSyntax);
            parseClass();
            return;
        case Kw::Public: case Kw::Private: {
            bool isPublic = t.kw == Kw::Public;
            if (proc_ && !ctx_.scope) fail(errSyntax);
            advance();
            bool isDefault = false;
            if (atWord("default")) { isDefault = true; advance(); }
            if (atKw(Kw::Sub) || atKw(Kw::Function) || atPropertyDecl()) { parseProcedure(isPublic, isDefault); return; }
            if (isDefault) fail(errSyntax);
            if (atKw(Kw::Const)) { advance(); parseConst(out); return; }
            parseDim(out, isPublic, cls_ != nullptr);
            return;
        }
        case Kw::Stop: advance(); endStatement(); return;
        case Kw::None:
            if (atPropertyDecl()) { parseProcedure(true, false); return; }
            if (atWord("randomize") && peekAt(1).type != Tok::Eq && peekAt(1).type != Tok::Dot) {
                advance();
                auto* s = make<RandomizeStmt>(line);
                if (!atEndOfStatement()) s->seed = parseExpr();
                endStatement();
                out.push_back(s);
                return;
            }
            if ((atWord("execute") || atWord("executeglobal")) && peekAt(1).type != Tok::Eq && peekAt(1).type != Tok::Dot) {
                auto* s = make<ExecuteStmt>(line);
                s->global = atWord("executeglobal");
                advance();
                s->code = parseExpr();
                endStatement();
                out.push_back(s);
                return;
            }
            break;
        default:
            if (t.kw != Kw::Me) fail(errExpectedStatement);
            break;
        }
    } else if (t.type != Tok::WithDot) {
        fail(errExpectedStatement);
    }
    if (cls_ && !proc_) fail(errExpectedStatement);
    out.push_back(parseCallOrAssign(false));
}

// assign := target '=' expr ;  call := [Call] target [args]
Stmt* Parser::parseCallOrAssign(bool isCall)
{
    int line = cur().line;
    Expr* target = parsePostfix();
    if (!isCall && at(Tok::Eq)) {
        if (dynamic_cast<ParenExpr*>(target) || dynamic_cast<LiteralExpr*>(target) || dynamic_cast<NewExpr*>(target)
            || dynamic_cast<MeExpr*>(target))
            fail(errExpectedStatement);
        advance();
        Expr* value = parseExpr();
        endStatement();
        // x = x & a & b builds strings in place.
        auto* n = dynamic_cast<NameExpr*>(target);
        if (n && !n->hasArgs) {
            ExprList tails;
            Expr* left = value;
            while (auto* cat = dynamic_cast<BinaryExpr*>(left)) {
                if (cat->op != BinOp::Concat) break;
                tails.insert(tails.begin(), cat->b);
                left = cat->a;
            }
            auto* leftName = dynamic_cast<NameExpr*>(left);
            if (!tails.empty() && leftName && !leftName->hasArgs && leftName->lname == n->lname) {
                auto* s = make<AppendStmt>(line);
                s->target = n;
                s->tails = std::move(tails);
                return s;
            }
        }
        auto* s = make<AssignStmt>(line);
        s->target = target;
        s->value = value;
        return s;
    }
    auto* s = make<ExprStmt>(line);
    s->e = target;
    if (isCall) {
        if (!dynamic_cast<NameExpr*>(target) && !dynamic_cast<MemberExpr*>(target) && !dynamic_cast<ApplyExpr*>(target))
            fail(errExpectedStatement);
        if (auto* n = dynamic_cast<NameExpr*>(target)) n->viaCall = true;
        endStatement();
        return s;
    }
    auto* name = dynamic_cast<NameExpr*>(target);
    auto* member = dynamic_cast<MemberExpr*>(target);
    if (!name && !member) {
        if (dynamic_cast<ApplyExpr*>(target) && atEndOfStatement()) return s;
        fail(errExpectedStatement);
    }
    ExprList* args = name ? &name->args : &member->args;
    bool& hasArgs = name ? name->hasArgs : member->hasArgs;
    if (atEndOfStatement()) {
        // f (x) passes x by value; f(a, b) without Call is not allowed.
        if (hasArgs && args->size() > 1)
            fail(1044);
        if (hasArgs && args->size() == 1) {
            auto* p = make<ParenExpr>(line);
            p->inner = (*args)[0];
            (*args)[0] = p;
        }
        return s;
    }
    // Arguments without parentheses; a leading "(x)" was the start of the first argument.
    ExprList list;
    if (hasArgs) {
        if (args->size() != 1) fail(1044);
        auto* p = make<ParenExpr>(line);
        p->inner = (*args)[0];
        injected_ = p;
        list.push_back(parseExpr());
        if (!at(Tok::Comma) && !atEndOfStatement()) fail(errExpectedEndOfStatement);
        if (at(Tok::Comma)) advance();
        else { *args = list; return s; }
    }
    for (;;) {
        if (at(Tok::Comma)) { list.push_back(make<MissingExpr>(cur().line)); advance(); continue; }
        list.push_back(parseExpr());
        if (at(Tok::Comma)) { advance(); if (atEndOfStatement()) list.push_back(make<MissingExpr>(cur().line)); continue; }
        break;
    }
    endStatement();
    *args = list;
    hasArgs = true;
    return s;
}

// if := If expr Then (NEWLINE block {ElseIf expr Then block} [Else block] End If | stmts [Else stmts])
Stmt* Parser::parseIf()
{
    int line = cur().line;
    advance();
    auto* s = make<IfStmt>(line);
    Expr* cond = parseExpr();
    expectKw(Kw::Then, 1017);
    if (at(Tok::Newline) || (at(Tok::Colon) && !oneLineIf_ && false)) {
        Block b = parseBlock();
        s->arms.emplace_back(cond, std::move(b));
        for (;;) {
            if (atKw(Kw::ElseIf)) {
                advance();
                Expr* c = parseExpr();
                expectKw(Kw::Then, 1017);
                Block eb = parseBlock();
                s->arms.emplace_back(c, std::move(eb));
                continue;
            }
            if (atKw(Kw::Else)) {
                advance();
                s->elseBlock = parseBlock();
            }
            break;
        }
        expectEnd(Kw::If, 1014);
        return s;
    }
    // One-line form: statements up to Else or the end of the line.
    ++oneLineIf_;
    Block thenBlock;
    for (;;) {
        if (at(Tok::Colon)) { advance(); continue; }
        if (at(Tok::Newline) || at(Tok::End) || atKw(Kw::Else) || atKw(Kw::End)) break;
        parseStatementInto(thenBlock);
    }
    s->arms.emplace_back(cond, std::move(thenBlock));
    if (atKw(Kw::Else)) {
        advance();
        for (;;) {
            if (at(Tok::Colon)) { advance(); continue; }
            if (at(Tok::Newline) || at(Tok::End) || atKw(Kw::Else) || atKw(Kw::End)) break;
            parseStatementInto(s->elseBlock);
        }
    }
    --oneLineIf_;
    if (atKw(Kw::End) && peekAt(1).kw == Kw::If) { advance(); advance(); }
    endStatement();
    return s;
}

// for := For name '=' expr To expr [Step expr] block Next | For Each name In expr block Next
Stmt* Parser::parseFor()
{
    int line = cur().line;
    advance();
    if (atKw(Kw::Each)) {
        advance();
        auto* s = make<ForEachStmt>(line);
        s->var = nameRef(expectIdent(), line);
        expectKw(Kw::In, 1046);
        s->coll = parseExpr();
        ++forDepth_;
        s->body = parseBlock();
        --forDepth_;
        if (!atKw(Kw::Next)) fail(1020);
        advance();
        if (!atEndOfStatement()) expectIdent();
        endStatement();
        return s;
    }
    auto* s = make<ForStmt>(line);
    if (cur().type != Tok::Ident || cur().kw != Kw::None) fail(1040);
    s->var = nameRef(expectIdent(), line);
    expect(Tok::Eq, 1011);
    s->from = parseExpr();
    expectKw(Kw::To, 1013);
    s->to = parseExpr();
    if (atWord("step")) { advance(); s->step = parseExpr(); }
    endStatement();
    ++forDepth_;
    s->body = parseBlock();
    --forDepth_;
    if (!atKw(Kw::Next)) fail(1020);
    advance();
    if (!atEndOfStatement()) expectIdent();
    endStatement();
    return s;
}

// do := Do [(While|Until) expr] block Loop [(While|Until) expr]
Stmt* Parser::parseDo()
{
    int line = cur().line;
    advance();
    auto* s = make<DoStmt>(line);
    if (atKw(Kw::While) || atKw(Kw::Until)) {
        s->pre = atKw(Kw::While) ? DoStmt::While : DoStmt::Until;
        advance();
        s->preCond = parseExpr();
    }
    if (!atEndOfStatement()) fail(1028);
    ++doDepth_;
    s->body = parseBlock();
    --doDepth_;
    if (!atKw(Kw::Loop)) fail(1019);
    advance();
    if (atKw(Kw::While) || atKw(Kw::Until)) {
        if (s->pre != DoStmt::None) fail(errExpectedEndOfStatement);
        s->post = atKw(Kw::While) ? DoStmt::While : DoStmt::Until;
        advance();
        s->postCond = parseExpr();
    }
    endStatement();
    return s;
}

// while := While expr block Wend
Stmt* Parser::parseWhile()
{
    int line = cur().line;
    advance();
    auto* s = make<DoStmt>(line);
    s->pre = DoStmt::While;
    s->preCond = parseExpr();
    endStatement();
    int saveDo = doDepth_;
    doDepth_ = 0;  // Exit Do does not leave a While loop
    s->body = parseBlock();
    doDepth_ = saveDo;
    if (!atKw(Kw::Wend)) fail(1018);
    advance();
    endStatement();
    return s;
}

// select := Select Case expr NEWLINE {Case exprlist block} [Case Else block] End Select
Stmt* Parser::parseSelect()
{
    int line = cur().line;
    advance();
    expectKw(Kw::Case, 1021);
    auto* s = make<SelectStmt>(line);
    s->e = parseExpr();
    endStatement();
    skipSeparators();
    bool sawElse = false;
    while (atKw(Kw::Case)) {
        if (sawElse) fail(errExpectedStatement);
        advance();
        if (atKw(Kw::Else)) {
            advance();
            sawElse = true;
            s->elseBlock = parseBlock();
            continue;
        }
        ExprList values;
        values.push_back(parseExpr());
        while (at(Tok::Comma)) { advance(); values.push_back(parseExpr()); }
        Block b = parseBlock();
        s->cases.emplace_back(std::move(values), std::move(b));
    }
    expectEnd(Kw::Select, 1022);
    return s;
}

// with := With expr block End With
Stmt* Parser::parseWith()
{
    int line = cur().line;
    advance();
    auto* s = make<WithStmt>(line);
    s->obj = parseExpr();
    endStatement();
    s->holder = hiddenVar(line);
    withStack_.push_back(s->holder);
    s->body = parseBlock();
    withStack_.pop_back();
    expectEnd(Kw::With, 1029);
    return s;
}

// dim := Dim name [ '(' [bounds] ')' ] { ',' name ... }
void Parser::parseDim(Block& out, bool isPublic, bool inClassBody)
{
    for (;;) {
        int line = cur().line;
        QString name = expectIdent();
        ExprList dims;
        bool hasDims = false;
        if (at(Tok::LParen)) {
            advance();
            hasDims = true;
            if (!at(Tok::RParen)) {
                dims.push_back(parseExpr());
                while (at(Tok::Comma)) { advance(); dims.push_back(parseExpr()); }
            }
            expect(Tok::RParen, 1006);
        }
        if (inClassBody && !proc_) {
            QString l = name.toLower();
            if (cls_->memberIndex.contains(l)) fail(errNameRedefined);
            ClassDef::Field fd{name, isPublic, dims, hasDims};
            cls_->fields.push_back(fd);
            ClassDef::Member m;
            m.name = name;
            m.field = int(cls_->fields.size()) - 1;
            m.isPublic = isPublic;
            cls_->members.push_back(m);
            cls_->memberIndex.insert(l, int(cls_->members.size()) - 1);
        } else {
            NameExpr* n = nullptr;
            QString l = name.toLower();
            if (proc_ && !ctx_.scope) {
                if (proc_->locals.contains(l)) fail(errNameRedefined);
                declareLocal(name, line);
            } else if (proc_ && proc_ == ctx_.scope) {
                // Execute inside a procedure: a local of the running call, whatever globals exist.
                if (proc_->locals.contains(l) || proc_->implicitLocals.contains(l) || execDims_.contains(l))
                    fail(errNameRedefined);
                execDims_.insert(l);
            } else {
                if (ctx_.newGlobals.contains(l)) {
                    int slot = ctx_.newGlobals.value(l);
                    if (slot < int(eng_.globals.size()) && eng_.globals[slot].proc) fail(errNameRedefined);
                    if (!ctx_.scope && declaredHere_.contains(l)) fail(errNameRedefined);
                } else {
                    int slot = eng_.globalSlot(l);
                    if (slot >= 0 && isFixedOrConst(eng_.globals[size_t(slot)])) fail(errNameRedefined);
                    if (slot < 0) slot = eng_.addGlobal(name);
                    ctx_.newGlobals.insert(l, slot);
                }
                declaredHere_.insert(l);
            }
            if (hasDims) {
                n = nameRef(name, line);
                auto* s = make<DimStmt>(line);
                s->target = n;
                s->dims = dims;
                out.push_back(s);
            }
        }
        if (!at(Tok::Comma)) break;
        advance();
    }
    endStatement();
}

// redim := ReDim [Preserve] name '(' bounds ')' { ',' ... }
Stmt* Parser::parseReDim()
{
    int line = cur().line;
    advance();
    auto* s = make<ReDimStmt>(line);
    if (atWord("preserve")) { s->preserve = true; advance(); }
    for (;;) {
        int l = cur().line;
        QString name = expectIdent();
        // ReDim declares the variable when nothing else did.
        QString lower = name.toLower();
        if (proc_ && !ctx_.scope && !proc_->locals.contains(lower) && !(cls_ && cls_->memberIndex.contains(lower)))
            declareLocal(name, l);
        else if (!proc_ && !ctx_.newGlobals.contains(lower) && eng_.globalSlot(lower) < 0)
            ctx_.newGlobals.insert(lower, eng_.addGlobal(name));
        NameExpr* n = nameRef(name, l);
        expect(Tok::LParen, 1005);
        ExprList dims;
        dims.push_back(parseExpr());
        while (at(Tok::Comma)) { advance(); dims.push_back(parseExpr()); }
        expect(Tok::RParen, 1006);
        s->targets.emplace_back(n, std::move(dims));
        if (!at(Tok::Comma)) break;
        advance();
    }
    endStatement();
    return s;
}

// const := Const name '=' expr { ',' name '=' expr }
void Parser::parseConst(Block& out)
{
    for (;;) {
        int line = cur().line;
        QString name = expectIdent();
        QString l = name.toLower();
        if (proc_ && !ctx_.scope) {
            if (proc_->locals.contains(l)) fail(errNameRedefined);
            declareLocal(name, line);
        } else {
            if (declaredHere_.contains(l)) fail(errNameRedefined);
            int slot = ctx_.newGlobals.value(l, eng_.globalSlot(l));
            if (slot >= 0 && slot < int(eng_.globals.size()) && isFixedOrConst(eng_.globals[size_t(slot)]))
                fail(errNameRedefined);
            if (slot < 0) slot = eng_.addGlobal(name);
            ctx_.newGlobals.insert(l, slot);
            declaredHere_.insert(l);
        }
        expect(Tok::Eq, 1011);
        auto* s = make<ConstStmt>(line);
        s->target = nameRef(name, line);
        s->value = parseExpr();
        out.push_back(s);
        if (!at(Tok::Comma)) break;
        advance();
    }
    endStatement();
}

// procedure := (Sub|Function|Property (Get|Let|Set)) name ['(' params ')'] block End (Sub|Function|Property)
void Parser::parseProcedure(bool isPublic, bool isDefault)
{
    if (proc_ && !ctx_.scope) fail(errSyntax);
    if (oneLineIf_ || !withStack_.empty() || forDepth_ || doDepth_) fail(errSyntax);
    int line = cur().line;
    auto p = std::make_unique<Procedure>();
    Kw endKw = cur().kw;
    bool isProperty = false;
    if (atKw(Kw::Sub)) p->kind = Procedure::Sub;
    else if (atKw(Kw::Function)) p->kind = Procedure::Function;
    else {
        isProperty = true;
        if (!cls_) fail(1048);
        advance();
        if (atWord("get")) p->kind = Procedure::PropGet;
        else if (atKw(Kw::Let)) p->kind = Procedure::PropLet;
        else if (atKw(Kw::Set)) p->kind = Procedure::PropSet;
        else fail(1049);
    }
    advance();
    if (isDefault && !isPublic) fail(1057);
    if (isDefault && !cls_) fail(errSyntax);
    p->name = expectIdent();
    p->isPublic = isPublic;
    p->isDefault = isDefault;
    p->line = line;
    p->cls = cls_;
    if (at(Tok::LParen)) {
        advance();
        while (!at(Tok::RParen)) {
            Param prm;
            if (atKw(Kw::ByVal)) { prm.byVal = true; advance(); }
            else if (atKw(Kw::ByRef)) advance();
            prm.name = expectIdent();
            if (at(Tok::LParen)) { advance(); expect(Tok::RParen, 1006); }
            QString l = prm.name.toLower();
            if (p->locals.contains(l)) fail(errNameRedefined);
            p->locals.insert(l, p->nLocals++);
            p->params.push_back(prm);
            if (at(Tok::Comma)) { advance(); continue; }
            if (!at(Tok::RParen)) fail(1006);
        }
        advance();
    }
    if ((p->kind == Procedure::PropLet || p->kind == Procedure::PropSet) && p->params.empty()) fail(1054);
    Procedure* saved = proc_;
    proc_ = p.get();
    Procedure* savedScope = ctx_.scope;
    ctx_.scope = nullptr;
    p->body = parseBlock();
    ctx_.scope = savedScope;
    proc_ = saved;
    if (!atKw(Kw::End)) fail(isProperty ? 1050 : endKw == Kw::Sub ? 1016 : 1015);
    advance();
    if (isProperty ? !atWord("property") : !atKw(endKw)) fail(isProperty ? 1050 : endKw == Kw::Sub ? 1016 : 1015);
    advance();
    endStatement();

    QString l = p->name.toLower();
    Procedure* raw = p.get();
    chunk_.procs.push_back(std::move(p));
    if (cls_) {
        if (l == QLatin1String("class_initialize") || l == QLatin1String("class_terminate")) {
            if (!raw->params.empty()) fail(1053);
            (l == QLatin1String("class_initialize") ? cls_->init : cls_->term) = raw;
        }
        int idx = cls_->memberIndex.value(l, -1);
        if (idx < 0) {
            ClassDef::Member m;
            m.name = raw->name;
            m.isPublic = isPublic;
            cls_->members.push_back(m);
            idx = int(cls_->members.size()) - 1;
            cls_->memberIndex.insert(l, idx);
        }
        ClassDef::Member& m = cls_->members[idx];
        if (m.field >= 0) { pos_--; fail(errNameRedefined); }
        Procedure** target = raw->kind == Procedure::PropLet ? &m.let : raw->kind == Procedure::PropSet ? &m.set : &m.get;
        if (*target) fail(errNameRedefined);
        if (raw->kind <= Procedure::Function && (m.let || m.set)) fail(errNameRedefined);
        *target = raw;
        if (isPublic) m.isPublic = true;
        if (isDefault) {
            if (cls_->defaultMember >= 0 && cls_->defaultMember != idx) fail(1052);
            cls_->defaultMember = idx;
        }
        return;
    }
    if (declaredHere_.contains(l)) {
        // A second procedure of the same name replaces the first; a variable of that name stays
        // an error.
        auto same = std::find_if(ctx_.newProcs.begin(), ctx_.newProcs.end(),
                                 [&](const auto& np) { return np.first == ctx_.newGlobals.value(l, -1); });
        if (same == ctx_.newProcs.end()) fail(errNameRedefined);
        same->second = raw;
        return;
    }
    declaredHere_.insert(l);
    int slot = ctx_.newGlobals.value(l, eng_.globalSlot(l));
    if (slot < 0) slot = eng_.addGlobal(raw->name);
    ctx_.newGlobals.insert(l, slot);
    ctx_.newProcs.emplace_back(slot, raw);
}

// class := Class name { member } End Class
void Parser::parseClass()
{
    advance();
    auto c = std::make_unique<ClassDef>();
    c->name = expectIdent();
    endStatement();
    cls_ = c.get();
    skipSeparators();
    while (!atKw(Kw::End)) {
        if (at(Tok::End)) fail(1047);
        const Token& t = cur();
        if (t.kw == Kw::Dim) { advance(); Block ignore; parseDim(ignore, true, true); }
        else if (t.kw == Kw::Public || t.kw == Kw::Private || t.kw == Kw::Sub || t.kw == Kw::Function || atPropertyDecl()) {
            Block ignore;
            parseStatementInto(ignore);
        } else {
            fail(errExpectedStatement);
        }
        skipSeparators();
    }
    advance();
    if (!atKw(Kw::Class)) fail(1047);
    advance();
    endStatement();
    cls_ = nullptr;
    chunk_.classes.push_back(std::move(c));
}

// ---------------------------------------------------------------- expressions

Expr* Parser::binary(BinOp op, Expr* a, Expr* b, int line)
{
    auto* e = make<BinaryExpr>(line);
    e->op = op;
    e->a = a;
    e->b = b;
    if (op == BinOp::Concat) {
        // Each & down the chain learns how much text the parts after it will add.
        auto* lit = dynamic_cast<LiteralExpr*>(b);
        int more = lit && lit->v.isString() ? int(lit->v.str().size()) : 12;
        for (auto* left = dynamic_cast<BinaryExpr*>(a); left && left->op == BinOp::Concat;
             left = dynamic_cast<BinaryExpr*>(left->a))
            left->textToFollow += more;
    }
    return e;
}

// The binary operators and their priorities, loosest first; all of them associate to the
// left. Not sits between And and the comparisons: its operand is a comparison. Unary minus
// binds tighter than any of them ("-3^2" is 9), so it takes just an operand.
struct BinaryOperator {
    Tok tok;
    Kw kw;  // for word operators (tok is Ident)
    BinOp op;
    int priority;
};
constexpr BinaryOperator kBinaryOperators[] = {
    {Tok::Ident, Kw::Imp, BinOp::Imp, 1},
    {Tok::Ident, Kw::Eqv, BinOp::Eqv, 2},
    {Tok::Ident, Kw::Xor, BinOp::Xor, 3},
    {Tok::Ident, Kw::Or, BinOp::Or, 4},
    {Tok::Ident, Kw::And, BinOp::And, 5},
    {Tok::Eq, Kw::None, BinOp::Eq, 7},
    {Tok::Ne, Kw::None, BinOp::Ne, 7},
    {Tok::Lt, Kw::None, BinOp::Lt, 7},
    {Tok::Le, Kw::None, BinOp::Le, 7},
    {Tok::Gt, Kw::None, BinOp::Gt, 7},
    {Tok::Ge, Kw::None, BinOp::Ge, 7},
    {Tok::Ident, Kw::Is, BinOp::Is, 7},
    {Tok::Amp, Kw::None, BinOp::Concat, 8},
    {Tok::Plus, Kw::None, BinOp::Add, 9},
    {Tok::Minus, Kw::None, BinOp::Sub, 9},
    {Tok::Ident, Kw::Mod, BinOp::Mod, 10},
    {Tok::Backslash, Kw::None, BinOp::IntDiv, 11},
    {Tok::Star, Kw::None, BinOp::Mul, 12},
    {Tok::Slash, Kw::None, BinOp::Div, 12},
    {Tok::Caret, Kw::None, BinOp::Pow, 13},
};
constexpr int kLoosestPriority = 1;
constexpr int kNotOperandPriority = 7;

const BinaryOperator* Parser::binaryOperatorAt() const
{
    for (const BinaryOperator& o : kBinaryOperators)
        if (cur().type == o.tok && (o.tok != Tok::Ident || cur().kw == o.kw))
            return &o;
    return nullptr;
}

// expr := binary(loosest)
Expr* Parser::parseExpr()
{
    return parseBinary(kLoosestPriority);
}

// binary(p) := operand { op binary(priority(op) + 1) }, for each op of priority >= p
Expr* Parser::parseBinary(int minPriority)
{
    NestGuard guard(nesting_, eng_, cur().line);
    Expr* e = parseOperand();
    for (const BinaryOperator* o = binaryOperatorAt(); o && o->priority >= minPriority; o = binaryOperatorAt()) {
        int l = cur().line;
        advance();
        e = binary(o->op, e, parseBinary(o->priority + 1), l);
    }
    return e;
}

// operand := Not binary(comparison) | ('-' | '+') operand | postfix
Expr* Parser::parseOperand()
{
    if (injected_)
        return parsePostfix();
    if (atKw(Kw::Not)) {
        int l = cur().line;
        advance();
        auto* u = make<UnaryExpr>(l);
        u->isNot = true;
        u->e = parseBinary(kNotOperandPriority);
        return u;
    }
    if (at(Tok::Minus) || at(Tok::Plus)) {
        NestGuard guard(nesting_, eng_, cur().line);
        bool neg = at(Tok::Minus);
        int l = cur().line;
        advance();
        Expr* inner = parseOperand();
        if (!neg) return inner;
        auto* lit = dynamic_cast<LiteralExpr*>(inner);
        if (lit && lit->v.isNumeric()) {
            lit->v = negate(lit->v);
            return lit;
        }
        auto* u = make<UnaryExpr>(l);
        u->e = inner;
        return u;
    }
    return parsePostfix();
}

// args := '(' [ [expr] { ',' [expr] } ] ')'
ExprList Parser::parseArgsInParens()
{
    ExprList list;
    advance();  // '('
    if (at(Tok::RParen)) { advance(); return list; }
    for (;;) {
        if (at(Tok::Comma)) { list.push_back(make<MissingExpr>(cur().line)); advance(); continue; }
        if (at(Tok::RParen)) { list.push_back(make<MissingExpr>(cur().line)); break; }
        list.push_back(parseExpr());
        if (at(Tok::Comma)) { advance(); continue; }
        break;
    }
    expect(Tok::RParen, 1006);
    return list;
}

// postfix := primary { '.' name | '(' args ')' }
Expr* Parser::parsePostfix()
{
    Expr* e = parsePrimary();
    for (;;) {
        if (at(Tok::Dot)) {
            int l = cur().line;
            advance();
            if (cur().type != Tok::Ident) fail(1010);
            auto* m = make<MemberExpr>(l);
            m->obj = e;
            m->name = cur().text;
            m->fromInside = dynamic_cast<MeExpr*>(e) != nullptr;
            advance();
            if (at(Tok::LParen)) { m->args = parseArgsInParens(); m->hasArgs = true; }
            e = m;
            continue;
        }
        if (at(Tok::LParen)) {
            int l = cur().line;
            auto* a = make<ApplyExpr>(l);
            a->target = e;
            a->args = parseArgsInParens();
            e = a;
            continue;
        }
        return e;
    }
}

// primary := literal | name ['(' args ')'] | Me | New name | '(' expr ')' | '.' name
Expr* Parser::parsePrimary()
{
    if (injected_) {
        Expr* e = injected_;
        injected_ = nullptr;
        return e;
    }
    const Token& t = cur();
    int line = t.line;
    switch (t.type) {
    case Tok::Literal: {
        auto* lit = make<LiteralExpr>(line);
        lit->v = t.value;
        advance();
        return lit;
    }
    case Tok::LParen: {
        advance();
        auto* p = make<ParenExpr>(line);
        p->inner = parseExpr();
        expect(Tok::RParen, 1006);
        return p;
    }
    case Tok::WithDot: {
        advance();
        if (cur().type != Tok::Ident) fail(1010);
        auto* m = make<MemberExpr>(line);
        // Outside any With the reference compiles and fails when it runs.
        m->obj = withStack_.empty() ? make<UnqualifiedExpr>(line) : static_cast<Expr*>(withStack_.back());
        m->name = cur().text;
        advance();
        if (at(Tok::LParen)) { m->args = parseArgsInParens(); m->hasArgs = true; }
        return m;
    }
    case Tok::Ident:
        switch (t.kw) {
        case Kw::None: {
            NameExpr* n = nameRef(t.text, line);
            advance();
            if (at(Tok::LParen)) { n->args = parseArgsInParens(); n->hasArgs = true; }
            return n;
        }
        case Kw::True: case Kw::False: case Kw::Empty: case Kw::Null: case Kw::Nothing: {
            auto* lit = make<LiteralExpr>(line);
            lit->v = t.kw == Kw::True ? Variant::fromBool(true) : t.kw == Kw::False ? Variant::fromBool(false)
                     : t.kw == Kw::Null ? Variant::null() : t.kw == Kw::Nothing ? Variant::fromObject(nullptr) : Variant();
            advance();
            return lit;
        }
        case Kw::Me:
            if (!cls_ || !proc_) fail(1037);
            advance();
            return make<MeExpr>(line);
        case Kw::New: {
            advance();
            auto* n = make<NewExpr>(line);
            n->className = expectIdent();
            n->lname = n->className.toLower();
            return n;
        }
        default:
            break;
        }
        break;
    default:
        break;
    }
    fail(1023);
}

// ---------------------------------------------------------------- names

NameExpr* Parser::nameRef(const QString& name, int line)
{
    auto* n = make<NameExpr>(line);
    n->name = name;
    n->lname = name.toLower();
    pending_.push_back({n, proc_, cls_});
    return n;
}

int Parser::declareLocal(const QString& name, int line, bool allowExisting)
{
    (void)line;
    QString l = name.toLower();
    auto it = proc_->locals.find(l);
    if (it != proc_->locals.end()) {
        if (!allowExisting) fail(errNameRedefined);
        return it.value();
    }
    int slot = proc_->nLocals++;
    proc_->locals.insert(l, slot);
    return slot;
}

NameExpr* Parser::hiddenVar(int line)
{
    QString name = QStringLiteral(" with%1").arg(hiddenCount_++);
    if (proc_ && !ctx_.scope) {
        int slot = proc_->nLocals++;
        auto* n = make<NameExpr>(line);
        n->name = n->lname = name;
        n->kind = NameExpr::Local;
        n->slot = slot;
        return n;
    }
    auto* n = make<NameExpr>(line);
    n->name = n->lname = name;
    n->kind = NameExpr::Global;
    n->slot = eng_.addGlobal(name);
    return n;
}

void Parser::resolveAll()
{
    for (const Pending& p : pending_)
        resolve(p);
}

void Parser::resolve(const Pending& p)
{
    NameExpr* n = p.n;
    n->explicitMode = chunk_.optionExplicit;
    Procedure* proc = p.proc;
    if (proc && proc == ctx_.scope
        && (execDims_.contains(n->lname) || (ctx_.callLocals && ctx_.callLocals->count(n->lname)))) {
        n->kind = NameExpr::Dynamic;
        n->execLocal = n->execDeclared = true;
        return;
    }
    if (proc) {
        auto it = proc->locals.find(n->lname);
        if (it != proc->locals.end()) { n->kind = NameExpr::Local; n->slot = it.value(); return; }
        if (!n->hasArgs && (proc->kind == Procedure::Function || proc->kind == Procedure::PropGet)
            && proc->name.compare(n->name, Qt::CaseInsensitive) == 0 && proc != ctx_.scope) {
            n->kind = NameExpr::Return;
            return;
        }
    }
    if (p.cls) {
        int idx = p.cls->memberIndex.value(n->lname, -1);
        if (idx >= 0) {
            const ClassDef::Member& m = p.cls->members[idx];
            if (m.field >= 0) { n->kind = NameExpr::Field; n->slot = m.field; }
            else { n->kind = NameExpr::Member; n->slot = idx + 1; }
            return;
        }
    }
    int g = ctx_.newGlobals.value(n->lname, -1);
    if (g < 0) g = eng_.globalSlot(n->lname);
    if (g >= 0) { n->kind = NameExpr::Global; n->slot = g; return; }
    if (const Builtin* b = findBuiltin(n->lname)) { n->kind = NameExpr::BuiltinCall; n->builtin = b; return; }
    n->kind = NameExpr::Dynamic;
    n->topLevel = proc == nullptr;
    if (proc && proc == ctx_.scope) {
        // Execute or Eval inside a running procedure: its implicit locals are shared, and
        // names new to it become locals of the running call.
        n->fallback = proc->implicitLocals.value(n->lname, -1);
        n->execLocal = n->fallback < 0;
    } else if (proc && !chunk_.optionExplicit) {
        n->fallback = declareImplicit(proc, n->lname);
    }
}

} // namespace

void parseChunk(Engine& eng, Chunk& chunk, const QString& code, CompileContext& ctx)
{
    Parser p(eng, chunk, ctx, tokenize(code));
    if (ctx.exprOnly)
        p.parseExpressionOnly();
    else
        p.parseProgram();
}

} // namespace script
