// Command lines of the programs: options from one table, the usual conventions ("--name VALUE"
// or "--name=VALUE", "--" ends the options, --help and --version), and one usage line on
// every error so that a script calling the program sees at once what went wrong.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

namespace platform {

// Exit code of every command-line error.
constexpr int kExitUsage = 2;

struct CommandOption {
    QString name;       // "--home"
    QString valueName;  // "DIR" when the option takes a value, else empty
    QString help;       // one line for --help
    std::function<void(const QString& value)> apply;
};

class CommandLine {
public:
    // program: the name printed in messages; operands: the synopsis after the options
    // ("[REFRESH]", "FILE... [-- ARG...]"); version: the text --version prints after the name.
    CommandLine(QString program, QString operands, QString version);

    void add(CommandOption option);
    // Words that are not options go here in order; return false to refuse one.
    void onOperand(std::function<bool(const QString& word)> f) { operand_ = std::move(f); }
    // Words after "--" go here (all of them at once); without a handler "--" only ends options.
    void onRest(std::function<void(const QStringList& words)> f) { rest_ = std::move(f); }
    // A row of the option list for what is no option (an operand such as "REFRESH").
    void addHelpRow(QString left, QString help) { rows_.push_back({std::move(left), std::move(help)}); }
    // Text printed by --help after the option list (exit codes, environment, files).
    void setEpilogue(QString text) { epilogue_ = std::move(text); }

    enum class Outcome { Run, Done, Error };
    // Parses args (without the program's own name). Done: --help or --version printed, exit 0.
    // Error: message and usage line on standard error, exit kExitUsage.
    Outcome parse(const QStringList& args);

    QString usageLine() const;
    QString helpText() const;
    // The error text parse printed, for tests and callers that show it elsewhere.
    const QString& error() const { return error_; }

    // Reports a usage error as parse does; for rules between options that the table cannot
    // say ("--smtp" only with "--set-password").
    Outcome fail(const QString& message);

private:
    const CommandOption* find(const QString& name) const;

    QString program_;
    QString operands_;
    QString version_;
    QString epilogue_;
    QString error_;
    std::vector<CommandOption> options_;
    std::vector<std::pair<QString, QString>> rows_;
    std::function<bool(const QString&)> operand_;
    std::function<void(const QStringList&)> rest_;
};

} // namespace platform
