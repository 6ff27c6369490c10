// The main dialog: its states around a run, the tree it shows, and its commands.

#include "AppTestSupport.h"

#include "app/CAboutDlg.h"
#include "app/CAnalyzerApp.h"
#include "app/CAnalyzerDlg.h"
#include "app/inspector/CInspectorHooks.h"
#include "app/inspector/CInspectorWindow.h"
#include "app/COptionsDlg.h"
#include "controls/Resources.h"
#include "support/TestFiles.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QHeaderView>
#include <QProgressBar>
#include <QScrollBar>
#include <QTabWidget>
#include <qcustomplot.h>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTextDocument>
#include <QtTest>

#include <sys/stat.h>

#include <functional>
#include <map>

namespace
{
const QString kSection = QStringLiteral("progopts");

// A main dialog whose event pump the test supplies: it runs after every start code.
class PumpedDlg : public CAnalyzerDlg
{
public:
    std::function<void(PumpedDlg&)> onPump;
    int pumps = 0;
    void Pump() override
    {
        ++pumps;
        if (onPump)
            onPump(*this);
    }
};

struct ControlStates
{
    bool analyze, exit, options, stop, tree, browse, field, progress;
    int rows;
};

ControlStates StatesOf(CAnalyzerDlg& dlg)
{
    return {dlg.m_btnAnalyze.isEnabled(), dlg.m_btnExit.isEnabled(),  dlg.m_btnOptions.isEnabled(),
            dlg.m_btnStop.isEnabled(),    dlg.m_treeView.isEnabled(),  dlg.m_btnBrowse.isEnabled(),
            dlg.m_editFileName.isEnabled(), dlg.m_progress.isVisible(), dlg.Model().rowCount()};
}

void VerifyIdle(CAnalyzerDlg& dlg)
{
    const ControlStates s = StatesOf(dlg);
    QVERIFY(s.analyze && s.exit && s.options && s.tree && s.browse && s.field);
    QVERIFY(!s.stop);
    QVERIFY(!s.progress);
    QVERIFY(!dlg.IsRunning());
}

QString Text(const QModelIndex& index)
{
    return index.data(Qt::DisplayRole).toString();
}

// The child of parent whose text starts with prefix.
QModelIndex ChildStartingWith(const QAbstractItemModel& model, const QModelIndex& parent, const QString& prefix)
{
    for (int row = 0; row < model.rowCount(parent); ++row)
    {
        const QModelIndex child = model.index(row, 0, parent);
        if (Text(child).startsWith(prefix))
            return child;
    }
    return QModelIndex();
}

void Analyze(CAnalyzerDlg& dlg, const std::string& path)
{
    dlg.m_editFileName.setText(QString::fromStdString(path));
    QTest::mouseClick(&dlg.m_btnAnalyze, Qt::LeftButton);
}

// The widgets Tab visits, starting at the first one.
QList<QWidget*> TabStops(QWidget& dialog)
{
    QList<QWidget*> stops;
    QWidget* w = &dialog;
    while ((w = w->nextInFocusChain()) != &dialog)
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&dialog) && w->isEnabled())
            stops << w;
    return stops;
}

// What a message box's (rich) text reads, one line per paragraph.
QString PlainText(const QString& html)
{
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

uint8_t ImageOf(CAnalyzerDlg& dlg, const QModelIndex& index)
{
    return dlg.ResultTree().Image(dlg.Model().LineOf(index));
}
}  // namespace

class AnalyzerDlgTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { ClearSettings(); }

    void opensIdleWithTheTemplatesControls()
    {
        CAnalyzerDlg dlg;
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Varnodel     V1.1.2a"));
        VerifyIdle(dlg);
        QCOMPARE(dlg.Model().rowCount(), 0);
        QVERIFY(!dlg.m_btnSave.isVisible());
        QCOMPARE(dlg.m_pLabelFile->text(), QStringLiteral("MPEG2 PS:"));
        QCOMPARE(dlg.m_btnExit.text(), QStringLiteral("exit"));
        QCOMPARE(dlg.m_btnBrowse.text(), QStringLiteral("..."));
        QVERIFY(!dlg.windowIcon().isNull());
        // Every control lies inside the dialog.
        for (QWidget* w : dlg.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (!qobject_cast<QMenu*>(w))
                QVERIFY2(dlg.rect().contains(w->geometry()), w->metaObject()->className());
        // Tab stops in template order (the save button is hidden, "stop" disabled), with
        // "inspect" between "stop" and "options" where it stands.
        dlg.m_btnStop.setEnabled(true);
        QCOMPARE(TabStops(dlg), (QList<QWidget*>{&dlg.m_btnExit, &dlg.m_treeView, &dlg.m_editFileName, &dlg.m_btnBrowse,
                                                 &dlg.m_btnAnalyze, &dlg.m_btnStop, &dlg.Inspector()->m_btnInspect,
                                                 &dlg.m_btnOptions}));
    }

    void windowMenuEndsWithSeparatorAndAbout()
    {
        CAnalyzerDlg dlg;
        dlg.show();
        const QList<QAction*> actions = dlg.WindowMenu()->actions();
        QVERIFY(actions.size() >= 3);
        QCOMPARE(actions.last()->text(), QStringLiteral("&About Varnodel "));
        QVERIFY(actions[actions.size() - 2]->isSeparator());
        bool hasSave = false;
        for (QAction* a : actions)
            hasSave = hasSave || a->text() == QStringLiteral("&Save analysis...");
        QVERIFY(hasSave);
        // The inspector's commands, with the keys that reach them.
        std::map<QString, QKeySequence> keys;
        for (QAction* a : actions)
            keys[a->text()] = a->shortcut();
        QCOMPARE(keys[QStringLiteral("&Inspect stream...")], QKeySequence(Qt::CTRL | Qt::Key_I));
        QCOMPARE(keys[QStringLiteral("Find in the &tree...")], QKeySequence(Qt::CTRL | Qt::Key_F));
        QCOMPARE(keys[QStringLiteral("&Go to offset...")], QKeySequence(Qt::CTRL | Qt::Key_G));

        // "Follow packet lengths" is a checkable entry kept in the settings.
        QAction* byLength = nullptr;
        for (QAction* a : actions)
            if (a->text() == QStringLiteral("&Follow packet lengths"))
                byLength = a;
        QVERIFY(byLength && byLength->isCheckable());
        const bool was = byLength->isChecked();
        QVERIFY(was);  // checked in fresh settings: the walk by lengths is the default
        byLength->trigger();
        QCOMPARE(dlg.Driver().FollowPacketLengths(), !was);
        QCOMPARE(CAnalyzerApp::GetProfileInt(QStringLiteral("progopts"), QStringLiteral("bylength"), 0), was ? 0 : 1);
        byLength->trigger();
        QCOMPARE(dlg.Driver().FollowPacketLengths(), was);

        // The entry opens the about box; so does any command equal to it but for its low four bits.
        for (unsigned id : {0u, 0x10u, 0x1Fu})
        {
            QString opened;
            auto seen = OnNextModal([&opened](QWidget* w) {
                opened = QString::fromLatin1(w->metaObject()->className());
                w->close();
            });
            if (id == 0)
                actions.last()->trigger();
            else
                dlg.OnSysCommand(id);
            QVERIFY(*seen);
            QCOMPARE(opened, QStringLiteral("CAboutDlg"));
        }
        QVERIFY(dlg.isVisible());
    }

    void rightClickOnTheBackgroundOpensTheWindowMenu()
    {
        CAnalyzerDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QPoint background(dlg.width() - 3, 3);
        QVERIFY(dlg.childAt(background) == nullptr);
        QContextMenuEvent onBackground(QContextMenuEvent::Mouse, background, dlg.mapToGlobal(background));
        QCoreApplication::sendEvent(&dlg, &onBackground);
        QVERIFY(dlg.WindowMenu()->isVisible());
        dlg.WindowMenu()->hide();

        const QPoint onButton = dlg.m_btnAnalyze.geometry().center();
        QContextMenuEvent onControl(QContextMenuEvent::Mouse, onButton, dlg.mapToGlobal(onButton));
        QCoreApplication::sendEvent(&dlg, &onControl);
        QVERIFY(!dlg.WindowMenu()->isVisible());

        // The keyboard ways in: Alt+Space (which a window manager may keep for itself),
        // Shift+F10 and the menu key.
        QApplication::setActiveWindow(&dlg);
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {
            {Qt::Key_Space, Qt::AltModifier}, {Qt::Key_F10, Qt::ShiftModifier}, {Qt::Key_Menu, Qt::NoModifier}};
        for (const auto& [key, modifiers] : keys)
        {
            QTest::keyClick(&dlg.m_editFileName, key, modifiers);
            QVERIFY(dlg.WindowMenu()->isVisible());
            dlg.WindowMenu()->hide();
        }
    }

    void statesBeforeDuringAndAfterAStoppedRun()
    {
        TempDir dir;
        const std::string path = dir.Write("clip.mpg", MakeSmallDvdStream(400000));
        // The byte walk, which pumps once per start code.
        CAnalyzerApp::WriteProfileInt(QStringLiteral("progopts"), QStringLiteral("bylength"), 0);
        PumpedDlg dlg;
        dlg.show();
        dlg.m_nMaxPackets = 0;
        ControlStates during{};
        dlg.onPump = [&during](PumpedDlg& d) {
            if (d.pumps == 3)
            {
                during = StatesOf(d);
                QTest::mouseClick(&d.m_btnStop, Qt::LeftButton);
            }
        };
        // A name typed into the field is what the run uses.
        QTest::keyClicks(&dlg.m_editFileName, QString::fromStdString(path));
        QTest::mouseClick(&dlg.m_btnAnalyze, Qt::LeftButton);

        QVERIFY(!during.analyze && !during.exit && !during.options && !during.tree);
        QVERIFY(during.stop && during.progress);
        QVERIFY(during.browse && during.field);
        QCOMPARE(during.rows, 0);  // the view never sees the tree being built

        // The run ended after the start code in hand; the tree so far stays, and its root
        // line and the title (which names the file) say it is partial.
        QCOMPARE(dlg.pumps, 3);
        QCOMPARE(dlg.Driver().StartCodeCount(), uint64_t{3});
        VerifyIdle(dlg);
        QCOMPARE(dlg.Model().rowCount(), 1);
        const QString stopped = QStringLiteral(" - stopped at PACK #1");
        QCOMPARE(Text(dlg.Model().index(0, 0)), QString::fromStdString(path) + QStringLiteral(" [all packets]") + stopped);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("clip.mpg") + stopped + QStringLiteral(" - Varnodel     V1.1.2a"));
        QVERIFY(dlg.Driver().Records() != nullptr);

        // A file that does not open leaves that tree, and so the title; a complete run
        // clears the note.
        auto closed = OnNextModal([](QWidget* w) { w->close(); });
        Analyze(dlg, dir.File("missing.mpg"));
        QVERIFY(*closed);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("clip.mpg") + stopped + QStringLiteral(" - Varnodel     V1.1.2a"));
        dlg.onPump = nullptr;
        Analyze(dlg, path);
        QCOMPARE(Text(dlg.Model().index(0, 0)), QString::fromStdString(path) + QStringLiteral(" [all packets]"));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("clip.mpg - Varnodel     V1.1.2a"));
    }

    void closingDuringARunStopsItThenEnds()
    {
        TempDir dir;
        const std::string path = dir.Write("clip.mpg", MakeSmallDvdStream(200000));
        PumpedDlg dlg;
        dlg.show();
        dlg.m_nMaxPackets = 0;
        bool visibleDuringRun = false;
        dlg.onPump = [&](PumpedDlg& d) {
            // Escape neither stops the run nor ends the program; the close box does both.
            if (d.pumps == 2)
                QTest::keyClick(&d, Qt::Key_Escape);
            if (d.pumps == 5)
            {
                d.close();
                visibleDuringRun = d.isVisible();
            }
        };
        Analyze(dlg, path);
        // The window waited for the run to unwind, and the run did not go on.
        QVERIFY(visibleDuringRun);
        QCOMPARE(dlg.pumps, 5);
        QVERIFY(!dlg.IsRunning());
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }

    void modelOverARealAnalysis()
    {
        TempDir dir;
        const std::string path = dir.Write("dvd.mpg", MakeSmallDvdStream(120000));
        CAnalyzerDlg dlg;
        dlg.show();
        // Watches every signal of the model through both runs.
        QAbstractItemModelTester tester(&dlg.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);

        dlg.m_nMaxPackets = 0;
        Analyze(dlg, path);
        const QAbstractItemModel& model = dlg.Model();
        QCOMPARE(model.rowCount(), 1);
        const QModelIndex root = model.index(0, 0);
        QCOMPARE(model.rowCount(root), 4);
        QCOMPARE(Text(model.index(0, 0, root)), QStringLiteral("Essentials"));
        QCOMPARE(Text(model.index(3, 0, root)), QStringLiteral("Packet structure"));
        const QModelIndex packs = model.index(3, 0, root);
        const int allPacks = model.rowCount(packs);
        QVERIFY(allPacks > 10);
        QCOMPARE(Text(model.index(0, 0, packs)), QStringLiteral("PACK #1"));
        QCOMPARE(model.parent(model.index(0, 0, packs)), packs);
        QCOMPARE(model.index(0, 0, packs).flags() & Qt::ItemIsEditable, Qt::ItemFlags());
        // Group lines carry the plus sign, value lines the blank image.
        QCOMPARE(ImageOf(dlg, packs), uint8_t{0});
        QVERIFY(!model.index(0, 0, packs).data(Qt::DecorationRole).isNull());
        QCOMPARE(model.index(allPacks, 0, packs), QModelIndex());

        // A second run starts from an empty tree.
        dlg.m_nMaxPackets = 2;
        Analyze(dlg, path);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(Text(model.index(0, 0)), QString::fromStdString(path) + QStringLiteral(" [2 packets]"));
        QCOMPARE(model.rowCount(model.index(3, 0, model.index(0, 0))), 2);
    }

    void errorMarkShowsExpandedAndUserActionsSwitchIcons()
    {
        TempDir dir;
        const std::string path = dir.Write("gap.mpg", MakeMisplacedAudioStream(5));
        // The byte walk, which expects the first frame at the start of the first payload.
        CAnalyzerApp::WriteProfileInt(QStringLiteral("progopts"), QStringLiteral("bylength"), 0);
        CAnalyzerDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        Analyze(dlg, path);

        const QAbstractItemModel& model = dlg.Model();
        const QModelIndex root = model.index(0, 0);
        const QModelIndex streams = ChildStartingWith(model, root, QStringLiteral("Elementary streams"));
        const QModelIndex audio = ChildStartingWith(model, streams, QStringLiteral("(Audio Stream 0)"));
        const QModelIndex packet = ChildStartingWith(model, audio, QStringLiteral("pack PTS = 1000.00 ms"));
        const QModelIndex marked = ChildStartingWith(model, packet, QStringLiteral("audio header @ 5 offs."));
        QVERIFY(marked.isValid());
        QVERIFY(Text(marked).endsWith(QStringLiteral(" ERR: ! 0")));

        // Expanded from the marked line up, images untouched; everything else collapsed.
        for (const QModelIndex& i : {root, streams, audio, packet, marked})
            QVERIFY2(dlg.m_treeView.isExpanded(i), qPrintable(Text(i)));
        QVERIFY(!dlg.m_treeView.isExpanded(ChildStartingWith(model, root, QStringLiteral("Essentials"))));
        QCOMPARE(ImageOf(dlg, root), uint8_t{0});
        QCOMPARE(ImageOf(dlg, packet), uint8_t{0});
        QCOMPARE(ImageOf(dlg, marked), uint8_t{4});

        // The user closes and opens lines: the images follow; the mark is lost on the way.
        dlg.m_treeView.setFocus();
        dlg.m_treeView.setCurrentIndex(marked);
        QTest::keyClick(&dlg.m_treeView, Qt::Key_Left);
        QVERIFY(!dlg.m_treeView.isExpanded(marked));
        QCOMPARE(ImageOf(dlg, marked), uint8_t{0});
        QTest::keyClick(&dlg.m_treeView, Qt::Key_Right);
        QVERIFY(dlg.m_treeView.isExpanded(marked));
        QCOMPARE(ImageOf(dlg, marked), uint8_t{1});

        const QModelIndex essentials = ChildStartingWith(model, root, QStringLiteral("Essentials"));
        // Through the window, so the view gets the whole press-release-double-click sequence.
        const QPoint at = dlg.m_treeView.viewport()->mapTo(&dlg, dlg.m_treeView.visualRect(essentials).center());
        QTest::mouseDClick(dlg.windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
        QVERIFY(dlg.m_treeView.isExpanded(essentials));
        QCOMPARE(ImageOf(dlg, essentials), uint8_t{1});
        QTest::mouseDClick(dlg.windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
        QVERIFY(!dlg.m_treeView.isExpanded(essentials));
        QCOMPARE(ImageOf(dlg, essentials), uint8_t{0});
    }

    void ctrlCCopiesTheSelectedLine()
    {
        TempDir dir;
        const std::string path = dir.Write("gap.mpg", MakeMisplacedAudioStream(0));
        CAnalyzerDlg dlg;
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        Analyze(dlg, path);
        QGuiApplication::clipboard()->clear();
        const QModelIndex line = dlg.Model().index(1, 0, dlg.Model().index(0, 0));
        dlg.m_treeView.setFocus();
        dlg.m_treeView.setCurrentIndex(line);
        QTest::keyClick(&dlg.m_treeView, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Elementary streams"));
    }

    void aFileThatDoesNotOpenLeavesTheTreeAlone()
    {
        TempDir dir;
        const std::string path = dir.Write("gap.mpg", MakeMisplacedAudioStream(0));
        CAnalyzerDlg dlg;
        dlg.show();
        Analyze(dlg, path);
        const QString before = Text(dlg.Model().index(0, 0));

        QString text, caption, informative;
        auto seen = OnNextModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box)
            {
                text = box->text();
                caption = box->windowTitle();
                informative = box->informativeText();
            }
            w->close();
        });
        Analyze(dlg, dir.File("missing.mpg"));
        QVERIFY(*seen);
        QCOMPARE(text, QStringLiteral("Cannot open input file"));
        QCOMPARE(caption, QStringLiteral("Error !"));

        // A long name keeps a line of its own, unbroken.
        const QString longName = QString::fromStdString(dir.File(std::string(120, 'x') + "-and-more.mpg"));
        int nameWidth = 0, labelWidth = 0;
        auto longSeen = OnNextModal([&](QWidget* w) {
            if (auto* label = w->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
            {
                nameWidth = label->fontMetrics().horizontalAdvance(longName);
                labelWidth = label->sizeHint().width();
            }
            w->close();
        });
        Analyze(dlg, longName.toStdString());
        QVERIFY(*longSeen);
        QVERIFY2(nameWidth > 0 && labelWidth >= nameWidth, qPrintable(QStringLiteral("%1 %2").arg(nameWidth).arg(labelWidth)));
        QCOMPARE(PlainText(informative), QString::fromStdString(dir.File("missing.mpg")) + QStringLiteral("\nno such file"));
        VerifyIdle(dlg);
        QCOMPARE(Text(dlg.Model().index(0, 0)), before);
    }

    void badInputsLeaveTheDialogUsable()
    {
        TempDir dir;
        const std::string fifo = dir.File("pipe.mpg");
        QCOMPARE(mkfifo(fifo.c_str(), 0600), 0);
        Bytes codes;
        for (int i = 0; i < 20000; ++i)
            codes.insert(codes.end(), {0x00, 0x00, 0x01});
        struct Case
        {
            std::string path;
            bool opens;
            const char* reason = "";
        } cases[] = {
            {dir.Path(), false, "a directory"},
            {fifo, false, "not a regular file"},
            {dir.Write("empty.mpg", {}), true},
            {dir.Write("zeros.mpg", Bytes(100000, 0)), true},
            {dir.Write("codes.mpg", codes), true},
        };
        CAnalyzerDlg dlg;
        dlg.show();
        for (const Case& c : cases)
        {
            if (c.opens)
            {
                Analyze(dlg, c.path);
                QCOMPARE(Text(dlg.Model().index(0, 0)), QString::fromStdString(c.path) + " [100 packets]");
            }
            else
            {
                QString text, informative;
                auto seen = OnNextModal([&](QWidget* w) {
                    if (auto* box = qobject_cast<QMessageBox*>(w))
                        text = box->text(), informative = box->informativeText();
                    w->close();
                });
                Analyze(dlg, c.path);
                QVERIFY(*seen);
                QCOMPARE(text, QStringLiteral("Cannot open input file"));
                QCOMPARE(PlainText(informative), QString::fromStdString(c.path) + QStringLiteral("\n") + c.reason);
            }
            VerifyIdle(dlg);
        }
        // And a proper stream still analyses after all of them.
        const std::string good = dir.Write("gap.mpg", MakeMisplacedAudioStream(0));
        Analyze(dlg, good);
        VerifyIdle(dlg);
        QVERIFY(dlg.Model().rowCount(dlg.Model().index(0, 0)) == 4);
        QCOMPARE(dlg.Driver().Records()->m_strInputPath, good);
    }

    void anEmptyNameIsIgnored()
    {
        CAnalyzerDlg dlg;
        dlg.show();
        auto seen = OnNextModal([](QWidget* w) { w->close(); }, 200);
        Analyze(dlg, std::string());
        QTest::qWait(250);
        QVERIFY(!*seen);
        QVERIFY(dlg.Driver().Records() == nullptr);
        QCOMPARE(dlg.Model().rowCount(), 0);
    }

    void optionsAreStoredOnlyAfterSaveOptions()
    {
        CAnalyzerDlg dlg;
        dlg.show();
        QString shownCount;
        bool shownSaveIn = true;
        auto saved = OnNextModal([&](QWidget* w) {
            auto* options = qobject_cast<COptionsDlg*>(w);
            if (!options)
                return (void)w->close();
            shownCount = options->m_editCount.text();
            shownSaveIn = options->m_pCheckSaveIn->isChecked();
            options->m_editCount.setText(QStringLiteral("33"));
            options->m_pCheckSaveIn->setChecked(true);
            QTest::mouseClick(&options->m_btnOK, Qt::LeftButton);
        });
        QTest::mouseClick(&dlg.m_btnOptions, Qt::LeftButton);
        QVERIFY(*saved);
        // First run with an empty store: 100 packets, folder not remembered.
        QCOMPARE(shownCount, QStringLiteral("100"));
        QVERIFY(!shownSaveIn);
        QCOMPARE(dlg.m_nMaxPackets, 33u);
        QCOMPARE(dlg.m_bSaveIn, uint8_t{1});
        QCOMPARE(CAnalyzerApp::GetProfileInt(kSection, QStringLiteral("maxpackets"), -1), 33);
        QCOMPARE(CAnalyzerApp::GetProfileInt(kSection, QStringLiteral("savein"), -1), 1);

        // "set defaults" then "cancel": neither the members nor the store change.
        CAnalyzerApp::WriteProfileInt(kSection, QStringLiteral("maxpackets"), 7);
        auto cancelled = OnNextModal([](QWidget* w) {
            auto* options = qobject_cast<COptionsDlg*>(w);
            if (!options)
                return (void)w->close();
            QTest::mouseClick(&options->m_btnDefaults, Qt::LeftButton);
            QTest::mouseClick(&options->m_btnCancel, Qt::LeftButton);
        });
        QTest::mouseClick(&dlg.m_btnOptions, Qt::LeftButton);
        QVERIFY(*cancelled);
        QCOMPARE(dlg.m_nMaxPackets, 33u);
        QCOMPARE(CAnalyzerApp::GetProfileInt(kSection, QStringLiteral("maxpackets"), -1), 7);
    }

    void browseRemembersTheFolderOnlyWhenAskedTo()
    {
        TempDir dir;
        QDir(QString::fromStdString(dir.Path())).mkpath(QStringLiteral("start"));
        QDir(QString::fromStdString(dir.Path())).mkpath(QStringLiteral("other"));
        const QString startDir = QString::fromStdString(dir.File("start"));
        const QString chosen = QString::fromStdString(dir.Write("other/clip.mpg", MakeMisplacedAudioStream(0)));

        CAnalyzerApp::WriteProfileInt(kSection, QStringLiteral("savein"), 1);
        CAnalyzerApp::WriteProfileString(kSection, QStringLiteral("initialdir"), startDir);
        {
            CAnalyzerDlg dlg;
            dlg.show();
            QString title, startedIn;
            QStringList filters;
            bool mustExist = false;
            auto seen = OnNextModal([&](QWidget* w) {
                auto* fd = qobject_cast<QFileDialog*>(w);
                if (!fd)
                    return (void)ChooseInFileDialog(w, QString());
                title = fd->windowTitle();
                startedIn = fd->directory().absolutePath();
                filters = fd->nameFilters();
                mustExist = fd->fileMode() == QFileDialog::ExistingFile;
                QVERIFY(ChooseInFileDialog(fd, chosen));
            });
            QTest::mouseClick(&dlg.m_btnBrowse, Qt::LeftButton);
            QVERIFY(*seen);
            QCOMPARE(title, QStringLiteral("Open MPEG PS"));
            QCOMPARE(startedIn, startDir);
            QCOMPARE(filters.size(), 2);
            QVERIFY(mustExist);
            QCOMPARE(dlg.m_editFileName.text(), chosen);
            QCOMPARE(CAnalyzerApp::GetProfileString(kSection, QStringLiteral("initialdir")),
                     QString::fromStdString(dir.File("other")));

            // Cancelling changes nothing.
            auto cancelled = OnNextModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
            dlg.m_editFileName.setText(QStringLiteral("typed.mpg"));
            QTest::mouseClick(&dlg.m_btnBrowse, Qt::LeftButton);
            QVERIFY(*cancelled);
            QCOMPARE(dlg.m_editFileName.text(), QStringLiteral("typed.mpg"));
            QCOMPARE(CAnalyzerApp::GetProfileString(kSection, QStringLiteral("initialdir")),
                     QString::fromStdString(dir.File("other")));
        }

        // With the flag off the stored folder is neither used nor replaced.
        CAnalyzerApp::WriteProfileInt(kSection, QStringLiteral("savein"), 0);
        CAnalyzerApp::WriteProfileString(kSection, QStringLiteral("initialdir"), startDir);
        CAnalyzerDlg dlg;
        dlg.show();
        QString startedIn;
        auto seen = OnNextModal([&](QWidget* w) {
            auto* fd = qobject_cast<QFileDialog*>(w);
            if (!fd)
                return (void)ChooseInFileDialog(w, QString());
            startedIn = fd->directory().absolutePath();
            QVERIFY(ChooseInFileDialog(fd, chosen));
        });
        QTest::mouseClick(&dlg.m_btnBrowse, Qt::LeftButton);
        QVERIFY(*seen);
        QVERIFY(startedIn != startDir);
        QCOMPARE(dlg.m_editFileName.text(), chosen);
        QCOMPARE(CAnalyzerApp::GetProfileString(kSection, QStringLiteral("initialdir")), startDir);
    }

    void saveWithoutAnAnalysisSaysSo()
    {
        CAnalyzerDlg dlg;
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QString text;
        auto seen = OnNextModal([&](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w))
                text = box->text();
            w->close();
        });
        QTest::keyClick(&dlg, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(*seen);
        QCOMPARE(text, QStringLiteral("No analysis done"));
    }

    void saveWritesTheAnalysisFileUnderTheChosenName()
    {
        TempDir dir;
        const std::string path = dir.Write("clip.mpg", MakeMisplacedAudioStream(0));
        const QString target = QString::fromStdString(dir.File("saved.aaf"));
        CAnalyzerDlg dlg;
        dlg.show();
        Analyze(dlg, path);
        // A failed analysis leaves the records, and the field naming another file: the
        // proposal is still the analysed file's.
        auto closed = OnNextModal([](QWidget* w) { w->close(); });
        Analyze(dlg, dir.File("missing.mpg"));
        QVERIFY(*closed);

        QString proposed;
        bool asksBeforeOverwriting = false;
        auto cancelled = OnNextModal([&](QWidget* w) {
            auto* fd = qobject_cast<QFileDialog*>(w);
            if (fd)
            {
                proposed = fd->selectedFiles().value(0);
                asksBeforeOverwriting = fd->acceptMode() == QFileDialog::AcceptSave &&
                                        !fd->testOption(QFileDialog::DontConfirmOverwrite);
            }
            w->close();
        });
        dlg.OnSaveAnalysis();
        QVERIFY(*cancelled);
        QCOMPARE(proposed, QString::fromStdString(path) + QStringLiteral(".aaf"));
        QVERIFY(asksBeforeOverwriting);
        QVERIFY(!QFile::exists(proposed));

        // The window menu's entry reaches the same command; a name typed without an
        // extension gets ".aaf".
        auto saved = OnNextModal([&](QWidget* w) {
            QVERIFY(ChooseInFileDialog(w, QString::fromStdString(dir.File("saved"))));
        });
        for (QAction* a : dlg.WindowMenu()->actions())
            if (a->text() == QStringLiteral("&Save analysis..."))
                a->trigger();
        QVERIFY(*saved);
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith(QByteArray("\x21\0\0\0Workers of hand and fist unite !", 37)));
        // The path inside is that of the analysed file.
        QVERIFY(bytes.contains(QByteArray::fromStdString(path)));
    }

    void aDroppedFileNamesTheInput()
    {
        CAnalyzerDlg dlg;
        dlg.show();
        for (QWidget* target : {static_cast<QWidget*>(&dlg), static_cast<QWidget*>(&dlg.m_editFileName)})
        {
            dlg.m_editFileName.clear();
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/media/clips/a b.vob"))});
            mime.setText(QStringLiteral("file:///media/clips/a%20b.vob"));
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &drop);
            QCOMPARE(dlg.m_editFileName.text(), QStringLiteral("/media/clips/a b.vob"));
        }
    }

    void enterInTheFieldAnalysesAndEscapeNeverEnds()
    {
        TempDir dir;
        const std::string path = dir.Write("clip.mpg", MakeMisplacedAudioStream(0));
        CAnalyzerDlg dlg;
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        dlg.m_editFileName.setFocus();
        QTest::keyClicks(&dlg.m_editFileName, QString::fromStdString(path));
        QTest::keyClick(&dlg.m_editFileName, Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QCOMPARE(Text(dlg.Model().index(0, 0)), QString::fromStdString(path) + QStringLiteral(" [100 packets]"));
        for (QWidget* w : {static_cast<QWidget*>(&dlg.m_editFileName), static_cast<QWidget*>(&dlg.m_treeView),
                           static_cast<QWidget*>(&dlg.m_btnExit)})
        {
            w->setFocus();
            QTest::keyClick(w, Qt::Key_Escape);
            QVERIFY(dlg.isVisible());
        }
        // On a button, Enter presses it: here "exit".
        QTest::keyClick(&dlg.m_btnExit, Qt::Key_Return);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));

        // Alt+F4 ends it too.
        CAnalyzerDlg other;
        other.show();
        QApplication::setActiveWindow(&other);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTest::keyClick(&other.m_treeView, Qt::Key_F4, Qt::AltModifier);
        QVERIFY(!other.isVisible());
    }

    void starOpensABranchButOnlyOneLevelOfAHugeOne()
    {
        TempDir dir;
        // Enough packs for "Packet structure" to hold more than the limit of lines.
        const std::string path = dir.Write("big.mpg", MakeSmallDvdStream(8000000));
        CAnalyzerDlg dlg;
        dlg.show();
        dlg.m_nMaxPackets = 0;
        Analyze(dlg, path);
        CResultTreeModel& model = dlg.Model();
        QVERIFY(dlg.ResultTree().Count() > 2 * CResultView::kExpandBranchLimit);
        const QModelIndex root = model.index(0, 0);
        dlg.m_treeView.setFocus();
        dlg.m_treeView.setCurrentIndex(root);
        QTest::keyClick(&dlg.m_treeView, Qt::Key_Asterisk);
        QVERIFY(dlg.m_treeView.isExpanded(root));
        const QModelIndex packets = ChildStartingWith(model, root, QStringLiteral("Packet structure"));
        QVERIFY(!dlg.m_treeView.isExpanded(packets));
        QCOMPARE(ImageOf(dlg, root), TreeImage::Minus);

        // A small branch opens to its last line, each line's icon switched.
        dlg.m_treeView.expand(packets);
        const QModelIndex pack = model.index(1, 0, packets);
        dlg.m_treeView.setCurrentIndex(pack);
        QTest::keyClick(&dlg.m_treeView, Qt::Key_Asterisk);
        int opened = 0;
        std::function<void(const QModelIndex&)> check = [&](const QModelIndex& at) {
            if (model.rowCount(at) == 0)
                return;
            QVERIFY2(dlg.m_treeView.isExpanded(at), qPrintable(Text(at)));
            QCOMPARE(ImageOf(dlg, at), TreeImage::Minus);
            ++opened;
            for (int r = 0; r < model.rowCount(at); ++r)
                check(model.index(r, 0, at));
        };
        check(pack);
        QVERIFY(opened >= 3);  // the pack, its header and its data at least
        QVERIFY(!dlg.m_treeView.isExpanded(model.index(2, 0, packets)));
    }

    void aFileOnTheCommandLineIsAnalysedAtStart()
    {
        using Line = CAnalyzerApp::CommandLine;
        QCOMPARE(CAnalyzerApp::ParseCommandLine({}).action, Line::Run);
        QCOMPARE(CAnalyzerApp::ParseCommandLine({QStringLiteral("a.mpg"), QStringLiteral("--version")}).action,
                 Line::Version);
        QCOMPARE(CAnalyzerApp::ParseCommandLine({QStringLiteral("--help")}).action, Line::Help);
        QCOMPARE(CAnalyzerApp::ParseCommandLine({QStringLiteral("--bogus")}).action, Line::Usage);
        QCOMPARE(CAnalyzerApp::ParseCommandLine({QStringLiteral("a"), QStringLiteral("b")}).action, Line::Usage);
        QCOMPARE(CAnalyzerApp::ParseCommandLine({QStringLiteral("--"), QStringLiteral("-odd.mpg")}).file,
                 QStringLiteral("-odd.mpg"));
        // Qt's own options are no usage error, told before Qt starts.
        const auto without = [](const QStringList& args) {
            return CAnalyzerApp::ParseCommandLine(CAnalyzerApp::WithoutQtOptions(args));
        };
        QCOMPARE(without({QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("a.mpg")}).file,
                 QStringLiteral("a.mpg"));
        QCOMPARE(without({QStringLiteral("--style=Fusion"), QStringLiteral("-reverse"), QStringLiteral("a.mpg")}).file,
                 QStringLiteral("a.mpg"));
        QCOMPARE(without({QStringLiteral("-display"), QStringLiteral(":0"), QStringLiteral("--bogus")}).action,
                 Line::Usage);
        QCOMPARE(without({QStringLiteral("--"), QStringLiteral("-platform")}).file, QStringLiteral("-platform"));

        TempDir dir;
        const std::string path = dir.Write("clip.mpg", MakeMisplacedAudioStream(0));
        CAnalyzerDlg dlg;
        dlg.AnalyzeOnStart(QString::fromStdString(path));
        dlg.show();
        QCOMPARE(dlg.m_editFileName.text(), QString::fromStdString(path));
        QTRY_COMPARE(dlg.Model().rowCount(), 1);
        QCOMPARE(dlg.Driver().Records()->m_strInputPath, path);
    }

    void everyControlOfBothWindowsExplainsItself()
    {
        TempDir dir;
        const std::string path = dir.Write("dvd.mpg", MakeSmallDvdStream(200000));
        CAnalyzerDlg dlg;
        dlg.show();
        dlg.m_strFileName = QString::fromStdString(path);
        dlg.UpdateData(false);
        dlg.Inspector()->OnInspect();
        CInspectorWindow& w = dlg.Inspector()->Window();
        w.WaitForPass();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (QWidget* top : {static_cast<QWidget*>(&dlg), static_cast<QWidget*>(&w)})
            for (QWidget* c : top->findChildren<QWidget*>())
            {
                const bool control = qobject_cast<QAbstractButton*>(c) || qobject_cast<QLineEdit*>(c) ||
                                     qobject_cast<QComboBox*>(c) || qobject_cast<QAbstractScrollArea*>(c) ||
                                     qobject_cast<QProgressBar*>(c) || qobject_cast<QCustomPlot*>(c) ||
                                     qobject_cast<CMaskedPicture*>(c);
                // The views' own parts (scroll bars, headers, the tab bars' arrows) belong to them.
                if (!control || qobject_cast<QScrollBar*>(c) || qobject_cast<QHeaderView*>(c) ||
                    qobject_cast<QAbstractButton*>(c->parentWidget()) || c->inherits("QToolButton") ||
                    c->inherits("QLineEditIconButton") || !c->isVisibleTo(top))
                    continue;
                if (qobject_cast<QAbstractScrollArea*>(c->parentWidget()))
                    continue;  // a viewport
                QVERIFY2(!c->toolTip().isEmpty(),
                         qPrintable(QString::fromLatin1(c->metaObject()->className()) + QLatin1Char(' ') +
                                    c->objectName() + QLatin1Char(' ') +
                                    (qobject_cast<QAbstractButton*>(c) ? qobject_cast<QAbstractButton*>(c)->text()
                                                                       : QString())));
            }
        for (QTabWidget* tabs : {w.TableTabs(), w.PlotTabs()})
            for (int i = 0; i < tabs->count(); ++i)
                QVERIFY(!tabs->tabToolTip(i).isEmpty());
    }

    void theInspectorRemembersTheLastEightFiles()
    {
        TempDir dir;
        QStringList files;
        for (int i = 0; i < 10; ++i)
            files << QString::fromStdString(dir.Write("clip" + std::to_string(i) + ".mpg", MakeMisplacedAudioStream(0)));
        {
            CInspectorWindow w;
            for (const QString& file : files)
            {
                w.Inspect(file);
                w.WaitForPass();
                QCoreApplication::processEvents();
            }
            // The same file again goes to the top instead of twice into the list.
            w.Inspect(files[5]);
            w.WaitForPass();
            QCoreApplication::processEvents();
        }
        CInspectorWindow again;
        const QStringList expected{files[5], files[9], files[8], files[7], files[6], files[4], files[3], files[2]};
        QCOMPARE(again.RecentFiles(), expected);
        QMenu* menu = again.RecentMenu();
        emit menu->aboutToShow();
        QCOMPARE(menu->actions().size(), 8);
        QCOMPARE(menu->actions()[1]->text(), QStringLiteral("&2 clip9.mpg"));
        // Choosing one inspects it.
        menu->actions()[2]->trigger();
        again.WaitForPass();
        QTRY_COMPARE(again.FilePath(), files[8]);
    }

    void theWindowGrowsAndKeepsItsLookAtTheInitialSize()
    {
        CAnalyzerDlg dlg;
        dlg.show();
        const QSize initial = dlg.size();
        QCOMPARE(dlg.minimumSize(), initial);
        const QImage before = dlg.grab().toImage();
        std::map<QWidget*, QRect> at;
        for (QWidget* w : dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            at[w] = w->geometry();

        const QSize grow(230, 170);
        dlg.resize(initial + grow);
        const QRect client = dlg.rect();
        QCOMPARE(dlg.m_treeView.geometry(), at[&dlg.m_treeView].adjusted(0, 0, grow.width(), grow.height()));
        QCOMPARE(dlg.m_editFileName.geometry(), at[&dlg.m_editFileName].adjusted(0, 0, grow.width(), 0));
        QWidget* inspect = nullptr;
        for (QPushButton* b : dlg.findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("inspect"))
                inspect = b;
        QVERIFY(inspect);
        for (QWidget* w : {static_cast<QWidget*>(&dlg.m_btnAnalyze), static_cast<QWidget*>(&dlg.m_btnStop),
                           static_cast<QWidget*>(&dlg.m_btnBrowse), inspect})
            QCOMPARE(w->geometry(), at[w].translated(grow.width(), 0));
        for (QWidget* w : {static_cast<QWidget*>(&dlg.m_btnExit), static_cast<QWidget*>(&dlg.m_btnOptions)})
            QCOMPARE(w->geometry(), at[w].translated(grow.width(), grow.height()));
        QCOMPARE(dlg.m_picLogo.geometry(), at[&dlg.m_picLogo].translated(0, grow.height()));
        QCOMPARE(dlg.m_progress.geometry(), at[&dlg.m_progress].adjusted(0, grow.height(), grow.width(), grow.height()));
        QCOMPARE(dlg.m_pLabelFile->geometry(), at[dlg.m_pLabelFile]);
        // The tiles go on into the new room.
        const QImage grown = dlg.grab().toImage();
        const QImage tile = Res::LoadImage(Res::IDB_BACKGROUND).convertToFormat(QImage::Format_RGB32);
        for (const QPoint p : {QPoint(client.width() - 2, 3), QPoint(client.width() / 2, client.height() - 40)})
            QCOMPARE(grown.pixel(p) & 0xFFFFFF, tile.pixel(p.x() % tile.width(), p.y() % tile.height()) & 0xFFFFFF);

        // Never smaller than the template; back at it, every pixel is as it was.
        dlg.resize(initial - QSize(50, 50));
        QCOMPARE(dlg.size(), initial);
        QCOMPARE(dlg.grab().toImage(), before);

        // The size is kept for the next start (an unchanged size writes nothing).
        dlg.resize(initial + grow);
        dlg.accept();
        CAnalyzerDlg next;
        next.show();
        QCOMPARE(next.size(), initial + grow);
        next.resize(initial + grow);
        next.reject();
        QCOMPARE(CAnalyzerApp::GetProfileInt(kSection, QStringLiteral("width"), 0), (initial + grow).width());
    }
};
VARNODEL_TEST_CLASS(AnalyzerDlgTest);

#include "AnalyzerDlgTest.moc"
