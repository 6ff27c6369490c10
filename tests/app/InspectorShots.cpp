// Pictures of the inspector as a user sees it on an X server: the main dialog with its
// "inspect" button after a whole-file analysis, and the inspector on the same file, one
// picture per plot, each taken of the screen with ImageMagick's import:
//   xvfb-run -s "-screen 0 1920x1200x24" varnodel_inspector_shots STREAM OUTDIR NAME
// writes OUTDIR/NAME-main.png and OUTDIR/NAME-<plot>.png. A finding (the first error)
// is selected, so its bytes show and its pack's tree line is opened.
// With a disc's folder for STREAM, the inspector alone on the disc: OUTDIR/NAME-disc.png,
// its Disc tab with the first cell that has findings selected.

#include "app/CAnalyzerDlg.h"
#include "app/inspector/CInspectTables.h"
#include "app/inspector/CInspectorHooks.h"
#include "app/inspector/CInspectorWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

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
int ShootDisc(const QString& disc, const QString& file)
{
    CInspectorWindow w;
    w.setGeometry(0, 0, 1300, 900);
    w.show();
    w.Inspect(disc);
    w.WaitForPass();
    if (!w.Result() || !w.Result()->disc)
    {
        qWarning("%s: %s", qPrintable(disc), qPrintable(w.Message()));
        return 1;
    }
    w.TableTabs()->setCurrentIndex(w.TableTabs()->count() - 1);
    for (QTreeWidgetItemIterator it(w.DiscTree()); *it; ++it)
        if ((*it)->data(0, CInspectorWindow::kEntryRole).toInt() >= 0 && (*it)->text(0).startsWith(QLatin1String("Cell")) &&
            !(*it)->text(1).isEmpty())
        {
            (*it)->setExpanded(true);
            w.DiscTree()->setCurrentItem(*it);
            break;
        }
    Shoot(w, file);
    return 0;
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

    if (QFileInfo(stream).isDir())
        return ShootDisc(stream, out.filePath(name + QStringLiteral("-disc.png")));

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
