// The main dialog and the inspector as the program runs them: the main dialog in its
// own loop, started the way the program starts it, the inspector opened from it, and
// every key and click delivered through the windows, as the window system delivers
// them (a window that another one blocks never sees them).

#include "AppTestSupport.h"

#include "app/CAnalyzerApp.h"
#include "app/CAnalyzerDlg.h"
#include "app/inspector/CInspectTables.h"
#include "app/inspector/CInspectorHooks.h"
#include "analysis/LineFormat.h"
#include "app/inspector/CByteView.h"
#include "app/inspector/CInspectorWindow.h"
#include "support/TestFiles.h"

#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest>

namespace
{
constexpr int kPassTimeoutMs = 20000;

CAnalyzerDlg* MainDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dlg = qobject_cast<CAnalyzerDlg*>(w); dlg && dlg->isVisible())
            return dlg;
    return nullptr;
}

// A click at a point of a widget, sent to the window that holds it.
void ClickThroughWindow(QWidget* widget, const QPoint& at)
{
    QWidget* top = widget->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier, widget->mapTo(top, at));
}

void KeyThroughWindow(QWidget* top, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(top->windowHandle(), key, modifiers);
}

// The tree line the main dialog has current, as the user sees it.
QString CurrentTreeText(CAnalyzerDlg& dlg)
{
    return dlg.m_treeView.currentIndex().data().toString();
}

// The line of the pack that holds the finding's first byte, by the inspector's packs.
QString PackLineOf(CAnalyzerDlg& dlg, const CInspectorWindow& w, const checks::Finding& f)
{
    const auto& packs = w.Result()->packs;
    const ItemId line = dlg.Inspector()->PackLine(packs.offset[packs.PackAt(f.offset)], true);
    return line == kNoItem ? QString() : QString::fromStdString(LineText(dlg.ResultTree(), line));
}

const checks::Finding* CurrentFinding(const CInspectorWindow& w)
{
    const QModelIndex current = w.FindingsView()->currentIndex();
    return current.isValid() ? w.FindingsModel()->FindingAt(current.data(CFindingsModel::FindingRole).toInt())
                             : nullptr;
}
}  // namespace

class TwoWindowsTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { ClearSettings(); }

    void theInspectorTakesInputWhileTheMainDialogRuns()
    {
        TempDir dir;
        Bytes bytes = MakeSmallDvdStream(2 * 1024 * 1024);
        // A run of garbage: the checks have something to report in the middle of the file.
        std::fill(bytes.begin() + 700000, bytes.begin() + 703000, uint8_t{0xFF});
        const QString path = QString::fromStdString(dir.Write("clip.mpg", bytes));
        // The whole file in the tree, so that every finding's pack has a line.
        CAnalyzerApp::WriteProfileInt(QStringLiteral("progopts"), QStringLiteral("maxpackets"), 0);

        bool scriptDone = false;
        QTimer::singleShot(0, this, [&] {
            CAnalyzerDlg* dlg = MainDialog();
            if (dlg == nullptr)
                return;
            Script(*dlg);
            scriptDone = !QTest::currentTestFailed();
            // However the script ended, the program's loop ends: "exit", clicked.
            if (dlg->isVisible())
            {
                if (dlg->IsRunning())
                    dlg->OnStop();
                QTRY_VERIFY(!dlg->IsRunning());
                ClickThroughWindow(&dlg->m_btnExit, dlg->m_btnExit.rect().center());
            }
            if (dlg->isVisible())
                dlg->reject();
        });
        const int result = CAnalyzerApp::RunMainDialog(path);
        QVERIFY(scriptDone);
        QCOMPARE(result, int(QDialog::Accepted));
        // The inspector went with the main dialog.
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<CInspectorWindow*>(w));
    }

