// Pictures of the inspector as a user sees it on an X server: the main dialog with its
// "inspect" button after a whole-file analysis, and the inspector on the same file, one
// picture per plot, each taken of the screen with ImageMagick's import:
//   xvfb-run -s "-screen 0 1920x1200x24" varnodel_inspector_shots STREAM OUTDIR NAME
// writes OUTDIR/NAME-main.png and OUTDIR/NAME-<plot>.png. A finding (the first error)
// is selected, so its bytes show and its pack's tree line is opened.

#include "app/CAnalyzerDlg.h"
#include "app/inspector/CInspectTables.h"
#include "app/inspector/CInspectorHooks.h"
#include "app/inspector/CInspectorWindow.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>

namespace
{
void Shoot(const QWidget& w, const QString& file)
{
    // Let the window system draw everything first.
    for (int i = 0; i < 20; ++i)
    {
        QCoreApplication::processEvents();
        QThread::msleep(25);
    }
    const QRect r = w.frameGeometry();
    QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
                                                 QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y()),
                                                 file});
}
}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    if (argc < 4)
    {
        qWarning("usage: varnodel_inspector_shots STREAM OUTDIR NAME");
        return 2;
    }
    const QString stream = QString::fromLocal8Bit(argv[1]);
    const QDir out(QString::fromLocal8Bit(argv[2]));
    const QString name = QString::fromLocal8Bit(argv[3]);

    CAnalyzerDlg main;
    main.move(0, 0);
    main.show();
    main.m_editFileName.setText(stream);
    main.m_nMaxPackets = 0;
    main.OnAnalyze();

    CInspectorHooks& hooks = *main.Inspector();
    CInspectorWindow& w = hooks.Window();
    w.setGeometry(main.frameGeometry().right() + 10, 0, 1300, 900);
    hooks.OnInspect();
    w.WaitForPass();
    // The first error, if any, selected in the findings table.
    QTableView* findings = w.FindingsView();
    for (int row = 0; row < findings->model()->rowCount(); ++row)
        if (findings->model()->index(row, CFindingsModel::ColSeverity).data().toString() == QLatin1String("error"))
        {
            findings->setCurrentIndex(findings->model()->index(row, 0));
            break;
        }
    Shoot(main, out.filePath(name + QStringLiteral("-main.png")));
    const char* const files[4] = {"rate", "stamps", "buffers", "pictures"};
    for (int p = 0; p < 4; ++p)
    {
        w.PlotTabs()->setCurrentIndex(p);
        Shoot(w, out.filePath(name + QLatin1Char('-') + QLatin1String(files[p]) + QStringLiteral(".png")));
    }
    return 0;
}
