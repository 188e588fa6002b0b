// The parser: tokens to a tree whose names are bound to slots when the chunk ends.
#pragma once

#include "script/Engine.h"

namespace script {

struct CompileContext {
    Procedure* scope = nullptr;       // Execute or Eval inside a running procedure
    ClassDef* scopeClass = nullptr;
    bool exprOnly = false;            // Eval: one expression
    // Locals that earlier Execute code gave the running call; they hide globals of that name.
    const std::map<QString, Variant>* callLocals = nullptr;
    QHash<QString, int> newGlobals;   // lower-case name -> slot, added to the engine on success
    std::vector<std::pair<int, Procedure*>> newProcs;  // global procedures to install
};

// Parses code into the chunk; throws ScriptError (compile) with the line of the fault.
void parseChunk(Engine& eng, Chunk& chunk, const QString& code, CompileContext& ctx);

} // namespace script