private:
    void Script(CAnalyzerDlg& dlg)
    {
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        // The file named at start is analysed once the loop runs.
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsRunning() && dlg.Model().rowCount() == 1, kPassTimeoutMs);
        dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        // A window manager keeps a dialog above the other windows of its program; the
        // main dialog is an ordinary window, so the inspector can come to the front.
        QCOMPARE(dlg.windowType(), Qt::Window);

        KeyThroughWindow(&dlg, Qt::Key_I, Qt::ControlModifier);
        QVERIFY(dlg.Inspector()->HasWindow());
        CInspectorWindow& w = dlg.Inspector()->Window();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY_WITH_TIMEOUT(w.Result() && !w.IsRunning(), kPassTimeoutMs);
        QVERIFY(w.windowHandle()->transientParent() == nullptr);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));

        // Switch a tab with a click.
        QTabBar* tables = w.TableTabs()->tabBar();
        ClickThroughWindow(tables, tables->tabRect(1).center());
        QCOMPARE(w.TableTabs()->currentIndex(), 1);
        ClickThroughWindow(tables, tables->tabRect(0).center());
        QCOMPARE(w.TableTabs()->currentIndex(), 0);

        // Select a finding with a click: the tree follows to its pack.
        QTableView* findings = w.FindingsView();
        QVERIFY(findings->model()->rowCount() >= 2);
        const QModelIndex first = findings->model()->index(0, CFindingsModel::ColCheck);
        ClickThroughWindow(findings->viewport(), findings->visualRect(first).center());
        const checks::Finding* f = CurrentFinding(w);
        QVERIFY(f != nullptr);
        QCOMPARE(findings->currentIndex().row(), 0);
        QVERIFY(!PackLineOf(dlg, w, *f).isEmpty());
        QCOMPARE(CurrentTreeText(dlg), PackLineOf(dlg, w, *f));

        // ... and the next one with a key.
        KeyThroughWindow(&w, Qt::Key_Down);
        QCOMPARE(findings->currentIndex().row(), 1);
        f = CurrentFinding(w);
        QVERIFY(f != nullptr);
        QCOMPARE(CurrentTreeText(dlg), PackLineOf(dlg, w, *f));

        // Open the File menu from the menu bar, close it with Escape.
        QMenuBar* bar = w.menuBar();
        QAction* fileMenu = bar->actions().value(0);
        QVERIFY(fileMenu && fileMenu->menu());
        ClickThroughWindow(bar, bar->actionGeometry(fileMenu).center());
        QTRY_VERIFY(fileMenu->menu()->isVisible());
        KeyThroughWindow(fileMenu->menu(), Qt::Key_Escape);
        QTRY_VERIFY(!fileMenu->menu()->isVisible());

        // A dialog of the main dialog blocks the main dialog only: with the about box
        // open, the inspector still switches its plots.
        QTabBar* plots = w.PlotTabs()->tabBar();
        bool clickedUnderAbout = false;
        auto about = OnNextModal([&](QWidget* box) {
            ClickThroughWindow(plots, plots->tabRect(2).center());
            clickedUnderAbout = w.PlotTabs()->currentIndex() == 2;
            box->close();
        });
        dlg.OnSysCommand(CAnalyzerDlg::IDM_ABOUTBOX);
        QVERIFY(*about);
        QVERIFY(clickedUnderAbout);

        OpenADisc(dlg, w);
    }

    // File > Inspect disc..., the disc's folder typed into the chooser, as a user would;
    // then a cell of the Disc tab clicked.
    void OpenADisc(CAnalyzerDlg& dlg, CInspectorWindow& w)
    {
        const QString disc = QStringLiteral(VARNODEL_DISCS "/disc");
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QMenuBar* bar = w.menuBar();
        QMenu* file = bar->actions().value(0)->menu();
        QAction* inspectDisc = nullptr;
        for (QAction* a : file->actions())
            if (a->text() == QLatin1String("Inspect &disc..."))
                inspectDisc = a;
        QVERIFY(inspectDisc);
        bool chosen = false;
        auto chooser = OnNextModal([&](QWidget* dialog) { chosen = ChooseInFileDialog(dialog, disc); });
        ClickThroughWindow(bar, bar->actionGeometry(bar->actions().value(0)).center());
        QTRY_VERIFY(file->isVisible());
        ClickThroughWindow(file, file->actionGeometry(inspectDisc).center());
        QTRY_VERIFY(*chooser);
        QVERIFY(chosen);
        // The pass runs on its own: the main dialog takes keys meanwhile.
        const QString typed = dlg.m_editFileName.text();
        dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        dlg.m_editFileName.setFocus();
        KeyThroughWindow(&dlg, Qt::Key_End);
        KeyThroughWindow(&dlg, Qt::Key_X);
        QCOMPARE(dlg.m_editFileName.text(), typed + QLatin1Char('x'));
        KeyThroughWindow(&dlg, Qt::Key_Backspace);
        QTRY_VERIFY_WITH_TIMEOUT(!w.IsRunning() && w.FilePath() == disc, kPassTimeoutMs);
        QVERIFY(w.Result()->disc);

        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTabBar* tables = w.TableTabs()->tabBar();
        ClickThroughWindow(tables, tables->tabRect(2).center());
        QCOMPARE(w.TableTabs()->currentIndex(), 2);
        // Title 2's cell, the first line under its PGC: its first pack, sector 350.
        QTreeWidget* tree = w.DiscTree();
        QTreeWidgetItem* title2 = tree->topLevelItem(1);
        QVERIFY(title2 && title2->text(0).startsWith(QLatin1String("Title 2:")));
        QTreeWidgetItem* cell = title2->child(0)->child(0);
        QVERIFY(cell->text(0).startsWith(QLatin1String("Cell 1:")));
        QTRY_VERIFY(tree->isVisible());
        tree->scrollToItem(cell);
        const QRect line = tree->visualItemRect(cell);
        const QPoint at(line.left() + 30, line.center().y());
        QTRY_VERIFY(tree->viewport()->rect().contains(at));
        ClickThroughWindow(tree->viewport(), at);
        QCOMPARE(tree->currentItem(), cell);
        QCOMPARE(w.ByteView()->HighlightStart(), uint64_t{350} * 2048);
        QCOMPARE(w.FindingsFilter()->rowCount(), 1);
    }
};
VARNODEL_TEST_CLASS(TwoWindowsTest);

#include "TwoWindowsTest.moc"
