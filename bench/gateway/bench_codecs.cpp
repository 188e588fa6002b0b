// Throughput of the attachment codecs on 50 MB: base64 encoding of a file into lines, base64
// decoding of those lines into a file, and quoted-printable decoding.
#include "config/RunningConfig.h"
#include "gateway/clsInetGateway.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

constexpr qsizetype kSize = 50 * 1024 * 1024;

struct Fixture {
    QTemporaryDir dir;
    clsInetGateway gw;
    QStringList base64Lines;
    QStringList qpLines;
    qsizetype qpBytes = 0;

    Fixture()
    {
        auto& rc = config::Running();
        rc.PathAttachOut = dir.path() + "/";
        rc.PathAttachIn = dir.path() + "/";
        QByteArray data(kSize, Qt::Uninitialized);
        QRandomGenerator rng(1);
        for (qsizetype i = 0; i < kSize; ++i)
            data[i] = char(rng.bounded(256));
        QFile f(rc.PathAttachOut + "data.bin");
        f.open(QIODevice::WriteOnly);
        f.write(data);
        f.close();
        gw.EncodeAttachment("data.bin");
        base64Lines = gw.RawLines;
        // Quoted-printable text of mostly printable data with some escapes, soft-broken at 76.
        QString line;
        for (qsizetype i = 0; qpBytes + line.size() < kSize; ++i) {
            const int b = rng.bounded(100) < 90 ? 33 + rng.bounded(90) : rng.bounded(256);
            // "-" is escaped: a line beginning "--" would end the part.
            const QString piece = (b >= 33 && b <= 126 && b != '=' && b != '-') ? QString(QChar(b))
                                                                   : QString::asprintf("=%02X", b);
            if (line.size() + piece.size() > 75) {
                line += QLatin1Char('=');
                qpBytes += line.size() + 2;
                qpLines.append(line);
                line.clear();
            }
            line += piece;
        }
        qpLines.append(line);
        qpBytes += line.size() + 2;
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_Base64Encode(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.gw.EncodeAttachment("data.bin"));
    state.SetBytesProcessed(state.iterations() * kSize);
}

void BM_Base64Decode(benchmark::State& state)
{
    Fixture& f = fixture();
    f.gw.RawLines = f.base64Lines;
    f.gw.RawLinesNumber = qint32(f.base64Lines.size());
    for (auto _ : state) {
        f.gw.CurrentLine = 1;
        QString name = "decoded.bin";
        f.gw.DecodeBase64Attachment(name);
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}

void BM_QuotedPrintableDecode(benchmark::State& state)
{
    Fixture& f = fixture();
    f.gw.RawLines = f.qpLines;
    f.gw.RawLinesNumber = qint32(f.qpLines.size());
    for (auto _ : state) {
        f.gw.CurrentLine = 1;
        QString name = "decoded.txt";
        f.gw.DecodeQuotedPrintable(name);
    }
    state.SetBytesProcessed(state.iterations() * f.qpBytes);
}

} // namespace

BENCHMARK(BM_Base64Encode)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Base64Decode)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_QuotedPrintableDecode)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
