// The lexer: one pass over the text, producing the whole token list up front. Each kind of
// token has its own reader; the loop in tokenize() only picks the reader by the first character.
#include "script/Lexer.h"

#include "script/ScriptError.h"

#include <QHash>
#include <cmath>
#include <cstdlib>

namespace script {

namespace {

Kw keyword(const QString& word)
{
    // Words VBScript lets scripts use as names in some places (Step, Property, Error, ...)
    // are not here: the parser recognises them by text where they have a meaning.
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
        {"redim", Kw::ReDim}, {"select", Kw::Select}, {"set", Kw::Set},
        {"stop", Kw::Stop}, {"sub", Kw::Sub}, {"then", Kw::Then}, {"to", Kw::To},
        {"true", Kw::True}, {"until", Kw::Until}, {"wend", Kw::Wend}, {"while", Kw::While},
        {"with", Kw::With}, {"xor", Kw::Xor},
    };
    return words.value(word.toLower(), Kw::None);
}

bool isIdentStart(QChar c) { return c.isLetter(); }
bool isIdentChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }
bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QChar(0xA0); }
bool isLineEnd(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }

// The value of a digit in the base, or -1.
int digitValue(QChar c, int base)
{
    int v = -1;
    char16_t u = c.toUpper().unicode();
    if (u >= '0' && u <= '9') v = u - '0';
    else if (u >= 'A' && u <= 'F') v = u - 'A' + 10;
    return v < base ? v : -1;
}

class Lexer {
public:
    Lexer(const QString& code, int firstLine) : code_(code), n_(int(code.size())), line_(firstLine), firstLine_(firstLine) {}

    std::vector<Token> run()
    {
        while (i_ < n_) {
            QChar c = code_[i_];
            if (isBlank(c)) ++i_;
            else if (isLineEnd(c)) readNewline();
            else if (c == QLatin1Char('\'')) skipToLineEnd();
            else if (c == QLatin1Char('_')) readContinuation();
            else if (c == QLatin1Char('"')) readString();
            else if (c == QLatin1Char('#')) readDate();
            else if (c == QLatin1Char('&') && radixLiteralAhead()) readRadixNumber();
            else if (c.isDigit() || (c == QLatin1Char('.') && peek(1).isDigit())) readNumber();
            else if (isIdentStart(c)) readWord();
            else if (c == QLatin1Char('[')) readBracketedName();
            else readPunctuation(c);
        }
        // A fault at the end of the text belongs to its last line.
        if (n_ > 0 && isLineEnd(code_[n_ - 1]) && line_ > firstLine_)
            --line_;
        push(Tok::Newline);
        push(Tok::End);
        return std::move(out_);
    }

private:
    QChar peek(int k) const { return i_ + k < n_ ? code_[i_ + k] : QChar(); }
    [[noreturn]] void fail(int number) const { raiseCompileError(number, line_); }
    void push(Tok t)
    {
        Token k;
        k.type = t;
        k.line = line_;
        out_.push_back(std::move(k));
    }
    void pushLiteral(Variant v)
    {
        Token t;
        t.type = Tok::Literal;
        t.value = std::move(v);
        t.line = line_;
        out_.push_back(std::move(t));
    }
    // An operand just ended: a following '.' is member access, not a With reference.
    bool afterOperand() const
    {
        if (out_.empty()) return false;
        const Token& t = out_.back();
        return (t.type == Tok::Ident && (t.kw == Kw::None || t.kw == Kw::Me)) || t.type == Tok::RParen
               || t.type == Tok::Literal;
    }

    void readNewline()
    {
        if (code_[i_] == QLatin1Char('\r') && peek(1) == QLatin1Char('\n')) ++i_;
        ++i_;
        push(Tok::Newline);
        ++line_;
    }

    void skipToLineEnd()
    {
        while (i_ < n_ && !isLineEnd(code_[i_])) ++i_;
    }

    // '_' followed by blanks and the end of the line joins the next line to this one.
    void readContinuation()
    {
        int j = i_ + 1;
        while (j < n_ && (code_[j] == QLatin1Char(' ') || code_[j] == QLatin1Char('\t'))) ++j;
        if (j < n_ && !isLineEnd(code_[j]))
            fail(1032);
        if (j < n_ && code_[j] == QLatin1Char('\r') && j + 1 < n_ && code_[j + 1] == QLatin1Char('\n')) ++j;
        i_ = j + 1;
        ++line_;
    }

    void readString()
    {
        QString s;
        ++i_;
        for (;;) {
            if (i_ >= n_ || isLineEnd(code_[i_]))
                fail(1033);
            if (code_[i_] == QLatin1Char('"')) {
                if (peek(1) == QLatin1Char('"')) { s += QLatin1Char('"'); i_ += 2; continue; }
                ++i_;
                break;
            }
            s += code_[i_++];
        }
        pushLiteral(Variant::fromString(std::move(s)));
    }

    void readDate()
    {
        int j = i_ + 1;
        while (j < n_ && code_[j] != QLatin1Char('#') && code_[j] != QLatin1Char('\n')) ++j;
        if (j >= n_ || code_[j] != QLatin1Char('#'))
            fail(1032);
        double d;
        if (!parseDate(code_.mid(i_ + 1, j - i_ - 1), d, false))
            fail(1002);
        pushLiteral(Variant::fromDate(d));
        i_ = j + 1;
    }

