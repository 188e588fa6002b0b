// The RegExp object and its Matches, Match and SubMatches collections. Patterns use the
// script language's own regular-expression dialect; they are rewritten where its anchors and
// "." differ from the library that runs them.
#include "script/Library.h"

#include <QRegularExpression>

namespace script::lib {

namespace {

constexpr int kRegexSyntax = 5017;

// A read-only list of values with Count, Item (the default member) and For Each.
class ValueList : public Dispatch {
public:
    ValueList(QString type, std::vector<Variant> items) : type_(std::move(type)), items_(std::move(items)) {}
    QString typeName() const override { return type_; }
    int memberId(const QString& name, bool) override { return memberIndex(name, {"Item", "Count"}); }
    const void* shape() const override { static const char k = 0; return &k; }
    Variant invoke(int id, InvokeKind kind, Args a) override
    {
        if (kind != InvokeKind::Get)
            raiseError(errIllegalAssign);
        if (id == kDefault || id == 1) {
            checkArgs(a, 1, 1);
            int32_t i = lng(a, 0);
            if (i < 0 || size_t(i) >= items_.size())
                raiseError(errInvalidCall);
            return items_[size_t(i)];
        }
        if (id == 2) {
            checkArgs(a, 0, 0);
            return Variant::fromLong(int32_t(items_.size()));
        }
        raiseError(errNoMember);
    }
    bool enumerate(std::vector<Variant>& out) override
    {
        out = items_;
        return true;
    }

private:
    QString type_;
    std::vector<Variant> items_;
};

class MatchObject final : public Dispatch {
public:
    MatchObject(QString value, int32_t index, std::vector<Variant> subs)
        : value_(std::move(value)), index_(index), subs_(std::move(subs)) {}
    QString typeName() const override { return QStringLiteral("IMatch2"); }
    const void* shape() const override { static const char k = 0; return &k; }
    int memberId(const QString& name, bool) override
    {
        return memberIndex(name, {"Value", "FirstIndex", "Length", "SubMatches"});
    }
    Variant invoke(int id, InvokeKind kind, Args a) override
    {
        if (kind != InvokeKind::Get)
            raiseError(errIllegalAssign);
        if (id != 4)
            checkArgs(a, 0, 0);
        switch (id) {
        case kDefault: case 1: return Variant::fromString(value_);
        case 2: return Variant::fromLong(index_);
        case 3: return Variant::fromLong(int32_t(value_.size()));
        case 4: {
            // m.SubMatches(i), the common use, reads the group without making the collection.
            if (a.size() == 1) {
                int32_t i = lng(a, 0);
                if (i < 0 || size_t(i) >= subs_.size())
                    raiseError(errInvalidCall);
                return subs_[size_t(i)];
            }
            Variant list = Variant::fromObject(new ValueList(QStringLiteral("ISubMatches"), subs_));
            return a.empty() ? list : applyArgs(list, a);
        }
        default: raiseError(errNoMember);
        }
    }

private:
    QString value_;
    int32_t index_;
    std::vector<Variant> subs_;
};

enum Member { mPattern = 1, mIgnoreCase, mGlobal, mMultiline, mTest, mExecute, mReplace };

const char kShape = 0;

class RegExpObject final : public Dispatch {
public:
    QString typeName() const override { return QStringLiteral("IRegExp2"); }
    const void* shape() const override { return &kShape; }
    int memberId(const QString& name, bool) override
    {
        return memberIndex(name, {"Pattern", "IgnoreCase", "Global", "Multiline", "Test", "Execute", "Replace"});
    }
    Variant invoke(int id, InvokeKind kind, Args a) override
    {
        if (kind != InvokeKind::Get) {
            checkArgs(a, 1, 1);
            Variant v = valueOf(*a[0]);
            switch (id) {
            case mPattern: pattern_ = toStr(v); break;
            case mIgnoreCase: ignoreCase_ = toBool(v); break;
            case mGlobal: global_ = toBool(v); break;
            case mMultiline: multiline_ = toBool(v); break;
            default: raiseError(id < 0 || id == kDefault ? errNoMember : errIllegalAssign);
            }
            compiled_ = false;
            return Variant();
        }
        switch (id) {
        case mPattern: checkArgs(a, 0, 0); return Variant::fromString(pattern_);
        case mIgnoreCase: checkArgs(a, 0, 0); return Variant::fromBool(ignoreCase_);
        case mGlobal: checkArgs(a, 0, 0); return Variant::fromBool(global_);
        case mMultiline: checkArgs(a, 0, 0); return Variant::fromBool(multiline_);
        case mTest: checkArgs(a, 1, 1); return Variant::fromBool(regex().match(str(a, 0)).hasMatch());
        case mExecute: checkArgs(a, 1, 1); return execute(str(a, 0));
        case mReplace: {
            checkArgs(a, 2, 2);
            // The replacement is taken as text the numeric way: True inserts "-1".
            Variant with = valueOf(*a[1]);
            QString withText = with.type() == vtBoolean ? QString::number(with.boolValue() ? -1 : 0) : toStr(with);
            return Variant::fromString(replace(str(a, 0), withText));
        }
        default: raiseError(errNoMember);
        }
    }

private:
    // Rewrites the pattern: "$" ends the text (or a line in multiline mode) but never
    // matches before a final line end, "^" in multiline mode starts any line, "." stops
    // only at a line feed, and \uXXXX names a character.
    QString translated() const
    {
        QString out;
        bool inClass = false;
        for (qsizetype i = 0; i < pattern_.size(); ++i) {
            QChar c = pattern_[i];
            if (c == QLatin1Char('\\') && i + 1 < pattern_.size()) {
                QChar n = pattern_[i + 1];
                if (n == QLatin1Char('u') && i + 5 < pattern_.size()) {
                    bool ok = false;
                    uint code = pattern_.mid(i + 2, 4).toUInt(&ok, 16);
                    if (ok) {
                        out += QStringLiteral("\\x{%1}").arg(code, 0, 16);
                        i += 5;
                        continue;
                    }
                }
                if (n == QLatin1Char('/')) {
                    out += n;
                    ++i;
                    continue;
                }
                out += c;
                out += n;
                ++i;
                continue;
            }
            if (inClass) {
                if (c == QLatin1Char(']'))
                    inClass = false;
                out += c;
                continue;
            }
            switch (c.unicode()) {
            case '[':
                inClass = true;
                out += c;
                break;
            case '$':
                out += multiline_ ? QStringLiteral("(?=[\\n\\r]|\\z)") : QStringLiteral("\\z");
                break;
            case '^':
                out += multiline_ ? QStringLiteral("(?:^|(?<=[\\n\\r]))") : QStringLiteral("^");
                break;
            case '.':
                out += QStringLiteral("[^\\n]");
                break;
            default:
                out += c;
            }
        }
        return out;
    }

