#include "app/CAnalyzerApp.h"

#include "app/CAnalyzerDlg.h"

#include <QSettings>

#include <cstdio>

namespace
{
QString& RegistryKeyRef()
{
    static QString key = QString::fromLatin1(CAnalyzerApp::kRegistryKey);
    return key;
}

// A fresh QSettings per access: every write reaches the disk when it goes out of
// scope, so nothing depends on the program ending cleanly.
QSettings OpenStore()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, RegistryKeyRef(),
                     QCoreApplication::applicationName());
}

QString Key(const QString& section, const QString& entry)
{
    return section + QLatin1Char('/') + entry;
}
}  // namespace

CAnalyzerApp::CAnalyzerApp(int& argc, char** argv) : QApplication(argc, argv)
{
}

CAnalyzerApp::~CAnalyzerApp() = default;

bool CAnalyzerApp::InitInstance()
{
    // Control hosting, 3D controls and OLE have no counterpart here; Qt is ready once
    // the application object exists.
    SetRegistryKey(QString::fromLatin1(kRegistryKey));

    const CommandLine command = ParseCommandLine(arguments().mid(1));
    if (command.action != CommandLine::Run)
    {
        // --help and --version were answered before Qt started; this is a usage error.
        m_nExitCode = UsageError(command.problem);
        return false;
    }

    RunMainDialog(command.file);
    return false;
}

int CAnalyzerApp::RunMainDialog(const QString& fileOnStart)
{
    CAnalyzerDlg dlg;
    if (!fileOnStart.isEmpty())
        dlg.AnalyzeOnStart(fileOnStart);
    return dlg.exec();
}

CAnalyzerApp::CommandLine CAnalyzerApp::ParseCommandLine(const QStringList& args)
{
    CommandLine result;
    bool optionsEnd = false;
    for (const QString& arg : args)
    {
        if (!optionsEnd && (arg == QLatin1String("--help") || arg == QLatin1String("-h")))
            return {CommandLine::Help, {}, {}};
        if (!optionsEnd && arg == QLatin1String("--version"))
            return {CommandLine::Version, {}, {}};
        if (!optionsEnd && arg == QLatin1String("--"))
            optionsEnd = true;
        else if (!optionsEnd && arg.startsWith(QLatin1Char('-')) && arg.size() > 1)
            result = {CommandLine::Usage, {}, QStringLiteral("unknown option ") + arg};
        else if (result.action == CommandLine::Run && !result.file.isEmpty())
            result = {CommandLine::Usage, {}, QStringLiteral("only one input file")};
        else if (result.action == CommandLine::Run)
            result.file = arg;
    }
    return result;
}

int CAnalyzerApp::UsageError(const QString& problem)
{
    std::fprintf(stderr, "varnodel: %s\n%s", qPrintable(problem), kUsage);
    return 2;
}

QStringList CAnalyzerApp::WithoutQtOptions(const QStringList& args)
{
    // QGuiApplication's and QApplication's own options, and those of the X11 platform;
    // Qt takes them with one dash or two.
    static const char* const kWithValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                             "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                             "display", "geometry", "name", "title", "visual", "style",
                                             "stylesheet", "qmljsdebugger"};
    static const char* const kAlone[] = {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};
    QStringList kept;
    for (qsizetype i = 0; i < args.size(); ++i)
    {
        const QString& arg = args[i];
        if (arg == QLatin1String("--"))
        {
            kept += args.mid(i);
            break;
        }
        QString name = arg.startsWith(QLatin1String("--")) ? arg.mid(2) : arg.startsWith(QLatin1Char('-')) ? arg.mid(1)
                                                                                                         : QString();
        if (name.isEmpty())
        {
            kept << arg;
            continue;
        }
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        const bool inline_ = equals >= 0;
        if (inline_)
            name.truncate(equals);
        bool qt = false;
        for (const char* option : kWithValue)
            if (name == QLatin1String(option))
            {
                qt = true;
                if (!inline_)
                    ++i;  // its value
            }
        for (const char* option : kAlone)
            qt = qt || (!inline_ && name == QLatin1String(option));
        if (!qt)
            kept << arg;
    }
    return kept;
}

void CAnalyzerApp::SetRegistryKey(const QString& key)
{
    RegistryKeyRef() = key;
}

QString CAnalyzerApp::RegistryKey()
{
    return RegistryKeyRef();
}

int CAnalyzerApp::GetProfileInt(const QString& section, const QString& entry, int nDefault)
{
    const QVariant value = OpenStore().value(Key(section, entry));
    if (!value.isValid())
        return nDefault;
    bool ok = false;
    const int n = value.toString().trimmed().toInt(&ok);
    return ok ? n : nDefault;
}

QString CAnalyzerApp::GetProfileString(const QString& section, const QString& entry,
                                       const QString& strDefault)
{
    const QVariant value = OpenStore().value(Key(section, entry));
    return value.isValid() ? value.toString() : strDefault;
}

void CAnalyzerApp::WriteProfileInt(const QString& section, const QString& entry, int nValue)
{
    OpenStore().setValue(Key(section, entry), nValue);
}

void CAnalyzerApp::WriteProfileString(const QString& section, const QString& entry, const QString& value)
{
    OpenStore().setValue(Key(section, entry), value);
}
