// The lexer: one pass over the text, producing the whole token list up front.
#include "script/Lexer.h"

#include "script/ScriptError.h"

#include <QHash>
#include <cmath>

namespace script {

namespace {

Kw keyword(const QString& word)
{
    static const QHash<QString, Kw> words = {
        {"and", Kw::And}, {"byref", Kw::ByRef}, {"byval", Kw::ByVal}, {"call", Kw::Call},
        {"case", Kw::Case}, {"class", Kw::Class}, {"const", Kw::Const}, {"dim", Kw::Dim},
        {"do", Kw::Do}, {"each", Kw::Each}, {"else", Kw::Else}, {"elseif", Kw::ElseIf},
        {"empty", Kw::Empty}, {"end", Kw::End}, {"eqv", Kw::Eqv}, {"erase", Kw::Erase},
        {"exit", Kw::Exit}, {"false", Kw::False}, {"for", Kw::For}, {"function", Kw::Function},
        {"if", Kw::If}, {"imp", Kw::Imp}, {"in", Kw::In}, {"is", Kw::Is}, {"let", Kw::Let},
        {"loop", Kw::Loop}, {"me", Kw::Me}, {"mod", Kw::Mod}, {"new", Kw::New}, {"next", Kw::Next},
        {"not", Kw::Not}, {"nothing", Kw::Nothing}, {"null", Kw::Null}, {"on", Kw::On},
        {"option", Kw::Option}, {"or", Kw::Or}, {"private", Kw::Private}, {"public", Kw::Public},
        {"redim", Kw::ReDim}, {"select", Kw::Select}, {"set", Kw::Set}, {"step", Kw::Step},
        {"stop", Kw::Stop}, {"sub", Kw::Sub}, {"then", Kw::Then}, {"to", Kw::To},
        {"true", Kw::True}, {"until", Kw::Until}, {"wend", Kw::Wend}, {"while", Kw::While},
        {"with", Kw::With}, {"xor", Kw::Xor},
    };
    return words.value(word.toLower(), Kw::None);
}

[[noreturn]] void fail(int number, int line)
{
    throw ScriptError{number, errorDescription(number), QString::fromLatin1(kCompileSource), line, 0, true};
}

bool isIdentStart(QChar c) { return c.isLetter(); }
bool isIdentChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

} // namespace

std::vector<Token> tokenize(const QString& code, int firstLine)
{
    std::vector<Token> out;
    const int n = int(code.size());
    int i = 0;
    int line = firstLine;
    auto push = [&](Tok t) { Token k; k.type = t; k.line = line; out.push_back(std::move(k)); };
    // An operand just ended: a following '.' is member access, not a With reference.
    auto afterOperand = [&]() {
        if (out.empty()) return false;
        const Token& t = out.back();
        return (t.type == Tok::Ident && (t.kw == Kw::None || t.kw == Kw::Me)) || t.type == Tok::RParen
               || t.type == Tok::Literal;
    };
    while (i < n) {
        QChar c = code[i];
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QChar(0xA0)) { ++i; continue; }
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < n && code[i + 1] == QLatin1Char('\n')) ++i;
            ++i;
            push(Tok::Newline);
            ++line;
            continue;
        }
        if (c == QLatin1Char('\'')) {
            while (i < n && code[i] != QLatin1Char('\r') && code[i] != QLatin1Char('\n')) ++i;
            continue;
        }
        if (c == QLatin1Char('_')) {
            // Line continuation: '_' followed by blanks and the end of the line.
            int j = i + 1;
            while (j < n && (code[j] == QLatin1Char(' ') || code[j] == QLatin1Char('\t'))) ++j;
            if (j >= n || code[j] == QLatin1Char('\r') || code[j] == QLatin1Char('\n')) {
                if (j < n && code[j] == QLatin1Char('\r') && j + 1 < n && code[j + 1] == QLatin1Char('\n')) ++j;
                i = j + 1;
                ++line;
                continue;
            }
            fail(1032, line);
        }
        if (c == QLatin1Char(':')) { push(Tok::Colon); ++i; continue; }
        if (c == QLatin1Char('"')) {
            QString s;
            ++i;
            for (;;) {
                if (i >= n || code[i] == QLatin1Char('\r') || code[i] == QLatin1Char('\n'))
                    fail(1033, line);
                if (code[i] == QLatin1Char('"')) {
                    if (i + 1 < n && code[i + 1] == QLatin1Char('"')) { s += QLatin1Char('"'); i += 2; continue; }
                    ++i;
                    break;
                }
                s += code[i++];
            }
            Token t; t.type = Tok::Literal; t.value = Variant::fromString(std::move(s)); t.line = line;
            out.push_back(std::move(t));
            continue;
        }
        if (c == QLatin1Char('#')) {
            int j = i + 1;
            while (j < n && code[j] != QLatin1Char('#') && code[j] != QLatin1Char('\n')) ++j;
            if (j >= n || code[j] != QLatin1Char('#'))
                fail(1032, line);
            double d;
            if (!parseDate(code.mid(i + 1, j - i - 1), d))
                fail(1002, line);
            Token t; t.type = Tok::Literal; t.value = Variant::fromDate(d); t.line = line;
            out.push_back(std::move(t));
            i = j + 1;
            continue;
        }
        if (c == QLatin1Char('&') && i + 1 < n && (code[i + 1].toUpper() == QLatin1Char('H') || code[i + 1].toUpper() == QLatin1Char('O'))) {
            int base = code[i + 1].toUpper() == QLatin1Char('H') ? 16 : 8;
            int j = i + 2;
            uint64_t v = 0;
            int digits = 0;
            while (j < n) {
                QChar d = code[j].toUpper();
                int dv = (d >= QLatin1Char('0') && d <= QLatin1Char('9')) ? d.unicode() - '0'
                         : (base == 16 && d >= QLatin1Char('A') && d <= QLatin1Char('F')) ? d.unicode() - 'A' + 10 : -1;
                if (dv < 0 || dv >= base) break;
                v = v * base + dv;
                ++digits;
                ++j;
            }
            if (digits == 0 || v > 0xFFFFFFFFull)
                fail(1031, line);
            bool forceLong = j < n && code[j] == QLatin1Char('&');
            if (forceLong) ++j;
            Token t; t.type = Tok::Literal; t.line = line;
            if (!forceLong && v <= 0xFFFF)
                t.value = Variant::fromInteger(int16_t(uint16_t(v)));
            else
                t.value = Variant::fromLong(int32_t(uint32_t(v)));
            out.push_back(std::move(t));
            i = j;
            continue;
        }
        if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && code[i + 1].isDigit() && !afterOperand())) {
            int j = i;
            bool isFloat = false;
            while (j < n && code[j].isDigit()) ++j;
            if (j < n && code[j] == QLatin1Char('.')) {
                isFloat = true;
                ++j;
                while (j < n && code[j].isDigit()) ++j;
            }
            if (j < n && code[j].toUpper() == QLatin1Char('E')) {
                int k = j + 1;
                if (k < n && (code[k] == QLatin1Char('+') || code[k] == QLatin1Char('-'))) ++k;
                if (k < n && code[k].isDigit()) {
                    isFloat = true;
                    j = k;
                    while (j < n && code[j].isDigit()) ++j;
                }
            }
            if (j < n && isIdentStart(code[j]))
                fail(1025, line);
            QString text = code.mid(i, j - i);
            Token t; t.type = Tok::Literal; t.line = line;
            bool ok = false;
            if (!isFloat) {
                qlonglong v = text.toLongLong(&ok);
                if (ok && v <= 32767) t.value = Variant::fromInteger(int16_t(v));
                else if (ok && v <= 2147483647LL) t.value = Variant::fromLong(int32_t(v));
                else isFloat = true;
            }
            if (isFloat) {
                double d = text.toDouble(&ok);
                if (!ok || std::isinf(d))
                    fail(1031, line);
                t.value = Variant::fromDouble(d);
            }
            out.push_back(std::move(t));
            i = j;
            continue;
        }
        if (isIdentStart(c) || c == QLatin1Char('[')) {
            QString word;
            if (c == QLatin1Char('[')) {
                int j = i + 1;
                while (j < n && code[j] != QLatin1Char(']') && code[j] != QLatin1Char('\n')) ++j;
                if (j >= n || code[j] != QLatin1Char(']'))
                    fail(1007, line);
                word = code.mid(i + 1, j - i - 1);
                i = j + 1;
                Token t; t.type = Tok::Ident; t.text = word; t.line = line;
                out.push_back(std::move(t));
                continue;
            }
            int j = i;
            while (j < n && isIdentChar(code[j])) ++j;
            word = code.mid(i, j - i);
            if (word.size() > 255)
                fail(1030, line);
            i = j;
            bool member = !out.empty() && (out.back().type == Tok::Dot || out.back().type == Tok::WithDot);
            Kw kw = member ? Kw::None : keyword(word);
            if (kw == Kw::None && !member && word.compare(QLatin1String("rem"), Qt::CaseInsensitive) == 0) {
                while (i < n && code[i] != QLatin1Char('\r') && code[i] != QLatin1Char('\n')) ++i;
                continue;
            }
            Token t; t.type = Tok::Ident; t.kw = kw; t.text = word; t.line = line;
            out.push_back(std::move(t));
            continue;
        }
        Tok t;
        switch (c.unicode()) {
        case '(': t = Tok::LParen; break;
        case ')': t = Tok::RParen; break;
        case ',': t = Tok::Comma; break;
        case '.': {
            // "obj.x" is member access; ".x" after a blank or an operator refers to the With object.
            bool blankBefore = i > 0 && (code[i - 1] == QLatin1Char(' ') || code[i - 1] == QLatin1Char('\t'));
            t = afterOperand() && !blankBefore ? Tok::Dot : Tok::WithDot;
            break;
        }
        case '+': t = Tok::Plus; break;
        case '-': t = Tok::Minus; break;
        case '*': t = Tok::Star; break;
        case '/': t = Tok::Slash; break;
        case '\\': t = Tok::Backslash; break;
        case '^': t = Tok::Caret; break;
        case '&': t = Tok::Amp; break;
        case '=':
            if (i + 1 < n && code[i + 1] == QLatin1Char('<')) { ++i; t = Tok::Le; }
            else if (i + 1 < n && code[i + 1] == QLatin1Char('>')) { ++i; t = Tok::Ge; }
            else t = Tok::Eq;
            break;
        case '<':
            if (i + 1 < n && code[i + 1] == QLatin1Char('>')) { ++i; t = Tok::Ne; }
            else if (i + 1 < n && code[i + 1] == QLatin1Char('=')) { ++i; t = Tok::Le; }
            else t = Tok::Lt;
            break;
        case '>':
            if (i + 1 < n && code[i + 1] == QLatin1Char('=')) { ++i; t = Tok::Ge; }
            else if (i + 1 < n && code[i + 1] == QLatin1Char('<')) { ++i; t = Tok::Ne; }
            else t = Tok::Gt;
            break;
        default:
            fail(1032, line);
        }
        ++i;
        push(t);
    }
    // A fault at the end of the text belongs to its last line.
    if (n > 0 && (code[n - 1] == QLatin1Char('\n') || code[n - 1] == QLatin1Char('\r')) && line > firstLine)
        --line;
    push(Tok::Newline);
    push(Tok::End);
    return out;
}

} // namespace script
