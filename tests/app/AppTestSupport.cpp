#include "AppTestSupport.h"

#include "app/CAnalyzerApp.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QTimer>

#include <chrono>
#include <map>
#include <string>

namespace
{
std::map<std::string, TestFactory>& Registry()
{
    static std::map<std::string, TestFactory> registry;
    return registry;
}
}  // namespace

int RegisterTestClass(const char* name, TestFactory factory)
{
    Registry()[name] = std::move(factory);
    return 0;
}

void ClearSettings()
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(CAnalyzerApp::kRegistryKey),
                    QCoreApplication::applicationName());
    store.clear();
    store.sync();
}

QString SettingsFilePath()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(CAnalyzerApp::kRegistryKey),
                     QCoreApplication::applicationName())
        .fileName();
}

std::shared_ptr<bool> OnNextModal(std::function<void(QWidget*)> action, int timeoutMs)
{
    auto done = std::make_shared<bool>(false);
    auto* timer = new QTimer;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, [timer, action, done, deadline] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible())
        {
            timer->stop();
            timer->deleteLater();
            *done = true;
            action(modal);
        }
        else if (std::chrono::steady_clock::now() > deadline)
        {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
    return done;
}

bool ChooseInFileDialog(QWidget* dialog, const QString& path)
{
    auto* fd = qobject_cast<QFileDialog*>(dialog);
    auto* name = fd ? fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
    if (name == nullptr)
    {
        dialog->close();
        return false;
    }
    name->setText(path);
    static_cast<QDialog*>(fd)->accept();  // QFileDialog::accept, which checks the name
    if (fd->isVisible())
    {
        fd->reject();
        return false;
    }
    return true;
}

Bytes MakeMisplacedAudioStream(int gap)
{
    StreamWriter w;
    w.PackHeader(0);
    w.SystemHeader({{0xC0, 0, 32}});
    uint32_t seed = 7;
    Bytes payload(static_cast<size_t>(gap), 0x11);  // bytes that hold no sync word
    const Bytes frame = StreamWriter::Mp2Frame(11, 1, false, seed);  // 224 kbit/s, 48 kHz
    payload.insert(payload.end(), frame.begin(), frame.end());
    PesOptions pes;
    pes.pts = 90000;
    w.PesPacket(0xC0, payload, pes);
    return w.bytes;
}

Bytes MakeSmallDvdStream(uint64_t bytes)
{
    DvdStreamOptions options;
    options.targetBytes = bytes;
    options.iFrameBytes = 12000;
    options.pFrameBytes = 5000;
    options.bFrameBytes = 2000;
    options.slicesPerPicture = 4;
    return MakeDvdStream(options);
}

namespace
{
bool Ffmpeg(QStringList args)
{
    args.prepend(QStringLiteral("-y"));
    args.prepend(QStringLiteral("error"));
    args.prepend(QStringLiteral("-loglevel"));
    args.prepend(QStringLiteral("-nostdin"));
    args.prepend(QStringLiteral("-hide_banner"));
    return QProcess::execute(QStringLiteral("ffmpeg"), args) == 0;
}

QStringList Sources(const char* size, int seconds, bool audio)
{
    QStringList args{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("testsrc2=size=%1:rate=25:duration=%2").arg(QLatin1String(size)).arg(seconds)};
    if (audio)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(seconds);
    return args;
}
}  // namespace

std::string MakeFfmpegStream(const TempDir& dir, const std::string& name, const QStringList& options, int seconds)
{
    const std::string path = dir.File(name);
    return Ffmpeg(Sources("352x288", seconds, true) << options << QString::fromStdString(path)) ? path : std::string();
}

std::string MakeMplexDvdStream(const TempDir& dir, int seconds)
{
    const QString video = QString::fromStdString(dir.File("mplex.m2v"));
    const QString audio = QString::fromStdString(dir.File("mplex.mp2"));
    const std::string path = dir.File("mplex.mpg");
    const bool made =
        Ffmpeg(Sources("720x576", seconds, false)
               << QStringLiteral("-c:v") << QStringLiteral("mpeg2video") << QStringLiteral("-b:v") << QStringLiteral("4000k")
               << QStringLiteral("-maxrate") << QStringLiteral("6000k") << QStringLiteral("-bufsize")
               << QStringLiteral("1835k") << QStringLiteral("-f") << QStringLiteral("mpeg2video") << video) &&
        Ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(seconds), QStringLiteral("-c:a"),
                QStringLiteral("mp2"), QStringLiteral("-b:a"), QStringLiteral("224k"), QStringLiteral("-f"),
                QStringLiteral("mp2"), audio}) &&
        QProcess::execute(QStringLiteral("mplex"), {QStringLiteral("-v"), QStringLiteral("0"), QStringLiteral("-f"),
                                                    QStringLiteral("8"), QStringLiteral("-o"),
                                                    QString::fromStdString(path), video, audio}) == 0;
    return made ? path : std::string();
}

// ---------------------------------------------------------------------------------
// Test runner: `varnodel_app_tests [Class [QtTest arguments]]`
// ---------------------------------------------------------------------------------

#include <QTemporaryDir>
#include <QtTest>

int main(int argc, char** argv)
{
    // The settings of the run live in a folder of their own, never in the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);

    QStringList args = app.arguments();
    QString only;
    if (args.size() > 1 && !args[1].startsWith(QLatin1Char('-')))
        only = args.takeAt(1);

    int failures = 0;
    bool ran = false;
    for (auto& [name, factory] : Registry())
    {
        if (!only.isEmpty() && only != QString::fromStdString(name))
            continue;
        ran = true;
        ClearSettings();
        std::unique_ptr<QObject> test = factory();
        failures += QTest::qExec(test.get(), args);
    }
    if (!ran)
    {
        qWarning("no test class named %s", qPrintable(only));
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