    // "&H1F", "&O17" and "&17" are numbers; "&" before any other letter ("a" &hx) is the
    // concatenation operator. After a literal or ')' only an operator can follow, so "&1" there
    // concatenates too.
    bool radixLiteralAhead() const
    {
        QChar c = peek(1).toUpper();
        if (c == QLatin1Char('H')) return digitValue(peek(2), 16) >= 0;
        if (c == QLatin1Char('O')) return digitValue(peek(2), 8) >= 0;
        if (digitValue(c, 8) < 0) return false;
        return out_.empty() || (out_.back().type != Tok::Literal && out_.back().type != Tok::RParen);
    }

    void readRadixNumber()
    {
        QChar marker = peek(1).toUpper();
        int base = marker == QLatin1Char('H') ? 16 : 8;
        i_ += (marker == QLatin1Char('H') || marker == QLatin1Char('O')) ? 2 : 1;
        uint64_t v = 0;
        for (int dv; i_ < n_ && (dv = digitValue(code_[i_], base)) >= 0; ++i_) {
            v = v * uint64_t(base) + uint64_t(dv);
            if (v > 0xFFFFFFFFull)
                fail(1031);
        }
        bool forceLong = i_ < n_ && code_[i_] == QLatin1Char('&');
        if (forceLong) ++i_;
        // Up to &H7FFF an Integer; above that the Long of the same value, and from &H80000000
        // the 32 bits read as a signed Long.
        if (!forceLong && v <= 0x7FFF)
            pushLiteral(Variant::fromInteger(int16_t(v)));
        else
            pushLiteral(Variant::fromLong(int32_t(uint32_t(v))));
    }

    void readNumber()
    {
        int j = i_;
        bool isFloat = false;
        while (j < n_ && code_[j].isDigit()) ++j;
        if (j < n_ && code_[j] == QLatin1Char('.')) {
            isFloat = true;
            ++j;
            while (j < n_ && code_[j].isDigit()) ++j;
        }
        if (j < n_ && code_[j].toUpper() == QLatin1Char('E')) {
            int k = j + 1;
            if (k < n_ && (code_[k] == QLatin1Char('+') || code_[k] == QLatin1Char('-'))) ++k;
            if (k < n_ && code_[k].isDigit()) {
                isFloat = true;
                j = k;
                while (j < n_ && code_[j].isDigit()) ++j;
            }
        }
        if (j < n_ && isIdentStart(code_[j]))
            fail(1025);
        QByteArray text = code_.mid(i_, j - i_).toLatin1();
        i_ = j;
        if (!isFloat) {
            bool ok = false;
            qlonglong v = text.toLongLong(&ok);
            if (ok && v <= 32767) return pushLiteral(Variant::fromInteger(int16_t(v)));
            if (ok && v <= 2147483647LL) return pushLiteral(Variant::fromLong(int32_t(v)));
        }
        // strtod gives 0 for a number too small to hold (1e-400), as VBScript does; only
        // overflow is an invalid number.
        double d = std::strtod(text.constData(), nullptr);
        if (std::isinf(d))
            fail(1031);
        pushLiteral(Variant::fromDouble(d));
    }

    void readWord()
    {
        int j = i_;
        while (j < n_ && isIdentChar(code_[j])) ++j;
        QString word = code_.mid(i_, j - i_);
        if (word.size() > 255)
            fail(1030);
        i_ = j;
        bool member = !out_.empty() && (out_.back().type == Tok::Dot || out_.back().type == Tok::WithDot);
        Kw kw = member ? Kw::None : keyword(word);
        if (kw == Kw::None && !member && word.compare(QLatin1String("rem"), Qt::CaseInsensitive) == 0) {
            skipToLineEnd();
            return;
        }
        Token t;
        t.type = Tok::Ident;
        t.kw = kw;
        t.text = std::move(word);
        t.line = line_;
        out_.push_back(std::move(t));
    }

    // [any text]: a name that may hold blanks or be a reserved word.
    void readBracketedName()
    {
        int j = i_ + 1;
        while (j < n_ && code_[j] != QLatin1Char(']') && code_[j] != QLatin1Char('\n')) ++j;
        if (j >= n_ || code_[j] != QLatin1Char(']'))
            fail(1007);
        Token t;
        t.type = Tok::Ident;
        t.text = code_.mid(i_ + 1, j - i_ - 1);
        t.line = line_;
        out_.push_back(std::move(t));
        i_ = j + 1;
    }

    void readPunctuation(QChar c)
    {
        // The second character of a two-character operator, consumed when it is there.
        auto next = [&](char second) {
            if (peek(1) != QLatin1Char(second)) return false;
            ++i_;
            return true;
        };
        Tok t;
        switch (c.unicode()) {
        case ':': t = Tok::Colon; break;
        case '(': t = Tok::LParen; break;
        case ')': t = Tok::RParen; break;
        case ',': t = Tok::Comma; break;
        case '.': {
            // "obj.x" is member access; ".x" after a blank or an operator refers to the With object.
            bool blankBefore = i_ > 0 && (code_[i_ - 1] == QLatin1Char(' ') || code_[i_ - 1] == QLatin1Char('\t'));
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
        case '=': t = next('<') ? Tok::Le : next('>') ? Tok::Ge : Tok::Eq; break;
        case '<': t = next('>') ? Tok::Ne : next('=') ? Tok::Le : Tok::Lt; break;
        case '>': t = next('=') ? Tok::Ge : next('<') ? Tok::Ne : Tok::Gt; break;
        default:
            fail(1032);
        }
        ++i_;
        push(t);
    }

    const QString& code_;
    const int n_;
    int i_ = 0;
    int line_;
    const int firstLine_;
    std::vector<Token> out_;
};

} // namespace

std::vector<Token> tokenize(const QString& code, int firstLine)
{
    return Lexer(code, firstLine).run();
}

} // namespace script
