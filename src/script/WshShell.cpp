// WScript.Shell for automation on this system: Run and Exec through /bin/sh, environment
// variables (ExpandEnvironmentStrings, Environment) and the current directory.
#include "script/Library.h"
#include "script/TextStream.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <memory>

namespace script::lib {

namespace {

// What the original platform reports when a program cannot be started.
constexpr int kCannotStart = int(0x80070002u);

QStringList shellArgs(const QString& command) { return {QStringLiteral("-c"), command}; }

// The process environment as WshEnvironment shows it: every kind ("PROCESS", "SYSTEM",
// "USER", "VOLATILE") is the one environment a process has here.
class Environment final : public Dispatch {
public:
    QString typeName() const override { return QStringLiteral("IWshEnvironment"); }
    int memberId(const QString& name, bool) override { return memberIndex(name, {"Item", "Count", "Length", "Remove"}); }
    Variant invoke(int id, InvokeKind kind, Args a) override
    {
        if (id == kDefault)
            id = 1;
        if (kind != InvokeKind::Get) {
            if (id != 1)
                raiseError(errIllegalAssign);
            checkArgs(a, 2, 2);
            QByteArray name = str(a, 0).toLocal8Bit();
            if (name.isEmpty() || name.contains('='))
                raiseError(errInvalidCall);
            qputenv(name.constData(), str(a, 1).toLocal8Bit());
            return Variant();
        }
        switch (id) {
        case 1:
            checkArgs(a, 1, 1);
            return Variant::fromString(qEnvironmentVariable(str(a, 0).toLocal8Bit().constData()));
        case 2: case 3:
            checkArgs(a, 0, 0);
            return Variant::fromLong(int32_t(QProcessEnvironment::systemEnvironment().keys().size()));
        case 4:
            checkArgs(a, 1, 1);
            qunsetenv(str(a, 0).toLocal8Bit().constData());
            return Variant();
        default:
            raiseError(errNoMember);
        }
    }
    bool enumerate(std::vector<Variant>& out) override
    {
        for (const QString& kv : QProcessEnvironment::systemEnvironment().toStringList())
            out.push_back(Variant::fromString(kv));
        return true;
    }
};

// The running or finished child of Exec.
class ExecObject final : public Dispatch {
public:
    explicit ExecObject(std::shared_ptr<QProcess> p) : proc_(std::move(p))
    {
        stdOut_ = Ref<Dispatch>(TextStream::forReading({}, false, source(false)));
        stdErr_ = Ref<Dispatch>(TextStream::forReading({}, false, source(true)));
    }
    QString typeName() const override { return QStringLiteral("IWshExec"); }
    int memberId(const QString& name, bool) override
    {
        return memberIndex(name, {"Status", "ExitCode", "ProcessID", "StdOut", "StdErr", "Terminate"});
    }
    Variant invoke(int id, InvokeKind kind, Args a) override
    {
        if (kind != InvokeKind::Get)
            raiseError(id > 0 ? errIllegalAssign : errNoMember);
        if (id != 4 && id != 5)
            checkArgs(a, 0, 0);
        switch (id) {
        case 1:
            // A short wait lets a finished child be noticed; scripts poll this in a loop.
            if (proc_->state() != QProcess::NotRunning)
                proc_->waitForFinished(10);
            return Variant::fromLong(proc_->state() == QProcess::NotRunning ? 1 : 0);
        case 2:
            if (proc_->state() != QProcess::NotRunning)
                proc_->waitForFinished(10);
            return Variant::fromLong(proc_->state() == QProcess::NotRunning ? proc_->exitCode() : 0);
        case 3: return Variant::fromLong(int32_t(proc_->processId()));
        case 4: return withArgs(Variant::fromObject(stdOut_.get()), a);
        case 5: return withArgs(Variant::fromObject(stdErr_.get()), a);
        case 6:
            proc_->kill();
            proc_->waitForFinished(1000);
            return Variant();
        default:
            raiseError(errNoMember);
        }
    }

private:
    TextStream::Source source(bool err)
    {
        std::shared_ptr<QProcess> p = proc_;
        return [p, err](QByteArray& more) {
            for (;;) {
                QByteArray b = err ? p->readAllStandardError() : p->readAllStandardOutput();
                if (!b.isEmpty()) {
                    more += b;
                    return true;
                }
                if (p->state() == QProcess::NotRunning)
                    return false;
                p->waitForFinished(20);
            }
        };
    }

