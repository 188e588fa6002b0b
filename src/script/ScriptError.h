// The one error type of the engine: compile and run-time errors carry VBScript's own numbers,
// descriptions and the line of the failing statement.
#pragma once

#include <QString>

namespace script {

struct ScriptError {
    int number = 0;
    QString description;
    QString source;
    int line = 0;    // 1-based line in the code chunk; 0 until the engine knows it
    int column = 0;
    bool compile = false;
    QString helpFile{};  // given to Err.Raise
    int helpContext = 0;
    // The name the failing statement used, if the error concerns one. Scripts never see it in
    // Err.Description; the host's report of an unhandled error adds it, to point at the culprit.
    QString item{};
    // The description as the host reports the error: "Type mismatch: 'foo'".
    QString reported() const;
};

// VBScript's own wording for an error number; empty for numbers it does not know.
QString errorDescription(int number);

// Sources the engine stamps on its errors (the host shows them as given).
inline const char* kRuntimeSource = "VBScript runtime error";
inline const char* kCompileSource = "VBScript compilation error";

// Throws a run-time error with VBScript's description (or the given one).
[[noreturn]] void raiseError(int number);
[[noreturn]] void raiseError(int number, const QString& description);
// Throws a run-time error about a named item (a variable, procedure, member or class).
[[noreturn]] void raiseNamedError(int number, const QString& item);
// Throws a compile error at a line of the chunk: the one way the lexer and parser refuse code.
[[noreturn]] void raiseCompileError(int number, int line);

// Errors used often enough to deserve names.
enum ErrorNumber {
    errInvalidCall = 5,
    errOverflow = 6,
    errOutOfMemory = 7,
    errSubscript = 9,
    errArrayLocked = 10,
    errDivByZero = 11,
    errTypeMismatch = 13,
    errOutOfStringSpace = 14,
    errOutOfStack = 28,
    errSubNotDefined = 35,
    errObjectNotSet = 91,
    errForNotInit = 92,
    errInvalidNull = 94,
    errObjectRequired = 424,
    errCantCreate = 429,
    errNoMember = 438,
    errArgNotOptional = 449,
    errWrongArgs = 450,
    errNotCollection = 451,
    errUndefined = 500,
    errIllegalAssign = 501,
    errClassNotDefined = 506,
    errSyntax = 1002,
    errExpectedStatement = 1024,
    errExpectedEndOfStatement = 1025,
    errNameRedefined = 1041,
};

} // namespace script
