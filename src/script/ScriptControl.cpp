// The host's facade over the engine: every step catches every error into the error record.
#include "script/ScriptControl.h"

#include "script/Engine.h"
#include "script/QObjectAdapter.h"

#include <new>

namespace script {

ScriptControl::ScriptControl() : engine_(std::make_unique<Engine>())
{
    engine_->setTimeout(timeout_);
}

ScriptControl::~ScriptControl() = default;

void ScriptControl::Reset()
{
    engine_->reset();
    error_.Clear();
}

void ScriptControl::setAllowUI(bool allow)
{
    allowUI_ = allow;
    engine_->allowUI = allow;
}

void ScriptControl::setTimeout(int ms)
{
    timeout_ = ms;
    engine_->setTimeout(ms);
}

template <class F>
bool ScriptControl::guarded(F&& step)
{
    error_.Clear();
    try {
        step();
        return true;
    } catch (const ScriptError& e) {
        error_.Number = e.number;
        error_.Line = e.line;
        error_.Column = e.column;
        error_.Description = e.reported();
        error_.Source = e.source;
    } catch (const ScriptAbort& a) {
        error_.Number = a.error.number;
        error_.Line = a.error.line;
        error_.Description = a.error.reported();
        error_.Source = a.error.source;
    } catch (const std::bad_alloc&) {
        error_.Number = errOutOfMemory;
        error_.Description = errorDescription(errOutOfMemory);
        error_.Source = QString::fromLatin1(kRuntimeSource);
    }
    return false;
}

bool ScriptControl::AddObject(const QString& name, Dispatch* object, bool addMembers)
{
    Ref<Dispatch> keep(object);
    return guarded([&] { engine_->addObject(name, object, addMembers); });
}

bool ScriptControl::AddObject(const QString& name, QObject* object, bool addMembers)
{
    return AddObject(name, new QObjectDispatch(object), addMembers);
}

bool ScriptControl::AddCode(const QString& code)
{
    return guarded([&] { engine_->addCode(code); });
}

bool ScriptControl::Run(const QString& procName, std::vector<Variant>& args, Variant* result)
{
    return guarded([&] {
        Variant r = engine_->run(procName, args);
        if (result)
            *result = r;
    });
}

bool ScriptControl::Run(const QString& procName, const QVariantList& args, QVariant* result)
{
    std::vector<Variant> vals;
    bool ok = guarded([&] {
        for (const QVariant& a : args)
            vals.push_back(fromQVariant(a));
    });
    if (!ok)
        return false;
    Variant r;
    if (!Run(procName, vals, &r))
        return false;
    if (result)
        *result = toQVariant(r);
    return true;
}

bool ScriptControl::Eval(const QString& expression, Variant* result)
{
    return guarded([&] {
        Variant r = engine_->evalText(expression);
        if (result)
            *result = r;
    });
}

} // namespace script
