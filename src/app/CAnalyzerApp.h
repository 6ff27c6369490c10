#pragma once
// The application object: prepares Qt and the per-user settings store, runs the main
// dialog, and ends the program when that dialog closes.
//
// The settings store is QSettings in the native format, user scope, organisation
// "corvax/quelbor", application = the executable's base name (Qt's default application
// name). Every value is addressed by section and name, as the dialogs always did.

#include <QApplication>
#include <QString>

class CAnalyzerApp : public QApplication
{
    Q_OBJECT
public:
    CAnalyzerApp(int& argc, char** argv);
    ~CAnalyzerApp() override;

    // Runs the main dialog modally. Returns false: the program ends when it closes.
    virtual bool InitInstance();
    // The main dialog as the program runs it: made, given the file named at start (if
    // any), run in its own loop until it closes, destroyed. Returns how it ended.
    static int RunMainDialog(const QString& fileOnStart);
    // The program's exit status: 0, or 2 after a usage error.
    int ExitCode() const { return m_nExitCode; }

    // ---- command line: `varnodel [--help | --version | FILE]` -------------------------
    static constexpr const char* kUsage =
        "usage: varnodel [FILE]\n"
        "  FILE        put FILE in the \"MPEG2 PS:\" field and analyse it\n"
        "  --help      print this help and exit\n"
        "  --version   print the version and exit\n";
    static constexpr const char* kVersionText = "Varnodel V1.1.2a\n";
    struct CommandLine
    {
        enum Action { Run, Help, Version, Usage } action = Run;
        QString file;     // Run: the file to analyse at start, or empty
        QString problem;  // Usage: what is wrong
    };
    // Reads the arguments after the program name. Qt's own options are gone from them
    // once the application object exists; --help and --version are looked for before.
    static CommandLine ParseCommandLine(const QStringList& args);
    // The arguments without the options Qt takes for itself (-platform NAME, -style=S,
    // --reverse, ...), so that a usage error is known before Qt starts: without a
    // display Qt cannot start at all.
    static QStringList WithoutQtOptions(const QStringList& args);
    // Prints the problem and the usage to stderr; returns the exit status of a usage error.
    static int UsageError(const QString& problem);

    // ---- settings store --------------------------------------------------------------
    static constexpr const char* kRegistryKey = "corvax/quelbor";

    // Selects the organisation under which the settings live.
    static void SetRegistryKey(const QString& key);
    static QString RegistryKey();

    // The stored integer, or nDefault when the value is absent or not an integer.
    static int GetProfileInt(const QString& section, const QString& entry, int nDefault);
    // The stored string, or strDefault when the value is absent.
    static QString GetProfileString(const QString& section, const QString& entry,
                                    const QString& strDefault = QString());
    // Write failures are not reported: the in-memory value stays in force regardless.
    static void WriteProfileInt(const QString& section, const QString& entry, int nValue);
    static void WriteProfileString(const QString& section, const QString& entry, const QString& value);

private:
    int m_nExitCode = 0;
};

// Section and value names of the program's settings.
namespace ProgOpts
{
constexpr const char* kSection = "progopts";
constexpr const char* kMaxPackets = "maxpackets";  // packs per analysis, 0 = whole file
constexpr const char* kSaveIn = "savein";          // file chooser remembers its folder
constexpr const char* kInitialDir = "initialdir";  // that folder
constexpr const char* kWidth = "width";          // the main window's size, once changed
constexpr const char* kHeight = "height";
constexpr const char* kByLength = "bylength";      // follow pack and packet lengths (0, 1)
constexpr int kDefaultMaxPackets = 100;
constexpr int kDefaultSaveIn = 0;
constexpr int kDefaultByLength = 1;  // the walk by lengths; 0 is the byte-by-byte scan
}  // namespace ProgOpts
