// The command-line table parser shared by the robot and the script runner.
#include "platform/CommandLine.h"

#include <algorithm>
#include <cstdio>

namespace platform {

namespace {

void print(FILE* to, const QString& text)
{
    const QByteArray b = text.toLocal8Bit();
    std::fwrite(b.constData(), 1, size_t(b.size()), to);
    std::fflush(to);
}

} // namespace

CommandLine::CommandLine(QString program, QString operands, QString version)
    : program_(std::move(program)), operands_(std::move(operands)), version_(std::move(version))
{
}

void CommandLine::add(CommandOption option) { options_.push_back(std::move(option)); }

const CommandOption* CommandLine::find(const QString& name) const
{
    for (const CommandOption& o : options_)
        if (o.name == name)
            return &o;
    return nullptr;
}

QString CommandLine::usageLine() const
{
    QString line = QStringLiteral("Usage: ") + program_;
    for (const CommandOption& o : options_)
        line += QStringLiteral(" [") + o.name + (o.valueName.isEmpty() ? QString() : QLatin1Char(' ') + o.valueName)
                + QLatin1Char(']');
    if (!operands_.isEmpty())
        line += QLatin1Char(' ') + operands_;
    return line;
}

QString CommandLine::helpText() const
{
    QString text = usageLine() + QLatin1Char('\n');
    qsizetype width = QStringLiteral("--version").size();
    for (const CommandOption& o : options_)
        width = std::max(width, o.name.size() + (o.valueName.isEmpty() ? 0 : o.valueName.size() + 1));
    for (const auto& [left, help] : rows_)
        width = std::max(width, left.size());
    const auto row = [&](const QString& left, const QString& help) {
        return QStringLiteral("  ") + left.leftJustified(width + 2) + help + QLatin1Char('\n');
    };
    for (const CommandOption& o : options_)
        text += row(o.valueName.isEmpty() ? o.name : o.name + QLatin1Char(' ') + o.valueName, o.help);
    text += row(QStringLiteral("--help"), QStringLiteral("print this help and end"));
    text += row(QStringLiteral("--version"), QStringLiteral("print the version and end"));
    for (const auto& [left, help] : rows_)
        text += row(left, help);
    if (!epilogue_.isEmpty())
        text += QLatin1Char('\n') + epilogue_;
    return text;
}

CommandLine::Outcome CommandLine::fail(const QString& message)
{
    error_ = program_ + QStringLiteral(": ") + message;
    print(stderr, error_ + QLatin1Char('\n') + usageLine() + QLatin1Char('\n') + QStringLiteral("Try '") + program_
                      + QStringLiteral(" --help' for more information.\n"));
    return Outcome::Error;
}

CommandLine::Outcome CommandLine::parse(const QStringList& args)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--")) {
            if (rest_)
                rest_(args.mid(i + 1));
            else if (i + 1 < args.size())
                return fail(QStringLiteral("unexpected argument '%1'").arg(args[i + 1]));
            return Outcome::Run;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            print(stdout, helpText());
            return Outcome::Done;
        }
        if (a == QLatin1String("--version")) {
            print(stdout, program_ + QLatin1Char(' ') + version_ + QLatin1Char('\n'));
            return Outcome::Done;
        }
        if (!a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
            if (!operand_ || !operand_(a))
                return fail(QStringLiteral("unexpected argument '%1'").arg(a));
            continue;
        }
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        const QString name = eq < 0 ? a : a.left(eq);
        const CommandOption* o = find(name);
        if (!o)
            return fail(QStringLiteral("unknown option '%1'").arg(name));
        QString value;
        if (o->valueName.isEmpty()) {
            if (eq >= 0)
                return fail(QStringLiteral("option '%1' takes no value").arg(name));
        } else {
            if (eq >= 0)
                value = a.mid(eq + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            if (value.isEmpty())
                return fail(QStringLiteral("option '%1' needs a value (%2)").arg(name, o->valueName));
        }
        if (o->apply)
            o->apply(value);
    }
    return Outcome::Run;
}

} // namespace platform
