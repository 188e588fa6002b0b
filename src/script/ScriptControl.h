// The script engine as the host drives it: reset, time-out, UI permission, named objects,
// code, running a procedure by name, evaluating an expression, and the error record of the
// last failed step.
#pragma once

#include "script/Variant.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

namespace script {

class Engine;

// What went wrong in the last failed step. Number 0 means no error.
struct ScriptErrorInfo {
    int Number = 0;
    int Line = 0;
    int Column = 0;
    QString Description;
    QString Source;
    void Clear() { *this = ScriptErrorInfo(); }
};

class ScriptControl {
public:
    ScriptControl();
    ~ScriptControl();
    ScriptControl(const ScriptControl&) = delete;
    ScriptControl& operator=(const ScriptControl&) = delete;

    // Drops all code, variables and objects.
    void Reset();
    // Milliseconds a single step may run; -1 for no limit. A step that runs longer stops
    // with an error that On Error Resume Next cannot catch.
    void setTimeout(int ms);
    int timeout() const { return timeout_; }
    void setAllowUI(bool allow);
    bool allowUI() const { return allowUI_; }

    // Adds a named object; with addMembers its members are also reachable without the name.
    // Fails (error 457) when the name is taken.
    bool AddObject(const QString& name, Dispatch* object, bool addMembers = false);
    bool AddObject(const QString& name, QObject* object, bool addMembers = false);
    // Compiles the code and runs its top-level statements. Code adds to what the engine
    // holds; a procedure that exists is replaced.
    bool AddCode(const QString& code);
    // Runs a procedure by name. Arguments are passed by reference and may be changed.
    bool Run(const QString& procName, std::vector<Variant>& args, Variant* result = nullptr);
    bool Run(const QString& procName, const QVariantList& args = {}, QVariant* result = nullptr);
    // Evaluates an expression in the global scope.
    bool Eval(const QString& expression, Variant* result);

    const ScriptErrorInfo& Error() const { return error_; }
    Engine& engine() { return *engine_; }

private:
    template <class F> bool guarded(F&& step);

    std::unique_ptr<Engine> engine_;
    ScriptErrorInfo error_;
    int timeout_ = 10000;
    bool allowUI_ = true;
};

} // namespace script
