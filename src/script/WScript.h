// The WScript object of the command-line runner and of the script tests: Echo, Arguments,
// Quit, ScriptName, ScriptFullName, Sleep, StdOut and StdErr.
#pragma once

#include "script/Variant.h"

#include <QStringList>
#include <functional>

namespace script {

class WScriptObject final : public Dispatch {
public:
    using Writer = std::function<void(const QString&)>;
    WScriptObject(Writer out, Writer err);

    QString typeName() const override { return QStringLiteral("Object"); }
    int memberId(const QString& name, bool fromInside) override;
    Variant invoke(int id, InvokeKind kind, Args args) override;

    QStringList arguments;
    QString scriptName;
    QString scriptFullName;

private:
    Writer out_;
    Writer err_;
    Ref<Dispatch> stdOut_;
    Ref<Dispatch> stdErr_;
};

} // namespace script
