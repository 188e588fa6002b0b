// Turns VBScript source into tokens: case-insensitive keywords, literals, line continuations.
#pragma once

#include "script/Variant.h"

#include <QString>
#include <vector>

namespace script {

enum class Tok {
    End, Newline, Colon, Ident, Literal,
    LParen, RParen, Comma, Dot, WithDot,  // WithDot: a '.' that does not follow an operand
    Plus, Minus, Star, Slash, Backslash, Caret, Amp, Eq, Ne, Lt, Le, Gt, Ge,
};

// Reserved words; contextual ones (Get, Property, Step, Error, ...) are still identifiers that the
// parser recognises by text.
enum class Kw {
    None, And, ByRef, ByVal, Call, Case, Class, Const, Dim, Do, Each, Else, ElseIf, Empty, End,
    Eqv, Erase, Exit, False, For, Function, If, Imp, In, Is, Let, Loop, Me, Mod, New, Next, Not,
    Nothing, Null, On, Option, Or, Private, Public, ReDim, Select, Set, Stop, Sub, Then, To,
    True, Until, Wend, While, With, Xor,
};

struct Token {
    Tok type = Tok::End;
    Kw kw = Kw::None;
    QString text;   // identifier as written
    Variant value;  // literal value
    int line = 1;
};

// Splits the code into tokens; throws ScriptError (compile) on invalid characters, numbers
// and unterminated strings.
std::vector<Token> tokenize(const QString& code, int firstLine = 1);

} // namespace script