    std::shared_ptr<QProcess> proc_;
    Ref<Dispatch> stdOut_;
    Ref<Dispatch> stdErr_;
};

enum Member { mRun = 1, mExec, mExpand, mEnvironment, mCurrentDirectory };

class WshShell final : public Dispatch {
public:
    QString typeName() const override { return QStringLiteral("IWshShell3"); }
    int memberId(const QString& name, bool) override
    {
        return memberIndex(name, {"Run", "Exec", "ExpandEnvironmentStrings", "Environment", "CurrentDirectory"});
    }
    Variant invoke(int id, InvokeKind kind, Args a) override
    {
        if (kind != InvokeKind::Get) {
            if (id != mCurrentDirectory)
                raiseError(id > 0 ? errIllegalAssign : errNoMember);
            checkArgs(a, 1, 1);
            if (!QDir::setCurrent(str(a, 0)))
                raiseError(76);
            return Variant();
        }
        switch (id) {
        case mRun: {
            checkArgs(a, 1, 3);
            QString cmd = str(a, 0);
            if (!optBool(a, 2, false)) {
                if (!QProcess::startDetached(QStringLiteral("/bin/sh"), shellArgs(cmd)))
                    raiseError(kCannotStart, QStringLiteral("The system cannot find the file specified."));
                return Variant::fromLong(0);
            }
            QProcess p;
            p.setProcessChannelMode(QProcess::ForwardedChannels);
            p.start(QStringLiteral("/bin/sh"), shellArgs(cmd));
            if (!p.waitForStarted(-1))
                raiseError(kCannotStart, QStringLiteral("The system cannot find the file specified."));
            p.waitForFinished(-1);
            return Variant::fromLong(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1);
        }
        case mExec: {
            checkArgs(a, 1, 1);
            auto p = std::make_shared<QProcess>();
            p->start(QStringLiteral("/bin/sh"), shellArgs(str(a, 0)));
            if (!p->waitForStarted(-1))
                raiseError(kCannotStart, QStringLiteral("The system cannot find the file specified."));
            p->closeWriteChannel();
            return Variant::fromObject(new ExecObject(std::move(p)));
        }
        case mExpand: {
            checkArgs(a, 1, 1);
            QString s = str(a, 0);
            static const QRegularExpression var(QStringLiteral("%([^%]+)%"));
            QString out;
            qsizetype last = 0;
            auto it = var.globalMatch(s);
            while (it.hasNext()) {
                auto m = it.next();
                QByteArray name = m.captured(1).toLocal8Bit();
                out += QStringView(s).mid(last, m.capturedStart(0) - last);
                // An unknown name stays as written, percent signs and all.
                out += qEnvironmentVariableIsSet(name.constData()) ? qEnvironmentVariable(name.constData()) : m.captured(0);
                last = m.capturedEnd(0);
            }
            out += QStringView(s).mid(last);
            return Variant::fromString(out);
        }
        case mEnvironment: {
            checkArgs(a, 0, 1);
            if (given(a, 0)) {
                QString which = str(a, 0).toUpper();
                if (which != QLatin1String("PROCESS") && which != QLatin1String("SYSTEM") && which != QLatin1String("USER")
                    && which != QLatin1String("VOLATILE"))
                    raiseError(errInvalidCall);
            }
            return Variant::fromObject(new Environment());
        }
        case mCurrentDirectory:
            checkArgs(a, 0, 0);
            return Variant::fromString(QDir::currentPath());
        default:
            raiseError(errNoMember);
        }
    }
};

} // namespace

Dispatch* newWshShell() { return new WshShell(); }

} // namespace script::lib