    const QRegularExpression& regex()
    {
        if (!compiled_) {
            QRegularExpression::PatternOptions opts = QRegularExpression::NoPatternOption;
            if (ignoreCase_)
                opts |= QRegularExpression::CaseInsensitiveOption;
            re_ = QRegularExpression(translated(), opts);
            compiled_ = true;
        }
        if (!re_.isValid())
            raiseError(kRegexSyntax);
        return re_;
    }

    template <class Fn> void forEachMatch(const QString& s, Fn fn)
    {
        const QRegularExpression& re = regex();
        if (!global_) {
            QRegularExpressionMatch m = re.match(s);
            if (m.hasMatch())
                fn(m);
            return;
        }
        QRegularExpressionMatchIterator it = re.globalMatch(s);
        while (it.hasNext())
            fn(it.next());
    }

    Variant execute(const QString& s)
    {
        std::vector<Variant> matches;
        forEachMatch(s, [&](const QRegularExpressionMatch& m) {
            std::vector<Variant> subs;
            for (int g = 1; g <= re_.captureCount(); ++g) {
                // A group that took no part in the match is Empty, not "".
                subs.push_back(m.capturedStart(g) < 0 ? Variant() : Variant::fromString(m.captured(g)));
            }
            matches.push_back(Variant::fromObject(
                new MatchObject(m.captured(0), int32_t(m.capturedStart(0)), std::move(subs))));
        });
        return Variant::fromObject(new ValueList(QStringLiteral("IMatchCollection2"), std::move(matches)));
    }

    QString replace(const QString& s, const QString& with)
    {
        QString out;
        qsizetype last = 0;
        forEachMatch(s, [&](const QRegularExpressionMatch& m) {
            out += QStringView(s).mid(last, m.capturedStart(0) - last);
            expand(out, with, s, m);
            last = m.capturedEnd(0);
        });
        out += QStringView(s).mid(last);
        return out;
    }

    // $& the match, $` the text before it, $' the text after it, $1..$99 groups, $$ a dollar.
    void expand(QString& out, const QString& with, const QString& s, const QRegularExpressionMatch& m) const
    {
        const int groups = re_.captureCount();
        for (qsizetype i = 0; i < with.size(); ++i) {
            QChar c = with[i];
            if (c != QLatin1Char('$') || i + 1 >= with.size()) {
                out += c;
                continue;
            }
            QChar n = with[i + 1];
            if (n == QLatin1Char('$')) { out += n; ++i; continue; }
            if (n == QLatin1Char('&')) { out += m.captured(0); ++i; continue; }
            if (n == QLatin1Char('`')) { out += QStringView(s).left(m.capturedStart(0)); ++i; continue; }
            if (n == QLatin1Char('\'')) { out += QStringView(s).mid(m.capturedEnd(0)); ++i; continue; }
            if (n.isDigit() && n.unicode() < 128) {
                int one = n.unicode() - '0';
                int two = -1;
                if (i + 2 < with.size() && with[i + 2].isDigit() && with[i + 2].unicode() < 128)
                    two = one * 10 + (with[i + 2].unicode() - '0');
                if (two >= 1 && two <= groups) { out += m.captured(two); i += 2; continue; }
                if (one >= 1 && one <= groups) { out += m.captured(one); ++i; continue; }
            }
            out += c;
        }
    }

    QString pattern_;
    bool ignoreCase_ = false;
    bool global_ = false;
    bool multiline_ = false;
    bool compiled_ = false;
    QRegularExpression re_;
};

} // namespace

Dispatch* newRegExp() { return new RegExpObject(); }

} // namespace script::lib
