// Fuzz target over the filing of received messages: raw lines in, files out. Nothing may
// crash, and nothing may be written outside the incoming folders (and the outgoing folder,
// where an oversized message's automatic reply belongs).
// With clang this is a libFuzzer target (TW_LIBFUZZER); otherwise main() below drives it with
// the files named on the command line and then with generated messages for a while.
#include "config/RunningConfig.h"
#include "gateway/GwText.h"
#include "gateway/clsInetGateway.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

struct GatewayFuzzAccess {
    static bool file(clsInetGateway& g) { return g.FileReceivedMessage(); }
};

namespace {

struct World {
    int argc = 1;
    char arg0[8] = "fuzz";
    char* argv[2] = {arg0, nullptr};
    std::unique_ptr<QCoreApplication> app;
    QTemporaryDir dir;
    std::unique_ptr<clsInetGateway> gw;
    int runs = 0;

    World()
    {
        if (!QCoreApplication::instance())
            app = std::make_unique<QCoreApplication>(argc, argv);
        auto& rc = config::Running();
        const QString root = dir.path() + QLatin1Char('/');
        for (const char* sub : {"msgin", "attachin", "msgout", "home"})
            QDir(root).mkpath(QString::fromLatin1(sub));
        rc.PathHome = root + "home/";
        rc.PathMsgIn = root + "msgin/";
        rc.PathAttachIn = root + "attachin/";
        rc.PathMsgOut = root + "msgout/";
        rc.PathAttachOut = root + "home/";
        gateway::SetDurableWrites(false);
        gw = std::make_unique<clsInetGateway>();
        gw->UserName = "fuzz";
        gw->MessageMax = 1000;
    }

    // Every file must lie directly in one of the three folders the filing may write to.
    void checkAndClear()
    {
        const QString root = dir.path() + QLatin1Char('/');
        QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString rel = path.mid(root.size());
            const QString folder = rel.section(QLatin1Char('/'), 0, 0);
            const bool allowedDir = !rel.contains(QLatin1Char('/'))
                && (folder == "msgin" || folder == "attachin" || folder == "msgout" || folder == "home");
            const bool allowedFile = rel.count(QLatin1Char('/')) == 1
                && (folder == "msgin" || folder == "attachin" || folder == "msgout");
            if (!allowedDir && !allowedFile) {
                std::fprintf(stderr, "written outside the incoming folders: %s\n", qPrintable(rel));
                std::abort();
            }
        }
        if (++runs % 64 == 0)
            for (const char* sub : {"msgin", "attachin", "msgout"}) {
                QDir d(root + QString::fromLatin1(sub));
                for (const QString& f : d.entryList(QDir::Files | QDir::Hidden))
                    d.remove(f);
            }
    }
};

World& world()
{
    static World w;
    return w;
}

void fileOne(const uint8_t* data, size_t size)
{
    World& w = world();
    const QByteArray in(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList lines;
    for (QByteArray line : in.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        lines << QString::fromLatin1(line);
    }
    w.gw->LastCommand = size > 0 && (data[0] & 1) ? gateway::Command::Top : gateway::Command::Retr;
    w.gw->RawLines = lines;
    w.gw->RawLinesNumber = qint32(lines.size());
    GatewayFuzzAccess::file(*w.gw);
    w.checkAndClear();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fileOne(data, size);
    return 0;
}

#ifndef TW_LIBFUZZER
namespace {

// A message from pieces that reach the interesting branches: headers, folding, content lines,
// boundaries (some never closed), encodings, names with paths and odd characters, bad data.
QByteArray generated(QRandomGenerator& r)
{
    static const char* const pieces[] = {
        "Subject: x", "To: a@b", "From: c@d", "\tfolded", " ", "", "Content-Type: multipart/mixed; boundary=\"B\"",
        "Content-Type: multipart/alternative;", " boundary=C", "--B", "--B--", "--C", "--C--",
        "Content-Transfer-Encoding: base64", "Content-Transfer-Encoding: quoted-printable",
        "Content-Disposition: attachment; filename=\"../../x.txt\"", "Content-Type: text/plain; name=..\\..\\y",
        "Content-Type: x; name=\"a:b*c?d<e>f|g\"", "Content-Disposition: attachment; filename*=utf-8''%C3%A9%2F..%2Fz",
        "Content-Type: x; name==?utf-8?b?Li4vLi4vZXZpbA==?=", "name=", "filename=.", "filename=..", "QUJD", "QUI=", "QQ==",
        "QU!D", "QUJDRA", "=3D41=E9=", "abc=", "=0D=0A=", "(comment) \"quoted\"", "--", "-- ", ".",
        "Content-Type: text/plain; name=\"\x01\x7f\xff.txt\"", "boundary=", "\tname=tabbed.txt",
    };
    QByteArray m;
    const int n = int(r.bounded(1, 60));
    for (int i = 0; i < n; ++i) {
        if (r.bounded(8) == 0) {
            QByteArray junk(int(r.bounded(0, 90)), Qt::Uninitialized);
            for (char& c : junk)
                c = char(r.bounded(256));
            m += junk;
        } else {
            m += pieces[r.bounded(int(sizeof pieces / sizeof pieces[0]))];
        }
        m += r.bounded(4) == 0 ? "\n" : "\r\n";
    }
    return m;
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 60;
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a.startsWith("-max_total_time=")) {
            seconds = a.mid(16).toDouble();
            continue;
        }
        QDirIterator it(QString::fromLocal8Bit(a), QDir::Files, QDirIterator::Subdirectories);
        QStringList paths;
        if (QFileInfo(QString::fromLocal8Bit(a)).isFile())
            paths << QString::fromLocal8Bit(a);
        while (it.hasNext())
            paths << it.next();
        for (const QString& p : paths) {
            QFile f(p);
            if (f.open(QIODevice::ReadOnly)) {
                const QByteArray b = f.readAll();
                fileOne(reinterpret_cast<const uint8_t*>(b.constData()), size_t(b.size()));
                ++files;
            }
        }
    }
    QRandomGenerator r(20261207);
    QElapsedTimer t;
    t.start();
    qint64 runs = 0;
    while (t.elapsed() < qint64(seconds * 1000)) {
        const QByteArray m = generated(r);
        fileOne(reinterpret_cast<const uint8_t*>(m.constData()), size_t(m.size()));
        ++runs;
    }
    std::printf("plain fuzz driver: %d seed files and %lld generated messages filed in %.1f s; no crash, "
                "nothing written outside the incoming folders\n",
                files, static_cast<long long>(runs), double(t.elapsed()) / 1000.0);
    return 0;
}
#endif
